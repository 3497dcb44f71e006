#pragma once
#include <filesystem>
#include <string>

#include <curl/curl.h>

#include "update/content_checks.h"

// Downloads from the maker's site. A download replaces its file only when the server answered 200, every
// byte was written and the content checks out; otherwise the old file stays as it was.

namespace zeph {

// What a failed download says of a later try. Refused: the site answered, and not with the file or a
// server error ("not found" or another client error, a redirect, a body that fails its check or passes
// the size cap); asking again gets the same. Transient: a later try may go through (no connection, a
// time-out, a body cut short, a server error, 408 or 429, a failure to write here, the run's stop).
enum class DownloadFailure { None, Refused, Transient };

// One download of url into file (binary and text are the same on this system). The bytes go into a temp
// file beside file, which is renamed over it at the end. Every failure is one log line "Download error:
// '<reason>' for <url>" (or "Could not open output file: <file>") and false, and leaves no temp file. A
// transfer fails when the run is stopping (within about a second), below the low speed for its time, or
// past the size cap. A total time limit is the caller's, set on the handle (CURLOPT_TIMEOUT). failure,
// when given, gets what a failure says of a later try (None on success). Never throws.
bool gf_downloadFile(CURL* handle, const std::string& url, const std::filesystem::path& file, bool binary,
                     ContentCheck check = ContentCheck::None, DownloadFailure* failure = nullptr);

// A sealed data file of this program version, from <base><major>/<fileName>, into localPath; check says
// which of the data files it must be.
bool gf_downloadFromSite(const std::string& fileName, const std::filesystem::path& localPath,
                         ContentCheck check);

// The protocols allowed for url: "https", or "http,https" when its host is this machine, so that a mistaken
// base address never downloads in clear text from the network.
std::string allowedProtocols(const std::string& url);

} // namespace zeph
