#include "app/program_process.h"

#include <cctype>
#include <csignal>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "support/reg_file_builder.h"
#include "support/run_parameters.h"
#include "support/sealed_files.h"
#include "support/slow_factor.h"

extern char** environ;

namespace zeph::test {

ProgramPlaces::ProgramPlaces() {
    std::filesystem::create_directories(programDir() / "docs");
    writeSampleDbase(programDir());
    writeSampleAirports(programDir());
    std::filesystem::create_directories(simulatorDir() / "Scenery");
    RegFileBuilder()
        .header()
        .key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5")
        .stringValue("SetupPath", simulatorDir().string())
        .writeUtf16(registryFile());
}

void ProgramPlaces::seedRun() const { seedRunParameters(appData_.path(), home_.path()); }

std::map<std::string, std::string> ProgramPlaces::environment() const {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const auto equals = text.find('=');
        if (equals != std::string::npos) {
            variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
    }
    variables["CORVANE_UI"] = "headless";
    variables["HOME"] = home_.path().string();
    variables["XDG_CONFIG_HOME"] = home_.path().string();
    variables["XDG_RUNTIME_DIR"] = runtimeOverride_.value_or(runtime_.path()).string();
    variables["CORVANE_APPDATA_DIR"] = appData_.path().string();
    variables["CORVANE_REGISTRY_FILE"] = registryFile().string();
    return variables;
}

ProgramProcess::ProgramProcess(const std::filesystem::path& program, const ProgramPlaces& places,
                               const std::vector<std::string>& arguments) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = (outputDir_ / "stdout.txt").string();
    const std::string err = (outputDir_ / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, places.programDir().c_str());

    std::vector<std::string> argvTexts{program.string()};
    argvTexts.insert(argvTexts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : argvTexts) {
        argv.push_back(text.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> envTexts;
    for (const auto& [name, value] : places.environment()) {
        envTexts.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& text : envTexts) {
        envp.push_back(text.data());
    }
    envp.push_back(nullptr);

    const int failed =
        ::posix_spawn(&pid_, argvTexts.front().c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("posix_spawn failed for " + program.string());
    }
}

ProgramProcess::~ProgramProcess() {
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

void ProgramProcess::signal(int signalNumber) const { ::kill(pid_, signalNumber); }

std::optional<int> ProgramProcess::waitForExit(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::string ProgramProcess::errorOutput() const { return readFileBytes(outputDir_ / "stderr.txt"); }

bool isTimeText(const std::string& line) {
    const auto digits = [&line](std::size_t from, std::size_t count) {
        for (std::size_t k = from; k < from + count; ++k) {
            if (std::isdigit(static_cast<unsigned char>(line[k])) == 0) {
                return false;
            }
        }
        return true;
    };
    return line.size() == 24 && line[3] == ' ' && line[7] == ' ' && digits(8, 2) && line[10] == ' ' &&
           digits(11, 2) && line[13] == ':' && digits(14, 2) && line[16] == ':' && digits(17, 2) &&
           line[19] == ' ' && digits(20, 4);
}

bool waitForFile(const std::filesystem::path& file) {
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound * 5;
    while (!std::filesystem::exists(file)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Polls without pausing, so that the first moment the process holds the signal is not missed.
bool waitForBlockedSignal(pid_t pid, int signalNumber) {
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound * 5;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("SigBlk:") &&
                ((std::stoull(line.substr(7), nullptr, 16) >> (signalNumber - 1)) & 1U) != 0) {
                return true;
            }
        }
    }
    return false;
}

} // namespace zeph::test
