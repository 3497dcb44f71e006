#include "realtraffic/report_queue.h"
#include "realtraffic/traffic_reader.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include <gtest/gtest.h>

#include "rtfeed/traffic_line.h"
#include "settings/range.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;
using rtfeed::TrafficLine;

std::size_t stackSize() {
    const std::lock_guard lock(addingStackMutex);
    return addingStack.size();
}

void resetStack(bool accepting) {
    const std::lock_guard lock(addingStackMutex);
    addingStack.clear();
    trafficAccepting = accepting;
}

std::string lineAt(double lat, double lon) {
    TrafficLine line;
    line.latitude = lat;
    line.longitude = lon;
    return line.toDatagram();
}

// Two user positions far apart; a line lies at each mix of their coordinates. A reader that saw the
// latitude of one and the longitude of the other would accept such a line.
TEST(TrafficReaderThreads, TheUserPositionIsNeverMixed) {
    const GeoPoint a{10.0, 10.0};
    const GeoPoint b{50.0, 50.0};
    TrafficReader reader;
    lateralRangeNm.store(40.0);
    resetStack(true);
    reader.setUserPosition(a);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int n = 0; !done.load(); ++n) {
            reader.setUserPosition(n % 2 == 0 ? b : a);
            reader.setReferenceElevation(n % 2 == 0 ? std::optional<double>(0.0) : std::nullopt);
        }
    });
    const std::string mixed[] = {lineAt(a.lat, b.lon), lineAt(b.lat, a.lon)};
    int mixedSeen = 0;
    for (int n = 0; n < 20000; ++n) {
        reader.onDatagram(mixed[n % 2]);
        const GeoPoint seen = reader.userPosition();
        const bool whole =
            (seen.lat == a.lat && seen.lon == a.lon) || (seen.lat == b.lat && seen.lon == b.lon);
        mixedSeen += whole ? 0 : 1;
    }
    done.store(true);
    writer.join();
    EXPECT_EQ(mixedSeen, 0);
    EXPECT_EQ(stackSize(), 0U);
    reader.setUserPosition(a);
    reader.onDatagram(lineAt(a.lat, a.lon));
    EXPECT_EQ(stackSize(), 1U) << "a line at the user position itself is taken";
    resetStack(false);
}

// Callsign n is line n. Lines finished before a collection starts, and lines begun after its set was
// taken, were not sent while collecting: a taken set holds only lines in between.
TEST(TrafficReaderThreads, CallsignCollectionCyclesOnlyHoldCallsignsSentWhileCollecting) {
    TrafficReader reader;
    reader.setUserPosition({52.3, 4.76});
    lateralRangeNm.store(40.0);
    resetStack(false);
    std::atomic<int> started{-1};
    std::atomic<int> finished{0}; // lines 0 .. finished - 1 are parsed
    std::atomic<bool> done{false};
    std::thread sender([&] {
        TrafficLine line;
        for (int n = 0; !done.load(); ++n) {
            line.callsign = "C" + std::to_string(n);
            const std::string datagram = line.toDatagram();
            started.store(n);
            reader.onDatagram(datagram);
            finished.store(n + 1);
            std::this_thread::sleep_for(200us); // about 5000 lines a second
        }
    });
    std::size_t collected = 0;
    for (int cycle = 0; cycle < 20; ++cycle) {
        const int first = finished.load();
        reader.startCallsignCollection();
        std::this_thread::sleep_for(10ms);
        const std::unordered_set<std::string> taken = reader.takeSeenCallsigns();
        const int last = started.load();
        for (const std::string& callsign : taken) {
            const int n = std::stoi(callsign.substr(1));
            EXPECT_TRUE(n >= first && n <= last)
                << "cycle " << cycle << ": " << callsign << " outside " << first << ".." << last;
        }
        collected += taken.size();
        std::this_thread::sleep_for(2ms);
        EXPECT_TRUE(reader.seenCallsigns().empty()) << "cycle " << cycle << ": collected after the take";
    }
    done.store(true);
    sender.join();
    EXPECT_GT(collected, 0U);
}

} // namespace
} // namespace zeph
