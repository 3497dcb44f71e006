#include "platform/shell.h"

#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>

#include "support/log_fixture.h"
#include "support/recording_shell_open.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

using test::ScopedEnv;
using test::TempDir;
namespace fs = std::filesystem;

void writeScript(const fs::path& file, const std::string& body, fs::perms perms = fs::perms::owner_all) {
    test::writeFileBytes(file, body);
    fs::permissions(file, perms);
}

// A fake opener that writes its argument to out, in one rename so a reader never sees half of it.
std::string recordingScript(const fs::path& out) {
    return "#!/bin/sh\nPATH=/usr/bin:/bin\nprintf '%s' \"$1\" > '" + out.string() + ".part' && mv '" +
           out.string() + ".part' '" + out.string() + "'\n";
}

std::optional<std::string> waitForFile(const fs::path& file) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(5.0 * test::kSlowFactor);
    while (std::chrono::steady_clock::now() < deadline) {
        if (fs::exists(file)) {
            return test::readFileBytes(file);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

// True when the process has no child left to reap: the intermediate child was reaped and the opener
// belongs to someone else.
bool hasNoChildren() {
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

enum class Opener { Recording, None, NotExecutable, MissingInterpreter, Folder };

struct SpawnCase {
    const char* name;
    Opener opener;
    bool inSecondPathEntry;
    bool expected;
};

TEST(ShellOpen, StartsXdgOpenFromPath) {
    const std::vector<SpawnCase> cases = {
        {"xdg-open on PATH", Opener::Recording, false, true},
        {"xdg-open in the second PATH entry", Opener::Recording, true, true},
        {"no xdg-open on PATH", Opener::None, false, false},
        {"xdg-open without execute permission", Opener::NotExecutable, false, false},
        {"xdg-open whose interpreter is missing", Opener::MissingInterpreter, false, false},
        {"xdg-open is a folder", Opener::Folder, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir bin;
        TempDir empty;
        TempDir target;
        fs::path out = bin / "argument.txt";
        fs::path opener = bin / "xdg-open";
        switch (c.opener) {
        case Opener::Recording:
            writeScript(opener, recordingScript(out));
            break;
        case Opener::None:
            break;
        case Opener::NotExecutable:
            writeScript(opener, recordingScript(out), fs::perms::owner_read | fs::perms::owner_write);
            break;
        case Opener::MissingInterpreter:
            writeScript(opener, "#!/nonexistent/interpreter\n");
            break;
        case Opener::Folder:
            fs::create_directory(opener);
            break;
        }
        std::string path =
            c.inSecondPathEntry ? empty.path().string() + ":" + bin.path().string() : bin.path().string();
        ScopedEnv env("PATH", path);

        EXPECT_EQ(shellOpen(target.path()), c.expected);
        EXPECT_TRUE(hasNoChildren());
        if (c.expected) {
            EXPECT_EQ(waitForFile(out), target.path().string());
        }
    }
}

TEST(ShellOpen, FalseWithoutPath) {
    ScopedEnv env("PATH", std::nullopt);
    EXPECT_FALSE(shellOpen("/tmp"));
}

TEST(ShellOpen, DoesNotWaitForTheOpener) {
    TempDir bin;
    fs::path release = bin / "release";
    fs::path finished = bin / "finished";
    // The opener runs until the test releases it, ten seconds at most.
    writeScript(bin / "xdg-open", "#!/bin/sh\nPATH=/usr/bin:/bin\ni=0\nwhile [ ! -e '" + release.string() +
                                      "' ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done\n"
                                      "touch '" +
                                      finished.string() + "'\n");
    ScopedEnv env("PATH", bin.path().string());

    EXPECT_TRUE(shellOpen(bin.path()));
    EXPECT_FALSE(fs::exists(finished)) << "shellOpen waited for the opener to end";
    EXPECT_TRUE(hasNoChildren());
    test::writeFileBytes(release, "");
    EXPECT_TRUE(waitForFile(finished).has_value());
}

// The program blocks SIGINT and SIGTERM in all its threads and its window layer ignores SIGPIPE; the opener
// must start with nothing blocked and SIGPIPE as usual, or neither it nor a file manager it becomes could be
// stopped or end as usual. bash keeps the mask and the ignored signals it is started with.
TEST(ShellOpen, TheOpenerStartsWithNoSignalBlocked) {
    if (!fs::exists("/bin/bash")) {
        GTEST_SKIP() << "no /bin/bash";
    }
    TempDir bin;
    fs::path out = bin / "mask.txt";
    writeScript(
        bin / "xdg-open",
        // Written whole through a rename: the test must not read the file between its creation and its text.
        "#!/bin/bash\nwhile read -r key value; do [[ \"$key\" = Sig[BI]* ]] && masks+=\"$key$value \"; done "
        "< /proc/$$/status\necho -n \"$masks\" > '" +
            out.string() + ".tmp' && /bin/mv '" + out.string() + ".tmp' '" + out.string() + "'\n");
    ScopedEnv env("PATH", bin.path().string());
    sigset_t close;
    sigemptyset(&close);
    sigaddset(&close, SIGINT);
    sigaddset(&close, SIGTERM);
    sigset_t before;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &close, &before), 0);
    const auto pipeBefore = signal(SIGPIPE, SIG_IGN);
    const bool started = shellOpen(bin.path());
    signal(SIGPIPE, pipeBefore);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    ASSERT_TRUE(started);
    const std::string masks = waitForFile(out).value_or("");
    EXPECT_TRUE(masks.starts_with("SigBlk:0000000000000000 SigIgn:")) << masks;
    const auto ignored = std::stoull(masks.substr(masks.find("SigIgn:") + 7), nullptr, 16);
    EXPECT_EQ((ignored >> (SIGPIPE - 1)) & 1U, 0U) << masks; // what the test's own caller ignores may stay
}

TEST(ShellOpen, ArgumentIsNeverTakenForAnOption) {
    struct Case {
        fs::path target;
        std::string argument;
    };
    const std::vector<Case> cases = {
        {"-x", "./-x"},
        {"--help", "./--help"},
        {"a-b", "a-b"},
        {"/abs/-x", "/abs/-x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.string());
        TempDir bin;
        fs::path out = bin / "argument.txt";
        writeScript(bin / "xdg-open", recordingScript(out));
        ScopedEnv env("PATH", bin.path().string());
        EXPECT_TRUE(shellOpen(c.target));
        EXPECT_EQ(waitForFile(out), c.argument);
    }
}

TEST(ShellOpen, TestHandlerTakesThePlaceOfTheOpener) {
    TempDir bin;
    ScopedEnv env("PATH", bin.path().string()); // no xdg-open: the real opener would fail
    {
        test::RecordingShellOpen recorder(true);
        EXPECT_TRUE(shellOpen("/some/folder"));
        EXPECT_TRUE(shellOpen("other"));
        EXPECT_EQ(recorder.paths(), (std::vector<fs::path>{"/some/folder", "other"}));
    }
    {
        test::RecordingShellOpen recorder(false);
        EXPECT_FALSE(shellOpen("/x"));
        EXPECT_EQ(recorder.paths().size(), 1u);
    }
    EXPECT_FALSE(shellOpen("/some/folder")) << "the real opener is back";
}

} // namespace
} // namespace zeph
