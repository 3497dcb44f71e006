#include "update/downloader.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <system_error>

#include <fmt/format.h>
#include <unistd.h>

#include "core/files.h"
#include "core/log.h"
#include "core/run_flags.h"
#include "core/version.h"
#include "update/curl_handle.h"
#include "update/download_config.h"

namespace zeph {

namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> tempCounter{0};

// The temp file being written and what ended the transfer early, shared with libcurl's callbacks.
struct Transfer {
    std::FILE* file = nullptr;
    std::uint64_t maxBytes = 0;
    std::uint64_t received = 0;
    std::optional<int> writeErrno;
    bool tooLarge = false;
    bool stopped = false;
};

// A body without a stated length is counted here, since libcurl checks the cap only against a stated one.
std::size_t writeReceived(char* data, std::size_t size, std::size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::size_t bytes = size * count;
    if (bytes > transfer->maxBytes - transfer->received) {
        transfer->tooLarge = true;
        return 0;
    }
    transfer->received += bytes;
    const std::size_t written = std::fwrite(data, 1, bytes, transfer->file);
    if (written != bytes && !transfer->writeErrno) {
        transfer->writeErrno = errno != 0 ? errno : EIO;
    }
    return written;
}

// libcurl calls this at least once a second, also while nothing arrives, so a run that is ending never
// waits for a download.
int abortWhenStopping(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(user);
    transfer->stopped = runIsStopping();
    return transfer->stopped ? 1 : 0;
}

fs::path tempPathFor(const fs::path& file) {
    return fs::path(fmt::format("{}.tmp-{}-{}", file.string(), ::getpid(), tempCounter.fetch_add(1)));
}

void logDownloadError(const std::string& reason, const std::string& url) {
    gf_logText(fmt::format("Download error: '{}' for {}", reason, url));
}

void setOptions(CURL* handle, const std::string& url, Transfer& transfer, const DownloadConfig& config) {
    const std::string protocols = allowedProtocols(url);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, protocols.c_str());
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, protocols.c_str());
    curl_easy_setopt(handle, CURLOPT_USERAGENT, "Corvane");
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &writeReceived);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // A name look-up without answer is left to end on libcurl's resolver thread: neither the end of the
    // transfer nor the cleanup of its handle waits for it, so the stop and the connect limit hold.
    curl_easy_setopt(handle, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, config.connectTimeoutS);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, lowSpeedBytesPerS);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, config.lowSpeedTimeS);
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(config.maxFileBytes));
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &abortWhenStopping);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &transfer);
    if (!config.caBundle.empty()) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, config.caBundle.c_str());
    }
}

// Why a download failed, and what that says of a later try.
struct FailedDownload {
    std::string reason;
    DownloadFailure kind = DownloadFailure::Transient;
};

FailedDownload writeFailed(int error) { return {fmt::format("write failed: {}", std::strerror(error))}; }

// A server error, or a client error that says "not now", may go when asked again later.
bool isTransientStatus(long status) { return status >= 500 || status == 408 || status == 429; }

// A failed transfer: the site's error answer tells by its status; a body past the cap or a redirect not
// followed is the site's answer too; any other (no connection, a time-out, a body cut short) may go later.
FailedDownload transferFailed(CURL* handle, CURLcode result) {
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    const bool answered = result == CURLE_FILESIZE_EXCEEDED || result == CURLE_TOO_MANY_REDIRECTS ||
                          (result == CURLE_HTTP_RETURNED_ERROR && !isTransientStatus(status));
    return {curl_easy_strerror(result), answered ? DownloadFailure::Refused : DownloadFailure::Transient};
}

