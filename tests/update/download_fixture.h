#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "support/log_fixture.h"
#include "support/loopback_http_server.h"
#include "update/content_checks.h"
#include "update/downloader.h"

namespace zeph::test {

// A program folder with Log.txt and a site of its own: downloads go to the fixture's server, with a
// low-speed time of 1 s so a silent server ends a transfer quickly, and a size cap of kTestCapBytes.
class DownloadFixture : public LogFixture {
protected:
    static constexpr std::uint64_t kTestCapBytes = 8 << 20;

    void SetUp() override;
    void TearDown() override;

    bool download(const std::string& url, const std::filesystem::path& file,
                  ContentCheck check = ContentCheck::None, DownloadFailure* failure = nullptr);
    // A temp file of a download is left in the program folder or below it.
    bool tempFileLeft() const;
    bool logHas(const std::string& fragment) const;
    // Bytes of a sealed data file that checks out.
    static std::string sealedBytes(const std::string& xml = "<root/>");

    LoopbackHttpServer server;
};

} // namespace zeph::test
