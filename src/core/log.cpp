#include "core/log.h"

#include <filesystem>
#include <stdexcept>

#include <fmt/format.h>

#include "core/clock.h"
#include "core/generations.h"
#include "core/log_file.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/time_text.h"
#include "core/version.h"

namespace zeph {

std::mutex logMutex;

namespace {

// The stream goes before its buffer, whose end writes out what is pending.
struct LogFile {
    LogFileBuffer buffer;
    std::ostream stream{&buffer};
};
LogFile logFile;

constexpr std::string_view eventPrefix = "==> ";
constexpr std::string_view continuationPrefix = "          ";

void writeLine(std::string_view prefix, std::string_view text, bool flush) {
    std::lock_guard lock(logMutex);
    if (!logFile.buffer.isOpen()) {
        return;
    }
    logFile.stream.write(prefix.data(), static_cast<std::streamsize>(prefix.size()));
    logFile.stream.write(text.data(), static_cast<std::streamsize>(text.size()));
    logFile.stream.put('\n');
    if (flush) {
        logFile.stream.flush();
    }
}

} // namespace

LogBlock::LogBlock() : lock_(logMutex) {}

bool LogBlock::isOpen() const { return logFile.buffer.isOpen(); }

std::ostream& LogBlock::stream() { return logFile.stream; }

void gf_openLog() {
    const std::filesystem::path file = "Log.txt";
    gf_saveUpto3GenerationsOf(file);
    {
        std::lock_guard lock(logMutex);
        if (!logFile.buffer.open(file)) {
            throw std::runtime_error("Failed to write file " + file.string());
        }
    }
    gf_logText(fmt::format("{} (utc) {} version {} for {}", gf_timeText(nowUtc()), programId,
                           gf_versionText(programVersion), simulatorText));
}

void gf_logLine(std::string_view text) { writeLine(eventPrefix, text, true); }

void gf_logText(std::string_view text) { writeLine({}, text, false); }

void lf_logContinuation(std::string_view text) { writeLine(continuationPrefix, text, false); }

void lf_logAndFlush(std::string_view text) { writeLine({}, text, true); }

void gf_flushLog() {
    LogBlock block;
    if (block.isOpen()) {
        block.stream().flush();
    }
}

void gf_logUnlessStopping(std::string_view text) {
    if (runIsStopping()) {
        return;
    }
    gf_logText(text);
}

void closeLogForTests() {
    std::lock_guard lock(logMutex);
    logFile.buffer.close();
    logFile.stream.clear();
}

} // namespace zeph
