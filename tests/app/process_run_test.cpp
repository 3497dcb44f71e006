#include <algorithm>
#include <csignal>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/program_process.h"
#include "platform/tcp_connect.h"
#include "simstandin/standin.h"
#include "support/eventually.h"
#include "support/loopback_http_server.h"
#include "support/raw_peer.h"
#include "support/scoped_env.h"
#include "support/silent_name_server.h"
#include "support/slow_factor.h"
#include "support/temp_dir.h"

// The built program from its start to the wait for the simulator, the connection to the stand-in or a connect
// that gets no answer, ended by SIGTERM.

namespace zeph {
namespace {

using namespace std::chrono_literals;

using test::eventually;

bool logHolds(const std::filesystem::path& log, const std::string& line) {
    return eventually([&] {
        const auto lines =
            std::filesystem::exists(log) ? test::readFileLines(log) : std::vector<std::string>{};
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    });
}

// Every file below folder with its size and a hash of its bytes; the start's housekeeping adds folders.
std::map<std::string, std::pair<std::size_t, std::size_t>> filesBelow(const std::filesystem::path& folder) {
    std::map<std::string, std::pair<std::size_t, std::size_t>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            const std::string bytes = test::readFileBytes(entry.path());
            files[entry.path().string()] = {bytes.size(), std::hash<std::string>{}(bytes)};
        }
    }
    return files;
}

TEST(ProcessRunThreads, TheRunWaitsForOrConnectsToTheSimulatorUntilSigterm) {
    // Where a SimConnect.cfg in the program folder sends the program over TCP: no file (the default pipe,
    // which nobody serves), the stand-in, or a listener whose one backlog slot is taken, so the program's
    // connect gets no answer. Or the start is still downloading a newer airports.enc from a site that
    // crawls: 4 bytes a second of a stated megabyte, never fast enough to finish, never slow enough to time
    // out soon. Or the name of the site gets no answer from the name server.
    enum class Peer { None, Standin, Silent, CrawlingSite, UnansweredSiteName };
    struct Case {
        const char* name;
        Peer peer;
        std::vector<std::string> linesAtExit;
    };
    const Case cases[] = {
        {"no simulator", Peer::None, {"Waiting for Prepar3Dv5 ...", "Exiting: USER CLOSED SIM"}},
        {"the stand-in",
         Peer::Standin,
         {"Lockheed Martin Prepar3D v5 (5.3.12.28584) connected", "SimConnect closed ok"}},
        {"a connect without answer",
         Peer::Silent,
         {"Waiting for Prepar3Dv5 ...", "Exiting: USER CLOSED SIM"}},
        {"a crawling start-up download", Peer::CrawlingSite, {"Exiting: USER CLOSED SIM"}},
        {"a start-up name look-up without answer",
         Peer::UnansweredSiteName,
         {"Download error: 'the run is stopping' for https://site.corvane.invalid/downloads/versions.json",
          "Exiting: USER CLOSED SIM"}},
    };
    const auto nameServer = test::SilentNameServer::start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.peer == Peer::UnansweredSiteName && test::skippedWithout(nameServer, c.name)) {
            continue;
        }
        test::ProgramPlaces places;
        places.seedRun();
        std::optional<standin::SimStandin> simulator;
        std::unique_ptr<test::RawPeer> silent;
        SocketResult backlogFiller;
        std::optional<test::LoopbackHttpServer> site;
        std::optional<test::ScopedEnv> siteBase;
        std::string port;
        if (c.peer == Peer::Standin) {
            standin::StandinOptions options;
            options.tcp4 = "127.0.0.1:0";
            simulator.emplace(options);
            simulator->start();
            port = std::to_string(simulator->tcp4Port().value_or(0));
        } else if (c.peer == Peer::Silent) {
            silent = test::RawPeer::listenTcp4({.acceptClient = false, .backlog = 0});
            ASSERT_TRUE(silent);
            port = silent->portText();
            backlogFiller = connectTcp(TcpFamily::IPv4, "127.0.0.1", port, test::kLivenessBound);
            ASSERT_TRUE(backlogFiller.ok());
        } else if (c.peer == Peer::CrawlingSite) {
            site.emplace();
            site->ok("versions.json", R"({"airports": {"major": 99, "minor": 0, "patch": 0}})");
            site->crawl("11/airports.enc", 2, 500, 60000, 1 << 20);
            siteBase.emplace("CORVANE_DOWNLOAD_BASE_URL", site->baseUrl());
        } else if (c.peer == Peer::UnansweredSiteName) {
            siteBase.emplace("CORVANE_DOWNLOAD_BASE_URL",
                             "https://" + test::SilentNameServer::unansweredName() + "/downloads/");
        }
        if (!port.empty()) {
            test::writeFileBytes(places.programDir() / "SimConnect.cfg",
                                 "[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=" + port +
                                     "\r\n");
        }
        const auto input = filesBelow(places.programDir() / "input");
        test::ProgramProcess program(CORVANE_BIN, places);
        const auto log = places.programDir() / "Log.txt";
        // Waiting or connected: the waiting status is flushed at once, the set-up ends with the group's
        // priority. A little after the waiting status the first attempt is in its connect; a little after its
        // request the download is under way.
        if (simulator) {
            ASSERT_TRUE(simulator->waitPackets(0x09, 1, test::kLivenessBound * 5)) << program.errorOutput();
        } else if (c.peer == Peer::UnansweredSiteName) {
            // The parameters are logged and flushed right before the version check asks for the name.
            ASSERT_TRUE(logHolds(log, std::string(80, '*'))) << program.errorOutput();
            std::this_thread::sleep_for(500ms);
        } else {
            ASSERT_TRUE(site ? eventually([&] { return site->paths().size() == 2; })
                             : logHolds(log, c.linesAtExit.front()))
                << program.errorOutput();
            std::this_thread::sleep_for(500ms);
        }
        // Closing down answers within 2 s while a connect waits, within 3 s while a name is looked up; the
        // other rows keep the bound of a close.
        program.signal(SIGTERM);
        const auto bound = c.peer == Peer::Silent ? test::kLivenessBound
                           : c.peer == Peer::UnansweredSiteName
                               ? std::chrono::milliseconds(static_cast<long long>(3000 * test::kSlowFactor))
                               : std::chrono::milliseconds(static_cast<long long>(5000 * test::kSlowFactor));
        EXPECT_EQ(program.waitForExit(bound), 0) << program.errorOutput();
        for (const std::string& line : c.linesAtExit) {
            EXPECT_TRUE(logHolds(log, line)) << line;
        }
        EXPECT_EQ(filesBelow(places.programDir() / "input"), input) << "a stopped download changes no file";
    }
}

} // namespace
} // namespace zeph
