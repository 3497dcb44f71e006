#include "update/version_check.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/run_flags.h"
#include "download_fixture.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "support/parameters_files.h"
#include "support/recording_control_sink.h"
#include "support/recording_window_port.h"
#include "support/silent_name_server.h"
#include "support/slow_factor.h"
#include "update/download_config.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

std::string section(const std::string& name, const std::string& version) {
    const Version v = gf_parseVersion(version);
    return fmt::format("\"{}\": {{\"major\": {}, \"minor\": {}, \"patch\": {}}}", name, v.major, v.minor,
                       v.patch);
}

// A program folder with input/ and output/, parameters in a temp AppData, and the maker's site.
class VersionCheck : public test::DownloadFixture {
protected:
    void SetUp() override {
        DownloadFixture::SetUp();
        test::resetParametersForTests(appData_.path());
        fs::create_directories(dir() / "input");
        fs::create_directories(dir() / "output");
        mainWindowState.mainWindow.store(reinterpret_cast<WindowHandle>(&window_));
    }
    void TearDown() override {
        mainWindowState.mainWindow.store(nullptr);
        DownloadFixture::TearDown();
    }
    void serveVersions(const std::vector<std::string>& sections) {
        std::string text = "{";
        for (const std::string& s : sections) {
            text += (text.size() > 1 ? ", " : "") + s;
        }
        server.ok("versions.json", text + "}", "application/json");
    }
    bool stored(const char* key, const std::string& value) const {
        const std::string file = test::readFileBytes(appData_ / "Corvane_P3D" / "parameters.xml");
        return file.find(test::parameterElementText(key, value)) != std::string::npos;
    }
    long requestsOf(const std::string& path) const {
        const auto paths = server.paths();
        return std::count(paths.begin(), paths.end(), "/downloads/" + path);
    }
    // The log lines since the last call, without the lines of parameter saves ("KEY=value").
    std::vector<std::string> newLines() {
        const auto lines = readLog();
        std::vector<std::string> fresh;
        std::copy_if(lines.begin() + static_cast<std::ptrdiff_t>(seen_), lines.end(),
                     std::back_inserter(fresh), [](const std::string& line) {
                         const std::size_t equals = line.find('=');
                         return equals == std::string::npos || equals == 0 ||
                                line.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_0123456789") != equals;
                     });
        seen_ = lines.size();
        return fresh;
    }

    test::TempDir appData_;
    test::RecordingControlSink sink_;
    test::RecordingWindowPort port_;
    int window_ = 0;
    std::size_t seen_ = 0;
};

// Also a site whose name never resolves costs no more than the connect limit, or than the stop.
TEST_F(VersionCheck, ASilentOrBrokenSiteCostsOneLine) {
    const auto nameServer = test::SilentNameServer::start();
    const std::string unanswered =
        fmt::format("https://{}/downloads/", test::SilentNameServer::unansweredName());
    const struct {
        const char* name;
        std::function<void()> arrange;
        bool byName;
        bool stop;
    } cases[] = {
        {"nothing on port 9",
         [&] {
             setDownloadConfigForTests(DownloadConfig{"http://127.0.0.1:9/downloads/", {}, 2, 1});
         },
         false, false},
        {"not JSON", [&] { server.ok("versions.json", "<html>"); }, false, false},
        {"not an object", [&] { server.ok("versions.json", "[1, 2]"); }, false, false},
        {"a name without answer",
         [&] {
             setDownloadConfigForTests(DownloadConfig{unanswered, {}, 2, 1});
         },
         true, false},
        {"a name without answer, then the window closed",
         [&] {
             setDownloadConfigForTests(DownloadConfig{unanswered, {}, 30, 30});
         },
         true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.byName && test::skippedWithout(nameServer, c.name)) {
            continue;
        }
        c.arrange();
        std::thread closer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            userStopped.store(c.stop);
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(gf_checkVersions());
        const auto took = std::chrono::steady_clock::now() - start;
        closer.join();
        userStopped.store(false);
        EXPECT_LT(took, std::chrono::seconds(2) + test::kLivenessBound) << "the connect limit or the stop";
        const auto lines = newLines();
        EXPECT_EQ(lines.back(),
                  c.stop ? "Download error: 'the run is stopping' for " + unanswered + "versions.json"
                         : "==> Downloading version info from my web site failed!")
            << "a stop logs only its own line";
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                                [](auto& l) { return l.starts_with("Download error"); }),
                  1);
        EXPECT_FALSE(fs::exists(dir() / "versions.json"));
        EXPECT_FALSE(tempFileLeft());
    }
    EXPECT_TRUE(sink_.calls().empty());
    EXPECT_EQ(AIRPORTS_VERSION.get(), "");
}

