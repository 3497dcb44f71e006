#include "airports/airport_file_locator.h"

#include <algorithm>
#include <fmt/format.h>

#include "airports/airport_database.h"
#include "core/log.h"
#include "core/text_files.h"
#include "settings/data_tree.h"
#include "update/curl_handle.h"
#include "update/download_config.h"
#include "update/downloader.h"

namespace zeph {

namespace fs = std::filesystem;

namespace {

// Every "%20" of the text as a blank.
std::string lf_decodeBlanks(const std::string& text) {
    std::string decoded;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text.compare(at, 3, "%20") == 0) {
            decoded += ' ';
            at += 2;
        } else {
            decoded += text[at];
        }
    }
    return decoded;
}

bool lf_endsWithXml(const std::string& text) {
    if (text.size() < 4) {
        return false;
    }
    std::string tail = text.substr(text.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".xml";
}

// A link must stay inside the data tree: no absolute path, no ".." element.
bool lf_staysInTree(std::string reference) {
    std::replace(reference.begin(), reference.end(), '\\', '/');
    if (reference.starts_with('/') || (reference.size() > 1 && reference[1] == ':')) {
        return false;
    }
    std::size_t start = 0;
    while (start <= reference.size()) {
        const std::size_t end = std::min(reference.find('/', start), reference.size());
        if (reference.compare(start, end - start, "..") == 0) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// The reference's link file in folder, else its local file there.
std::string lf_referenceIn(const fs::path& folder, const std::string& code) {
    std::string reference;
    if (lf_readLinkFile(folder / lf_withTxtExtension(code), reference)) {
        return reference;
    }
    const fs::path local = folder / lf_withXmlExtension(code);
    return fs::exists(local) ? local.string() : std::string{};
}

bool lf_hasStands(const std::string& code) {
    const AirportRecord* airport = gf_findAirport(code);
    return airport != nullptr && airport->stands >= 1;
}

} // namespace

fs::path lf_withXmlExtension(const std::string& code) { return code + ".xml"; }
fs::path lf_withTxtExtension(const std::string& code) { return code + ".txt"; }

std::string lf_trimBlanks(std::string text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

bool gf_myAirportFileExists(const std::string& code) {
    for (const fs::path& folder : {myThirdpartyDir, myOrbxDir}) {
        if (fs::exists(folder / lf_withXmlExtension(code)) ||
            fs::exists(folder / lf_withTxtExtension(code))) {
            return true;
        }
    }
    return lf_hasStands(code);
}

std::string lf_stockArchiveFile(const std::string& code) {
    for (const fs::path& folder : {myThirdpartyDir, myOrbxDir}) {
        if (std::string reference = lf_referenceIn(folder, code); !reference.empty()) {
            return reference;
        }
    }
    return lf_hasStands(code) ? "archive/stock/" + code + ".xml" : std::string{};
}

bool lf_readLinkFile(const fs::path& file, std::string& reference) {
    reference.clear();
    if (!fs::exists(file)) {
        return false;
    }
    LineFile link{file, {}};
    const LineFileResult result = link.read(1);
    if (!result.ok || result.lines.empty()) {
        return false;
    }
    std::string line = result.lines.front();
    line.erase(line.find_last_not_of(" \t\n\v\f\r") + 1);
    if (!lf_endsWithXml(line) || !lf_staysInTree(line)) {
        return false;
    }
    reference = std::move(line);
    return true;
}

std::string lf_safePathComponent(std::string name) {
    std::replace(name.begin(), name.end(), '/', ' ');
    std::replace(name.begin(), name.end(), '\\', ' ');
    std::erase_if(name, [](unsigned char c) { return c < 0x20 || c == 0x7F; });
    name = lf_trimBlanks(std::move(name));
    return name == "." || name == ".." ? std::string{} : name;
}

namespace {

// learned/thirdparty/PUBLISHER, or learned/thirdparty itself for a publisher that is empty when made safe.
fs::path lf_thirdpartyFolder(const std::string& publisher) {
    const std::string folder = lf_safePathComponent(publisher);
    return folder.empty() ? learnedThirdpartyDir : learnedThirdpartyDir / folder;
}

fs::path lf_learnedFolder(const std::string& publisher) {
    if (publisher == "stock") {
        return learnedStockDir;
    }
    if (publisher == "simaddon") {
        return learnedSimaddonDir;
    }
    return lf_thirdpartyFolder(publisher);
}

} // namespace

fs::path lf_learnedFileByPublisher(const std::string& code, const std::string& publisher) {
    return lf_learnedFolder(publisher) / lf_withXmlExtension(code);
}

fs::path lf_archivePathOf(const std::string& reference, const std::string& publisher) {
    if (reference.empty()) {
        return {};
    }
    std::string copy = reference;
    std::replace(copy.begin(), copy.end(), '/', '\\');
    gf_logText(copy);
    // Split by hand: on this system a path takes "\" for part of a name.
    const std::string fileName = copy.substr(copy.rfind('\\') + 1);
    if (fileName.size() <= 4 || !lf_endsWithXml(fileName)) {
        return {};
    }
    constexpr std::string_view marker = "archive\\thirdparty\\";
    if (const std::size_t at = copy.find(marker); at != std::string::npos) {
        const std::size_t start = at + marker.size();
        const std::size_t end = copy.find('\\', start);
        if (start >= copy.size() || end == std::string::npos) {
            return {};
        }
        const std::string folder = lf_safePathComponent(lf_decodeBlanks(copy.substr(start, end - start)));
        return folder.empty() ? fs::path{} : learnedThirdpartyDir / folder / fileName;
    }
    const bool myThirdparty =
        copy.starts_with("airports\\my_thirdparty2024\\") || copy.starts_with("airports\\my_thirdparty\\");
    // Every other reference meets the saver's folder of its publisher.
    return (myThirdparty ? lf_thirdpartyFolder(publisher) : lf_learnedFolder(publisher)) / fileName;
}

bool lf_isLocalReference(const std::string& reference) { return reference.starts_with("airports"); }

std::string lf_downloadAirportFile(const std::string& reference, const fs::path& target,
                                   DownloadFailure* failure) {
    const DownloadConfig config = downloadConfig();
    const std::string url = config.baseUrl + "P3D/" + reference;
    const CurlHandle handle = lf_newCurlHandle();
    if (handle) {
        // Fetched on the traffic loop: a slow site may cost it this long, never more.
        curl_easy_setopt(handle.get(), CURLOPT_TIMEOUT, config.airportFileTimeS);
    }
    if (gf_downloadFile(handle.get(), url, target, false, ContentCheck::XmlDocument, failure)) {
        return {};
    }
    if (fs::exists(target)) {
        fs::remove(target);
    }
    std::string error = fmt::format("failed to download: '{}'", url);
    gf_logText(error);
    return error;
}

} // namespace zeph
