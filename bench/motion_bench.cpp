// The motion of 500 live aircraft on the ground: 40 % on taxi curves, 40 % on straight taxi legs that turn in
// place at each report, 20 % parked; the same number in the air, and a mix of 250 in the air, 150 taxiing on
// curves and 100 parked. Targets: a pass of lf_updateAllLiveAc with the fake simulator's frame
// at most 3x the baseline (per aircraft one distance, one atan2 and a copy of eight doubles) and at most 2 %
// of the 10 ms budget (200 us); no allocation per pass after warm-up beyond a stream's own storage when a
// midpoint is inserted.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/allocation_count.h"
#include "core/geodesy.h"
#include "settings/parameter_table.h"
#include "support/aircraft_fixture.h"
#include "support/fake_simulator.h"
#include "support/traffic_builders.h"
#include "traffic/traffic_pass.h"
#include "traffic/traffic_tables.h"

namespace {

using namespace zeph;

constexpr std::uint32_t kAircraft = 500;
constexpr std::int64_t kPasses = 10000;
constexpr std::int64_t kWarmUpPasses = 100;
constexpr double kPassBudgetSeconds = 0.010;

enum class Ground { curves, straight, parked };

Ground groundKindOf(std::uint32_t i) {
    return i % 5 == 4 ? Ground::parked : (i % 5 < 2 ? Ground::curves : Ground::straight);
}

// Aircraft i of the mix, its head due now at a point of its own near the user.
LiveAc groundAircraft(std::uint32_t i, Ground kind) {
    LiveAc a = test::makeLiveAc({.hexid = 0x500000 + i,
                                 .callsign = "GND" + std::to_string(i),
                                 .distanceNm = 1.0 + i % 10,
                                 .bearingDeg = 360.0 * i / kAircraft,
                                 .altitude = 0.0,
                                 .groundSpeed = 10.0,
                                 .track = 0.0,
                                 .airborne = false},
                                AcState::active, 101 + i);
    a.onGround = 1;
    a.phase = AcPhase::taxi;
    StreamPos p = a.stream[0];
    p.duePass = tickCounter.load();
    p.airborne = 0;
    a.stream[0] = p;
    a.position.latitude = p.latitude;
    a.position.longitude = p.longitude;
    if (kind == Ground::parked) { // the stop lasts the whole run
        a.phase = AcPhase::parked;
        StreamPos stop = p;
        stop.stationary = 1;
        stop.groundSpeed = 0.0;
        stop.duePass += 2 * kPasses;
        a.stream.push_back(stop);
        return a;
    }
    const bool curves = kind == Ground::curves;
    for (int leg = 0; leg < 16; ++leg) {
        // Curves: an L corner every 40 m; straight: 60 m legs 20 degrees apart, turned in place.
        const double bearing = curves ? (leg % 2) * 90.0 : (leg % 2) * 20.0;
        p = test::movedPosition(p, bearing, curves ? 40.0 : 60.0, curves ? 778 : 1167);
        a.stream.push_back(p);
    }
    a.position.heading = curves ? 0.0 : 30.0 * kDegToRad;
    return a;
}

void fillGroundTable() {
    lf_clearTrafficTables();
    test::installTestAircraft();
    RANDOM.setValue(false);
    for (std::uint32_t i = 0; i < kAircraft; ++i) {
        liveAcTable.push_back(groundAircraft(i, groundKindOf(i)));
    }
}

// Warms up, then measures one pass of lf_updateAllLiveAc with the fake's frame per iteration.
void measurePasses(benchmark::State& state) {
    test::FakeSimulator fake;
    const auto pass = [&fake] {
        lf_updateAllLiveAc();
        fake.frame();
        tickCounter.store(tickCounter.load() + 1);
    };
    for (std::int64_t i = 0; i < kWarmUpPasses; ++i) {
        pass();
    }
    fake.clearRecords();
    std::uint64_t allocations = 0;
    std::int64_t passes = 0;
    for (auto _ : state) {
        const std::uint64_t before = allocationCount.load(std::memory_order_relaxed);
        const auto start = std::chrono::steady_clock::now();
        pass();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        allocations += allocationCount.load(std::memory_order_relaxed) - before;
        state.SetIterationTime(took.count());
        ++passes;
        if (passes % 1000 == 0) {
            fake.clearRecords(); // its call record grows with every pass
        }
    }
    state.counters["allocs_per_pass"] = static_cast<double>(allocations) / static_cast<double>(passes);
    std::size_t active = 0;
    for (const LiveAc& a : liveAcTable) {
        active += a.state == AcState::active ? 1 : 0;
    }
    state.counters["active_at_end"] = static_cast<double>(active);
}

void BM_GroundMotion500(benchmark::State& state) {
    tickCounter.store(2'000'001);
    fillGroundTable();
    measurePasses(state);
    std::size_t moved = 0;
    for (const LiveAc& a : liveAcTable) {
        moved += a.phase == AcPhase::taxi && a.stream.size() < 10 ? 1 : 0;
    }
    state.counters["taxied_far"] = static_cast<double>(moved);
    lf_clearTrafficTables();
    test::clearTestAircraft();
}
BENCHMARK(BM_GroundMotion500)->Iterations(kPasses)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Aircraft i in the air at 12,000 ft, zigzagging 20 degrees and climbing or sinking at each report, one
// report every 800 passes.
LiveAc airAircraft(std::uint32_t i) {
    LiveAc a = test::makeLiveAc({.hexid = 0x600000 + i,
                                 .callsign = "AIR" + std::to_string(i),
                                 .distanceNm = 1.0 + i % 20,
                                 .bearingDeg = 360.0 * i / kAircraft,
                                 .altitude = 12000.0,
                                 .groundSpeed = 250.0,
                                 .track = 0.0},
                                AcState::active, 1001 + i);
    a.phase = AcPhase::flying;
    a.heightAboveGround = 10000.0;
    StreamPos p = a.stream[0];
    p.duePass = tickCounter.load();
    a.stream[0] = p;
    a.position.latitude = p.latitude;
    a.position.longitude = p.longitude;
    a.position.altitude = p.altitude;
    for (int leg = 0; leg < 16; ++leg) {
        p = test::movedPosition(p, (leg % 2) * 20.0, 250.0 * 8.0 / 3600.0 * 1852.0, 800);
        p.verticalRate = leg % 2 == 0 ? 1200.0 : -900.0;
        p.altitude += leg % 2 == 0 ? 160.0 : -120.0;
        a.stream.push_back(p);
    }
    return a;
}

// `airborne` aircraft in the air, then taxiing on curves and parked ones in the ratio 3:2.
void fillMixedTable(std::uint32_t airborne) {
    lf_clearTrafficTables();
    test::installTestAircraft();
    RANDOM.setValue(false);
    for (std::uint32_t i = 0; i < kAircraft; ++i) {
        const bool parked = (i - airborne) % 5 >= 3;
        liveAcTable.push_back(i < airborne ? airAircraft(i)
                                           : groundAircraft(i, parked ? Ground::parked : Ground::curves));
    }
}

void BM_AirMotion500(benchmark::State& state) {
    tickCounter.store(2'000'001);
    fillMixedTable(kAircraft);
    measurePasses(state);
    lf_clearTrafficTables();
    test::clearTestAircraft();
}
BENCHMARK(BM_AirMotion500)->Iterations(kPasses)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_MixedMotion500(benchmark::State& state) {
    tickCounter.store(2'000'001);
    fillMixedTable(250);
    measurePasses(state);
    lf_clearTrafficTables();
    test::clearTestAircraft();
}
BENCHMARK(BM_MixedMotion500)->Iterations(kPasses)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Per aircraft per pass: one distance, one atan2 and a copy of eight doubles.
void BM_GroundMotionBaseline(benchmark::State& state) {
    std::vector<PositionBlock> blocks(kAircraft);
    std::vector<PositionBlock> sent(kAircraft);
    for (std::uint32_t i = 0; i < kAircraft; ++i) {
        blocks[i].latitude = 47.0 + i * 1e-4;
        blocks[i].longitude = 8.0 + i * 1e-4;
    }
    for (auto _ : state) {
        double sum = 0.0;
        for (std::uint32_t i = 0; i < kAircraft; ++i) {
            PositionBlock& b = blocks[i];
            sum += gf_greatCircleDistance({b.latitude, b.longitude}, {b.latitude + 1e-5, b.longitude});
            b.heading = std::atan2(b.latitude, b.longitude);
            sent[i] = b;
        }
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(sent.data());
    }
}
BENCHMARK(BM_GroundMotionBaseline)->Iterations(kPasses)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
