#include "update/curl_handle.h"

namespace zeph {

CurlHandle lf_newCurlHandle() { return CurlHandle(curl_easy_init()); }

CurlGlobal::CurlGlobal() : initialised_(curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK) {}

CurlGlobal::~CurlGlobal() {
    if (initialised_) {
        curl_global_cleanup();
    }
}

} // namespace zeph
