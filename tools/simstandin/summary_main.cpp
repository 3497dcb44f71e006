// simstandin_summary: the closing lines of a run from the stand-in's record, with the stands of the static
// aircraft taken from the program's log when it is given; with --now, the one line of the aircraft in the
// simulator at the record's last line, for a run still going on. Exit 0; 1 when the record was cut short
// (the lines are printed all the same, "record incomplete" on stderr, except with --now); 2 for bad
// arguments or an unreadable record.
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "simstandin/summary.h"

namespace {

constexpr int kUsageExit = 2;
constexpr const char* kUsage = "usage: simstandin_summary RECORD [--log Log.txt] [--json | --now]\n";

int usage(const std::string& problem) {
    std::cerr << "simstandin_summary: " << problem << "\n" << kUsage;
    return kUsageExit;
}

} // namespace

int main(int argc, char** argv) {
    std::optional<std::string> recordFile;
    std::optional<std::string> logFile;
    bool json = false;
    bool now = false;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--json") {
            json = true;
        } else if (arg == "--now") {
            now = true;
        } else if (arg == "--log" && k + 1 < argc) {
            logFile = argv[++k];
        } else if (!arg.starts_with("--") && !recordFile) {
            recordFile = std::string(arg);
        } else {
            return usage(std::string("unexpected argument '") + std::string(arg) + "'");
        }
    }
    if (!recordFile) {
        return usage("the record file is missing");
    }
    std::string logText;
    if (logFile) {
        std::ifstream in(*logFile, std::ios::binary);
        if (!in) {
            return usage("cannot read the log " + *logFile);
        }
        logText.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    zeph::standin::Record record;
    try {
        record = zeph::standin::readRecord(*recordFile);
    } catch (const zeph::standin::RecordError& e) {
        std::cerr << "simstandin_summary: " << *recordFile << ": " << e.what() << "\n";
        return kUsageExit;
    }
    const zeph::standin::RunSummary summary = zeph::standin::summarize(record, logText);
    if (now) {
        std::cout << zeph::standin::nowLine(summary) << "\n";
        return 0;
    }
    if (json) {
        std::cout << zeph::standin::summaryJson(summary).dump() << "\n";
    } else {
        for (const std::string& line : zeph::standin::summaryLines(summary)) {
            std::cout << line << "\n";
        }
    }
    if (!record.complete) {
        std::cerr << "simstandin_summary: record incomplete: " << *recordFile << "\n";
        return 1;
    }
    return 0;
}
