#pragma once
#include <memory>

#include <curl/curl.h>

// libcurl easy handles, each released by the holder that owns it.

namespace zeph {

struct lf_curlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, lf_curlDeleter>;

// A new easy handle; null when libcurl cannot make one. Each download makes its own.
CurlHandle lf_newCurlHandle();

// libcurl's global set-up for the life of the process. Made in main before any thread starts.
class CurlGlobal {
public:
    CurlGlobal();
    ~CurlGlobal();
    CurlGlobal(const CurlGlobal&) = delete;
    CurlGlobal& operator=(const CurlGlobal&) = delete;

private:
    bool initialised_;
};

} // namespace zeph
