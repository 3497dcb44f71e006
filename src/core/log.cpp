#include "core/log.h"

#include <filesystem>
#include <stdexcept>

#include <fmt/format.h>

#include "core/clock.h"
#include "core/generations.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/time_text.h"
#include "core/version.h"

namespace zeph {

std::ofstream logStream;
std::mutex logMutex;

namespace {

constexpr std::string_view eventPrefix = "==> ";
constexpr std::string_view continuationPrefix = "          ";

void writeLine(std::string_view prefix, std::string_view text, bool flush) {
    std::lock_guard lock(logMutex);
    if (!logStream.is_open()) {
        return;
    }
    logStream.write(prefix.data(), static_cast<std::streamsize>(prefix.size()));
    logStream.write(text.data(), static_cast<std::streamsize>(text.size()));
    logStream.put('\n');
    if (flush) {
        logStream.flush();
    }
}

} // namespace

LogBlock::LogBlock() : lock_(logMutex) {}

bool LogBlock::isOpen() const { return logStream.is_open(); }

std::ostream& LogBlock::stream() { return logStream; }

void gf_openLog() {
    const std::filesystem::path logFile = "Log.txt";
    gf_saveUpto3GenerationsOf(logFile);
    {
        std::lock_guard lock(logMutex);
        logStream.open(logFile, std::ios::out | std::ios::trunc | std::ios::binary);
        if (!logStream.is_open()) {
            throw std::runtime_error("Failed to write file " + logFile.string());
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
    if (logStream.is_open()) {
        logStream.close();
    }
    logStream.clear();
}

} // namespace zeph
