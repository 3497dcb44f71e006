#include "update/download_config.h"

#include <cstdlib>
#include <mutex>

#include <fmt/format.h>

#include "core/log.h"
#include "core/program.h"

namespace zeph {

namespace {

std::mutex configMutex;
std::optional<DownloadConfig> configForTests;
bool unusableBaseLogged = false;

bool isUsableBaseUrl(std::string_view url) {
    return (url.starts_with("http://") || url.starts_with("https://")) && url.ends_with("/") &&
           url.find_first_of(" \t\r\n") == std::string_view::npos;
}

} // namespace

DownloadConfig downloadConfig() {
    const std::lock_guard lock(configMutex);
    if (configForTests) {
        return *configForTests;
    }
    DownloadConfig config;
    config.baseUrl = std::string(kDownloadBaseUrl);
    if (const char* base = std::getenv("CORVANE_DOWNLOAD_BASE_URL")) {
        if (isUsableBaseUrl(base)) {
            config.baseUrl = base;
        } else if (!unusableBaseLogged) {
            unusableBaseLogged = true;
            gf_logText(fmt::format("CORVANE_DOWNLOAD_BASE_URL '{}' is not an http(s) address ending in '/', "
                                   "using {}",
                                   base, kDownloadBaseUrl));
        }
    }
    if (const char* bundle = std::getenv("CORVANE_CA_BUNDLE"); bundle != nullptr && *bundle != '\0') {
        config.caBundle = bundle;
    }
    return config;
}

void setDownloadConfigForTests(std::optional<DownloadConfig> config) {
    const std::lock_guard lock(configMutex);
    configForTests = std::move(config);
}

} // namespace zeph