// Any way the run ends cuts a transfer short at once, whether or not the site has begun its answer.
TEST_F(VersionCheck, AStopEndsTheDownloadAtOnceAndTakesNoFurtherSection) {
    const struct {
        const char* name;
        std::atomic<bool>& flag;
        bool headersSent;
    } cases[] = {
        {"window closed, body held back", userStopped, true},
        {"program ending, no answer yet", processEnding, false},
    };
    const fs::path airports = dir() / "input" / "airports.enc";
    const std::string url = server.urlOf("11/airports.enc");
    server.ok("11/dbase.enc", sealedBytes("<root><aircrafts/></root>"));
    serveVersions({section("airports", "1.2.3"), section("dbase", "3.0.0")});
    // The low-speed time of a user, so only the stop can end the transfer soon.
    setDownloadConfigForTests(DownloadConfig{server.baseUrl(), {}, 2, 30});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFileBytes(airports, "old airports");
        server.stall("11/airports.enc", c.headersSent, 60000);
        std::thread closer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            c.flag.store(true);
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(gf_checkVersions());
        closer.join();
        c.flag.store(false);
        EXPECT_LT(std::chrono::steady_clock::now() - start, test::kLivenessBound);
        const auto lines = newLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "Download error: 'the run is stopping' for " + url) << "only the stop";
        EXPECT_EQ(requestsOf("11/dbase.enc"), 0);
        EXPECT_EQ(test::readFileBytes(airports), "old airports");
        EXPECT_FALSE(fs::exists(dir() / "input" / "dbase.enc"));
        EXPECT_EQ(AIRPORTS_VERSION.get(), "");
        EXPECT_FALSE(tempFileLeft());
    }
}