// The transfer into the open temp file, which this closes. The failure, or none.
std::optional<FailedDownload> transferInto(CURL* handle, const std::string& url,
                                           std::unique_ptr<std::FILE, FileCloser> file) {
    const DownloadConfig config = downloadConfig();
    Transfer transfer;
    transfer.file = file.get();
    transfer.maxBytes = config.maxFileBytes;
    setOptions(handle, url, transfer, config);
    const CURLcode result = curl_easy_perform(handle);
    if (transfer.stopped) {
        return FailedDownload{"the run is stopping"};
    }
    if (transfer.tooLarge) {
        return transferFailed(handle, CURLE_FILESIZE_EXCEEDED);
    }
    if (transfer.writeErrno) {
        return writeFailed(*transfer.writeErrno);
    }
    if (result != CURLE_OK) {
        return transferFailed(handle, result);
    }
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 200) {
        return FailedDownload{fmt::format("HTTP status {}", status), DownloadFailure::Refused};
    }
    // A full disk may show only when the buffered bytes reach it.
    if (std::fflush(file.get()) != 0 || ::fsync(::fileno(file.get())) != 0) {
        return writeFailed(errno);
    }
    if (std::fclose(file.release()) != 0) {
        return writeFailed(errno);
    }
    return std::nullopt;
}

// The temp file's transfer, check and rename into file. The failure, or none.
std::optional<FailedDownload> downloadInto(CURL* handle, const std::string& url, const fs::path& file,
                                           const fs::path& temp, ContentCheck check) {
    std::unique_ptr<std::FILE, FileCloser> out(std::fopen(temp.c_str(), "wb"));
    if (!out) {
        gf_logText(fmt::format("Could not open output file: {}", file.string()));
        return FailedDownload{};
    }
    std::optional<FailedDownload> failure = transferInto(handle, url, std::move(out));
    if (!failure && !contentChecksOut(check, temp)) {
        failure = FailedDownload{"content check failed", DownloadFailure::Refused};
    }
    std::error_code error;
    if (!failure) {
        fs::rename(temp, file, error);
        if (error) {
            failure = FailedDownload{fmt::format("rename failed: {}", error.message())};
        }
    }
    if (failure) {
        fs::remove(temp, error);
        logDownloadError(failure->reason, url);
    }
    return failure;
}

} // namespace

std::string allowedProtocols(const std::string& url) {
    std::string protocols = "https";
    CURLU* parsed = curl_url();
    if (parsed == nullptr) {
        return protocols;
    }
    char* host = nullptr;
    if (curl_url_set(parsed, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
        curl_url_get(parsed, CURLUPART_HOST, &host, 0) == CURLUE_OK && host != nullptr) {
        const std::string_view name = host;
        if (name == "127.0.0.1" || name == "[::1]" || name == "::1" || name == "localhost") {
            protocols = "http,https";
        }
        curl_free(host);
    }
    curl_url_cleanup(parsed);
    return protocols;
}

bool gf_downloadFile(CURL* handle, const std::string& url, const fs::path& file, bool /*binary*/,
                     ContentCheck check, DownloadFailure* failure) {
    DownloadFailure ignoredFailure = DownloadFailure::None;
    DownloadFailure& outcome = failure != nullptr ? *failure : ignoredFailure;
    outcome = DownloadFailure::Transient;
    if (handle == nullptr) {
        return false;
    }
    const fs::path temp = tempPathFor(file);
    try {
        const std::optional<FailedDownload> failed = downloadInto(handle, url, file, temp, check);
        outcome = failed ? failed->kind : DownloadFailure::None;
        return !failed;
    } catch (const std::exception& error) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        gf_logText(fmt::format("Downloader exception: '{}', {} => {}", error.what(), url, file.string()));
        return false;
    }
}

bool gf_downloadFromSite(const std::string& fileName, const fs::path& localPath, ContentCheck check) {
    const std::string url = fmt::format("{}{}/{}", downloadConfig().baseUrl, programVersion.major, fileName);
    const CurlHandle handle = lf_newCurlHandle();
    const bool downloaded = gf_downloadFile(handle.get(), url, localPath, true, check);
    if (downloaded) {
        gf_logText(fmt::format("Downloaded '{}' to '{}'", url, localPath.string()));
    } else if (!runIsStopping()) {
        gf_logLine(fmt::format("Downloading '{}' failed !", url)); // a stop has logged so itself
    }
    return downloaded;
}

} // namespace zeph
