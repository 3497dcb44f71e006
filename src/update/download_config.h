#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// Where the program downloads from, and how long it waits.

namespace zeph {

struct DownloadConfig {
    std::string baseUrl;            // the maker's downloads folder, ending in "/"
    std::filesystem::path caBundle; // extra certificate authorities; empty for the system's
    long connectTimeoutS = 15;      // for the connection to be made
    long lowSpeedTimeS = 30;        // below lowSpeedBytesPerS for this long ends a transfer
    // An archived airport file is fetched on the traffic loop, which must not stand still longer than this.
    long airportFileTimeS = 30;
    // No download, and no unpacked installer, grows past this: a faulty site must not fill the disk.
    std::uint64_t maxFileBytes = std::uint64_t{256} * 1024 * 1024;
};

// A transfer slower than this over lowSpeedTimeS is given up like a stalled one: a site that trickles a few
// bytes a second would otherwise hold the start, or the traffic loop, for ever.
inline constexpr long lowSpeedBytesPerS = 1024;

// A copy, so that no caller holds a lock during a transfer. baseUrl is CORVANE_DOWNLOAD_BASE_URL when that is
// an http(s) address ending in "/", else the built-in one (a set but unusable value is logged once);
// caBundle is CORVANE_CA_BUNDLE.
DownloadConfig downloadConfig();

// Replaces what downloadConfig returns; no value goes back to the environment.
void setDownloadConfigForTests(std::optional<DownloadConfig> config);

} // namespace zeph