// A negative field is refused too: its text "2.-1.0" would read back as 0.0.0, so the version would be
// newer at every start.
TEST(WebVersion, OnlyJsonIntegersWithin32BitsCount) {
    const std::vector<std::pair<const char*, std::optional<Version>>> cases = {
        {R"({"airports": {"major": 1, "minor": 2, "patch": 3}})", Version{1, 2, 3}},
        {R"({"airports": {"major": 0, "minor": 2147483647, "patch": 0}})", Version{0, 2147483647, 0}},
        {R"({"airports": {"major": -1, "minor": 2147483647, "patch": 0}})", std::nullopt},
        {R"({"airports": {"major": 2, "minor": -1, "patch": 0}})", std::nullopt},
        {R"({"airports": {"major": "1", "minor": 0, "patch": 0}})", std::nullopt},
        {R"({"airports": {"major": 1e20, "minor": 0, "patch": 0}})", std::nullopt},
        {R"({"airports": {"major": 1.0, "minor": 0, "patch": 0}})", std::nullopt},
        {R"({"airports": {"major": true, "minor": 0, "patch": 0}})", std::nullopt},
        {R"({"airports": {"major": 2147483648, "minor": 0, "patch": 0}})", std::nullopt},
        {R"({"airports": {"major": -2147483649, "minor": 0, "patch": 0}})", std::nullopt},
        {R"({"airports": {"major": 1, "minor": 0}})", std::nullopt},
        {R"({"airports": [1, 0, 0]})", std::nullopt},
        {R"({"aig": {"major": 1, "minor": 0, "patch": 0}})", std::nullopt},
        {R"([{"airports": {"major": 1, "minor": 0, "patch": 0}}])", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(lf_webVersion(nlohmann::json::parse(text), "airports"), expected) << text;
    }
}

TEST_F(VersionCheck, SectionsDownloadTickAndRecordInTheirOrder) {
    const std::string sealed = sealedBytes("<airports/>");
    const fs::path airports = dir() / "input" / "airports.enc";
    const fs::path dbase = dir() / "input" / "dbase.enc";
    test::writeFileBytes(airports, "old airports");
    test::writeFileBytes(dbase, "old dbase");
    server.ok("11/airports.enc", sealed);
    server.ok("11/dbase.enc", sealed); // the site's own airports file in place of the dbase
    serveVersions({section("p3d", "11.10.5"), section("airports", "1.2.3"), section("liveries", "2.0.0"),
                   section("addons", "1.0.0"), section("dbase", "3.0.0")});
    SCAN_LIVERIES.set(false);
    SCAN_AIRPORTS.set(false);
    sink_.clear();
    EXPECT_TRUE(gf_checkVersions());
    const std::string dbaseUrl = server.urlOf("11/dbase.enc");
    std::vector<std::string> expected = {
        "p3d program version at web = 11.10.5",
        "p3d version up-to-date",
        fmt::format("Downloaded '{}' to 'input/airports.enc'", server.urlOf("11/airports.enc")),
        "airports updated to 1.2.3",
        "==> aig version not found",
        "liveries updated to 2.0.0",
        "addons updated to 1.0.0",
        fmt::format("Download error: 'content check failed' for {}", dbaseUrl),
        fmt::format("==> Downloading '{}' failed !", dbaseUrl),
    };
    auto lines = newLines();
    EXPECT_EQ(
        std::vector<std::string>(
            lines.end() - static_cast<std::ptrdiff_t>(std::min(lines.size(), expected.size())), lines.end()),
        expected);
    EXPECT_EQ(test::readFileBytes(airports), sealed);
    EXPECT_EQ(test::readFileBytes(dbase), "old dbase");
    EXPECT_TRUE(stored("AIRPORTS_VERSION", "1.2.3"));
    EXPECT_TRUE(stored("LIV_SCAN_VERSION", "2.0.0"));
    EXPECT_TRUE(stored("ADDONS_SCAN_VERSION", "1.0.0"));
    EXPECT_EQ(DBASE_VERSION.get(), "");
    EXPECT_TRUE(stored("SCAN_LIVERIES", "true")) << "ticked and saved";
    EXPECT_TRUE(SCAN_AIRPORTS.get());
    EXPECT_EQ(sink_.count("setCheck"), 2U);
    EXPECT_EQ(port_.count("invalidate"), 2U);
    EXPECT_EQ(port_.calls().back(), "invalidate 0 112 880 392");
    EXPECT_FALSE(fs::exists(dir() / "versions.json"));
    EXPECT_FALSE(tempFileLeft());

    // The same versions again: equal is up to date, but a missing scan file or data file is not.
    SCAN_LIVERIES.set(false);
    EXPECT_TRUE(gf_checkVersions());
    lines = newLines();
    for (const char* line :
         {"airports version up-to-date", "liveries updated to 2.0.0", "addons version up-to-date"}) {
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    }
    EXPECT_TRUE(SCAN_LIVERIES.get()) << "no LiveriesScanned.xml";
    EXPECT_EQ(requestsOf("11/airports.enc"), 1);
    fs::remove(airports);
    test::writeFileBytes(dir() / "output" / "LiveriesScanned.xml", "<root/>");
    EXPECT_TRUE(gf_checkVersions());
    lines = newLines();
    EXPECT_EQ(requestsOf("11/airports.enc"), 2);
    EXPECT_EQ(test::readFileBytes(airports), sealed);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "liveries version up-to-date"), lines.end());
}

} // namespace
} // namespace zeph
