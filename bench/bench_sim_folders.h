#pragma once
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include <stdlib.h>
#include <unistd.h>

#include "platform/local_pipe.h"
#include "sim/simconnect/transport.h"

// The folders a benchmark that talks to the simulator stand-in needs: a temp tree for the pipe, the documents
// folders and the registry file, so that the program's client finds the stand-in's default pipe there.
// Gives the temp tree (removed by the caller) and the pipe's socket path (its folder created), or nothing
// when the path cannot be made.
struct SimBenchFolders {
    std::filesystem::path temp;
    std::filesystem::path pipe;
};

inline std::optional<SimBenchFolders> prepareSimBenchFolders(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path temp = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
    fs::create_directories(temp / "documents");
    ::setenv("CORVANE_PIPE_DIR", (temp / "pipes").c_str(), 1);
    ::setenv("CORVANE_DOCUMENTS_DIR", (temp / "documents").c_str(), 1);
    ::setenv("CORVANE_PUBLIC_DOCUMENTS_DIR", (temp / "documents").c_str(), 1);
    ::setenv("CORVANE_REGISTRY_FILE", (temp / "registry.reg").c_str(), 1);
    const auto pipe = zeph::LocalPipe::socketPath(zeph::pipeFullName(".", ""));
    if (!pipe) {
        std::fprintf(stderr, "no pipe path\n");
        return std::nullopt;
    }
    fs::create_directories(pipe->parent_path());
    return SimBenchFolders{temp, *pipe};
}
