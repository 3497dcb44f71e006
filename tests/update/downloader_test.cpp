#include "update/downloader.h"

#include <chrono>
#include <csignal>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "download_fixture.h"
#include "support/child_process.h"
#include "support/free_port.h"
#include "support/sealed_files.h"
#include "update/curl_handle.h"
#include "update/download_config.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using DownloadFiles = test::DownloadFixture;

TEST_F(DownloadFiles, AFileIsReplacedOnlyByAWholeVerifiedAnswer) {
    struct Case {
        const char* name;
        std::function<void(test::LoopbackHttpServer&)> serve;
        ContentCheck check;
        std::string error; // the reason in "Download error: '<reason>' for <url>"; empty when it succeeds
        DownloadFailure failure; // what it says of a later try
    };
    const std::string sealed = sealedBytes("<root><airports/></root>");
    constexpr auto kNone = DownloadFailure::None;
    constexpr auto kRefused = DownloadFailure::Refused;
    constexpr auto kTransient = DownloadFailure::Transient;
    const std::vector<Case> cases = {
        {"ok", [&](auto& s) { s.ok("f", sealed); }, ContentCheck::SealedAirports, "", kNone},
        {"404", [](auto& s) { s.status("f", 404); }, ContentCheck::None, "HTTP response code said error",
         kRefused},
        {"500", [](auto& s) { s.status("f", 500); }, ContentCheck::None, "HTTP response code said error",
         kTransient},
        {"429", [](auto& s) { s.status("f", 429); }, ContentCheck::None, "HTTP response code said error",
         kTransient},
        {"truncated", [](auto& s) { s.truncated("f", 1000, 400); }, ContentCheck::None,
         "Transferred a partial file", kTransient},
        {"chunked without end", [](auto& s) { s.chunkedNoEnd("f", "abc"); }, ContentCheck::None, "'",
         kTransient},
        {"redirect", [](auto& s) { s.redirect("f", 302, "/downloads/g"); }, ContentCheck::None,
         "HTTP status 302", kRefused},
        {"closed", [](auto& s) { s.closeWithoutResponse("f"); }, ContentCheck::None, "'", kTransient},
        {"silent", [](auto& s) { s.stall("f", true, 3000); }, ContentCheck::None, "Timeout was reached",
         kTransient},
        {"crawl", [](auto& s) { s.crawl("f", 2, 100, 20000, 1 << 20); }, ContentCheck::None,
         "Timeout was reached", kTransient},
        {"endless", [](auto& s) { s.crawl("f", 65536, 1, 5000, 0); }, ContentCheck::None,
         "Maximum file size exceeded", kRefused},
        {"stated above the cap", [](auto& s) { s.truncated("f", 16 << 20, 10); }, ContentCheck::None,
         "Maximum file size exceeded", kRefused},
        {"html as sealed", [](auto& s) { s.ok("f", "<html>login</html>", "text/html"); },
         ContentCheck::SealedAirports, "content check failed", kRefused},
        {"sealed without final chunk",
         [](auto& s) {
             test::TempDir temp;
             test::writeSealed(temp / "x.enc", std::string(9000, 'a'), gf_dataFileKey(), {.noFinal = true});
             s.ok("f", test::readFileBytes(temp / "x.enc"));
         },
         ContentCheck::SealedAirports, "content check failed", kRefused},
    };
    const fs::path target = dir() / "data.enc";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFileBytes(target, "old bytes");
        c.serve(server);
        const auto start = std::chrono::steady_clock::now();
        DownloadFailure failure = DownloadFailure::Transient;
        const bool done = download(server.urlOf("f"), target, c.check, &failure);
        EXPECT_LT(std::chrono::steady_clock::now() - start, test::kLivenessBound * 1.5);
        EXPECT_EQ(done, c.error.empty());
        EXPECT_EQ(failure, c.failure);
        EXPECT_EQ(test::readFileBytes(target), c.error.empty() ? sealed : "old bytes");
        if (!c.error.empty()) {
            const std::string line = readLog().empty() ? "" : readLog().back();
            EXPECT_TRUE(line.starts_with("Download error: '")) << line;
            EXPECT_NE(line.find(c.error), std::string::npos) << line;
            EXPECT_TRUE(line.ends_with("' for " + server.urlOf("f"))) << line;
        }
        EXPECT_FALSE(tempFileLeft());
    }
    for (const auto& request : server.requests()) {
        EXPECT_EQ(request.userAgent, "Corvane") << request.path;
    }
    EXPECT_EQ(server.requests().size(), cases.size());
}

