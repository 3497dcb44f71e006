#include "download_fixture.h"

#include "support/sealed_files.h"
#include "update/curl_handle.h"
#include "update/download_config.h"
#include "update/downloader.h"

namespace zeph::test {

namespace fs = std::filesystem;

void DownloadFixture::SetUp() {
    LogFixture::SetUp();
    setDownloadConfigForTests(DownloadConfig{server.baseUrl(), {}, 2, 1, 30, kTestCapBytes});
}

void DownloadFixture::TearDown() {
    setDownloadConfigForTests(std::nullopt);
    LogFixture::TearDown();
}

bool DownloadFixture::download(const std::string& url, const fs::path& file, ContentCheck check,
                               DownloadFailure* failure) {
    const CurlHandle handle = lf_newCurlHandle();
    return gf_downloadFile(handle.get(), url, file, true, check, failure);
}

bool DownloadFixture::tempFileLeft() const {
    for (const auto& entry : fs::recursive_directory_iterator(dir())) {
        if (entry.path().filename().string().find(".tmp-") != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool DownloadFixture::logHas(const std::string& fragment) const {
    for (const std::string& line : readLog()) {
        if (line.find(fragment) != std::string::npos) {
            return true;
        }
    }
    return false;
}

std::string DownloadFixture::sealedBytes(const std::string& xml) {
    TempDir temp;
    writeSealed(temp / "sealed.enc", xml);
    return readFileBytes(temp / "sealed.enc");
}

} // namespace zeph::test
