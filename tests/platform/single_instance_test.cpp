#include "platform/single_instance.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/child_process.h"
#include "support/log_fixture.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

using test::ScopedEnv;
using test::TempDir;
namespace fs = std::filesystem;

const std::string programName = "Local\\$Corvane_P3D$";

// instance_holder running with a pipe on its standard input; it lets go when the pipe closes.
class Holder {
public:
    explicit Holder(const std::string& name) {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            throw std::runtime_error("Holder: pipe failed");
        }
        pid_ = ::fork();
        if (pid_ < 0) {
            throw std::runtime_error("Holder: fork failed");
        }
        if (pid_ == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            std::string program = INSTANCE_HOLDER_BIN;
            std::string argument = name;
            char* argv[] = {program.data(), argument.data(), nullptr};
            ::execv(program.c_str(), argv);
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }

    ~Holder() { end(); }

    // The first line the holder printed, waiting a bounded time for it.
    std::string firstLine() {
        std::string line;
        char c;
        pollfd fd{stdout_, POLLIN, 0};
        while (::poll(&fd, 1, static_cast<int>(10000 * test::kSlowFactor)) > 0 &&
               ::read(stdout_, &c, 1) == 1 && c != '\n') {
            line.push_back(c);
        }
        return line;
    }

    // Closes its standard input and reaps it; its exit code.
    int end() {
        if (pid_ <= 0) {
            return exitCode_;
        }
        ::close(stdin_);
        ::close(stdout_);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        return exitCode_;
    }

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    int exitCode_ = -1;
};

TEST(SingleInstance, HeldByAnotherProcessThenFree) {
    TempDir runtime;
    ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().string());
    {
        Holder holder(programName);
        ASSERT_EQ(holder.firstLine(), "held");
        EXPECT_TRUE(fs::exists(runtime / "Local__Corvane_P3D_.lock"));
        EXPECT_FALSE(acquireSingleInstance(programName)) << "while the holder runs";
        EXPECT_EQ(holder.end(), 0);
    }
    EXPECT_TRUE(acquireSingleInstance(programName)) << "after the holder ended";
    EXPECT_FALSE(acquireSingleInstance(programName)) << "second call in the same process";

    auto other = test::runChild(INSTANCE_HOLDER_BIN, {programName}, runtime.path());
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_EQ(other.out, "busy\n");
}

TEST(SingleInstance, OtherNamesAreIndependent) {
    TempDir runtime;
    ScopedEnv env("XDG_RUNTIME_DIR", runtime.path().string());
    ASSERT_TRUE(acquireSingleInstance("first"));
    auto other = test::runChild(INSTANCE_HOLDER_BIN, {"second"}, runtime.path());
    EXPECT_EQ(other.exitCode, 0);
    EXPECT_EQ(other.out, "held\n");
}

TEST(SingleInstance, LockFileNames) {
    struct Case {
        const char* name;
        std::optional<std::string> runtimeDir;
        std::string lockName;
        fs::path expected; // empty: in the temp dir with the uid
    };
    const std::string uid = std::to_string(::getuid());
    const std::vector<Case> cases = {
        {"program name in the runtime folder", "/run/u", programName, "/run/u/Local__Corvane_P3D_.lock"},
        {"path characters", "/run/u", "../a/b c", "/run/u/.._a_b_c.lock"},
        {"allowed characters stay", "/run/u", "Az09._-", "/run/u/Az09._-.lock"},
        {"non-ASCII bytes", "/run/u", "\xC3\xA9", "/run/u/__.lock"},
        {"no runtime folder", std::nullopt, programName, ""},
        {"empty runtime folder", "", programName, ""},
        {"relative runtime folder", "run", programName, ""},
    };
    TempDir temp;
    ScopedEnv tmpdir("TMPDIR", temp.path().string());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv env("XDG_RUNTIME_DIR", c.runtimeDir);
        fs::path expected = c.expected.empty() ? temp / ("Local__Corvane_P3D_-" + uid + ".lock") : c.expected;
        EXPECT_EQ(singleInstanceLockPath(c.lockName), expected);
    }
}

TEST(SingleInstance, LockInTheTempDirWithoutRuntimeFolder) {
    TempDir temp;
    ScopedEnv tmpdir("TMPDIR", temp.path().string());
    ScopedEnv env("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_TRUE(acquireSingleInstance(programName));
    EXPECT_TRUE(fs::exists(temp / ("Local__Corvane_P3D_-" + std::to_string(::getuid()) + ".lock")));
    auto other = test::runChild(INSTANCE_HOLDER_BIN, {programName}, temp.path());
    EXPECT_EQ(other.exitCode, 1) << "the other process looks in the same place";
}

TEST(SingleInstance, MissingLockFolderLetsTheProgramRun) {
    TempDir runtime;
    fs::path missing = runtime / "missing";
    ScopedEnv env("XDG_RUNTIME_DIR", missing.string());
    ::testing::internal::CaptureStderr();
    bool acquired = acquireSingleInstance(programName);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(acquired);
    EXPECT_NE(err.find((missing / "Local__Corvane_P3D_.lock").string()), std::string::npos) << err;
    EXPECT_NE(err.find("No such file or directory"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_FALSE(fs::exists(missing));
}

} // namespace
} // namespace zeph