// The smallest dbase its reader takes, with the given high_performance section: every other required
// section holds one code.
std::string dbaseWith(const std::string& highPerformance) {
    return R"(<root><aircrafts><aircraft types="B738,F16"/></aircrafts>)" + highPerformance +
           R"(<heavy><hvy types="B744"/></heavy><large><lar types="B738"/></large><buzjet><bzj types="C25A"/>)"
           R"(</buzjet><rotorcraft><rot types="R44"/></rotorcraft><cargo_types><cargo_type types="B744"/>)"
           R"(</cargo_types><ICAO_airlines><ICAO codes="KLM"/></ICAO_airlines><cargo_operators>)"
           R"(<ICAO codes="UPS"/></cargo_operators><simaddonsP3D><simaddonP3D arpts="KLAX"/></simaddonsP3D>)"
           R"(<dbase/></root>)";
}

TEST_F(DownloadFiles, ASealedFileReplacesOnlyTheDataFileOfItsKind) {
    const std::string meta = R"(<meta><info name="copyright" value="c"/><info name="sim" value="3"/></meta>)";
    const std::string highPerformance = R"(<high_performance><hpf types="F16"/></high_performance>)";
    const struct {
        ContentCheck check;
        std::string xml;
        bool taken;
    } cases[] = {
        {ContentCheck::SealedAirports, "<root><airports/></root>", true},
        {ContentCheck::SealedAirports, "<airports/>", true},
        {ContentCheck::SealedAirports, "<root><aircrafts/><dbase/></root>", false},
        {ContentCheck::SealedAirports, "<root><airports>", false},
        {ContentCheck::SealedDbase, dbaseWith(highPerformance), true},
        {ContentCheck::SealedDbase, "<root><aircrafts/><dbase/></root>", false},
        {ContentCheck::SealedDbase, dbaseWith(""), false},
        {ContentCheck::SealedDbase, dbaseWith(R"(<high_performance><hpf types=" , "/></high_performance>)"),
         false},
        {ContentCheck::SealedDbase, "<root><airports/></root>", false},
        {ContentCheck::SealedAigRegcodes, "<root>" + meta + "<AIG-regcodes/></root>", true},
        {ContentCheck::SealedAigRegcodes, "<root><AIG-regcodes/></root>", false},
        {ContentCheck::SealedAigRegcodes, "<root>" + meta + "<aircrafts/></root>", false},
    };
    const fs::path target = dir() / "input.enc";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        test::writeFileBytes(target, "old bytes");
        const std::string sealed = sealedBytes(c.xml);
        server.ok("f", sealed);
        EXPECT_EQ(download(server.urlOf("f"), target, c.check), c.taken);
        EXPECT_EQ(test::readFileBytes(target), c.taken ? sealed : "old bytes");
    }
}

