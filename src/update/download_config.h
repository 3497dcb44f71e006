#pragma once
#include <filesystem>
#include <optional>
#include <string>

// Where the program downloads from, and how long it waits.

namespace zeph {

struct DownloadConfig {
    std::string baseUrl;            // the maker's downloads folder, ending in "/"
    std::filesystem::path caBundle; // extra certificate authorities; empty for the system's
    long connectTimeoutS = 15;      // for the connection to be made
    long lowSpeedTimeS = 30;        // below one byte a second for this long ends a transfer
};

// A copy, so that no caller holds a lock during a transfer. baseUrl is CORVANE_DOWNLOAD_BASE_URL when that is
// an http(s) address ending in "/", else the built-in one (a set but unusable value is logged once);
// caBundle is CORVANE_CA_BUNDLE.
DownloadConfig downloadConfig();

// Replaces what downloadConfig returns; no value goes back to the environment.
void setDownloadConfigForTests(std::optional<DownloadConfig> config);

} // namespace zeph
