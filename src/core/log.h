#pragma once
#include <mutex>
#include <ostream>
#include <string_view>

namespace zeph {

// The dash of log lines such as "parks over static X — static will be removed": Log.txt is UTF-8.
inline constexpr std::string_view kLogDash = "\xE2\x80\x94";

// Log.txt in the current folder, open from gf_openLog to process end, is written under logMutex. Code that
// writes a block of lines holds it for the whole block (through LogBlock) and never calls a writer meanwhile.
extern std::mutex logMutex;

class LogBlock {
public:
    LogBlock();
    LogBlock(const LogBlock&) = delete;
    LogBlock& operator=(const LogBlock&) = delete;

    bool isOpen() const;
    std::ostream& stream();

private:
    std::lock_guard<std::mutex> lock_;
};

// Moves the older logs one generation down, opens Log.txt truncated and writes the banner.
// Throws std::runtime_error("Failed to write file Log.txt") when it cannot be opened.
void gf_openLog();

// Each writer holds logMutex for its whole line and writes nothing while the log is not open. A write that
// fails (a full disk) loses whole lines only; the first line that reaches the file again comes after one
// line that says how many were lost.
void gf_logLine(std::string_view text);         // "==> " + text, flushed
void gf_logText(std::string_view text);         // text, not flushed
void lf_logContinuation(std::string_view text); // ten blanks + text, not flushed
void lf_logAndFlush(std::string_view text);     // text, flushed
void gf_flushLog();                             // what is written so far, to the file

// gf_logText, except while a run is ending or the user has asked to stop (runStopping, userStopped).
void gf_logUnlessStopping(std::string_view text);

// Closes the stream so that a test can open a fresh log in another folder.
void closeLogForTests();

} // namespace zeph