TEST_F(DownloadFiles, NoServerNoFolderAndAFullDiskFail) {
    const std::string nowhere =
        "http://127.0.0.1:" + std::to_string(test::freeLoopbackPort()) + "/downloads/f";
    DownloadFailure failure = DownloadFailure::None;
    EXPECT_FALSE(download(nowhere, dir() / "f", ContentCheck::None, &failure));
    EXPECT_EQ(readLog().back(), "Download error: 'Couldn't connect to server' for " + nowhere);
    EXPECT_EQ(failure, DownloadFailure::Transient) << "no connection may go later";

    server.ok("f", std::string(4096, 'z'));
    const fs::path inMissingFolder = dir() / "missing" / "f";
    EXPECT_FALSE(download(server.urlOf("f"), inMissingFolder));
    EXPECT_EQ(readLog().back(), "Could not open output file: " + inMissingFolder.string());

    // A file may grow to 1 KiB only: the 4 KiB body cannot be written whole.
    const fs::path target = dir() / "full";
    test::writeFileBytes(target, "old");
    const auto downloadWhole = [&] {
        const CurlHandle handle = lf_newCurlHandle();
        return gf_downloadFile(handle.get(), server.urlOf("f"), target, true);
    };
    EXPECT_EQ(test::runWithFileSizeLimit(1024, downloadWhole), false) << "a full disk counts as a failure";
    EXPECT_EQ(test::readFileBytes(target), "old");
    EXPECT_FALSE(tempFileLeft());
}

TEST_F(DownloadFiles, ClearTextGoesOnlyToThisMachine) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(download("http://192.0.2.1/downloads/x", dir() / "x"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, test::kLivenessBound);
    EXPECT_EQ(readLog().back(), "Download error: 'Unsupported protocol' for http://192.0.2.1/downloads/x");
    server.ok("x", "local");
    const std::string localhost = "http://localhost:" + std::to_string(server.port()) + "/downloads/x";
    EXPECT_TRUE(download(localhost, dir() / "x"));
    EXPECT_EQ(allowedProtocols("https://downloads.corvane.example/downloads/"), "https");
    EXPECT_EQ(allowedProtocols("http://[::1]:8/downloads/"), "http,https");
}

} // namespace
} // namespace zeph

namespace zeph {
namespace {

namespace fs = std::filesystem;

// A real TLS server: python3's http.server with a throwaway certificate for 127.0.0.1.
class HttpsTestServer : public test::DownloadFixture {
protected:
    void SetUp() override {
        DownloadFixture::SetUp();
        fs::create_directories(temp_ / "site" / "downloads");
        test::writeFileBytes(temp_ / "site" / "downloads" / "x", "secure bytes");
        const test::ChildResult made = test::runChild(
            "/usr/bin/openssl",
            {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=127.0.0.1",
             "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", "key.pem", "-out", "cert.pem"},
            temp_.path());
        ASSERT_EQ(made.exitCode, 0) << made.err;
        pid_ = ::fork();
        ASSERT_GE(pid_, 0);
        if (pid_ == 0) {
            const std::string site = (temp_ / "site").string(), cert = (temp_ / "cert.pem").string(),
                              key = (temp_ / "key.pem").string(), portFile = (temp_ / "port").string();
            ::execlp("python3", "python3", CORVANE_HTTPS_SERVER_SCRIPT, site.c_str(), cert.c_str(),
                     key.c_str(), portFile.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + test::kLivenessBound * 5;
        while (!fs::exists(temp_ / "port") && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(fs::exists(temp_ / "port")) << "the HTTPS server did not start";
        url_ = "https://127.0.0.1:" + test::readFileBytes(temp_ / "port") + "/downloads/x";
    }
    void TearDown() override {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        DownloadFixture::TearDown();
    }

    test::TempDir temp_;
    pid_t pid_ = -1;
    std::string url_;
};

TEST_F(HttpsTestServer, OnlyATrustedCertificateDownloads) {
    const fs::path target = dir() / "x";
    test::writeFileBytes(target, "old");
    EXPECT_FALSE(download(url_, target)) << "the test certificate is not trusted by the system";
    EXPECT_EQ(test::readFileBytes(target), "old");
    setDownloadConfigForTests(DownloadConfig{server.baseUrl(), temp_ / "cert.pem", 2, 1});
    EXPECT_TRUE(download(url_, target));
    EXPECT_EQ(test::readFileBytes(target), "secure bytes");
}

} // namespace
} // namespace zeph
