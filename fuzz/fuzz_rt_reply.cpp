// RealTraffic's reply to the version question as it arrives over TCP: the input chooses how the bytes come
// in slices, then the peer closes. The gathering stops at one whole JSON value or at 16384 bytes, never
// holds more than its room, and whatever it hands on is read as a version reply without a crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>
#include <nlohmann/json.hpp>

#include "fuzz/fuzz_support.h"
#include "realtraffic/rt_server.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using zeph::fuzz::check;
    using State = zeph::ReplyGathering::State;
    FuzzedDataProvider input(data, size);
    // Repeating the bytes reaches the 16384-byte limit from a short input.
    const std::size_t repeats = 1 + input.ConsumeIntegralInRange<std::size_t>(0, 40) / 8 * 100;
    const std::size_t sliceSize = input.ConsumeIntegralInRange<std::size_t>(1, 4096);
    const std::string once = input.ConsumeRemainingBytesAsString();
    std::string bytes;
    for (std::size_t k = 0; k < repeats && bytes.size() < 40000; ++k) {
        bytes += once;
    }
    zeph::ReplyGathering gathering;
    State state = State::More;
    for (std::size_t at = 0; at < bytes.size() && state == State::More;) {
        const std::span<char> room = gathering.room();
        check(!room.empty());
        const std::size_t count = std::min({sliceSize, room.size(), bytes.size() - at});
        std::memcpy(room.data(), bytes.data() + at, count);
        at += count;
        state = gathering.took(count);
        check(bytes.compare(0, at, gathering.reply()) == 0);
    }
    check(gathering.count() <= 16384 && (state == State::Overrun) == (gathering.count() == 16384));
    check(state != State::Whole || nlohmann::json::accept(gathering.reply()));
    zeph::lf_processRTVersion(state == State::Overrun ? std::string{} : gathering.reply());
    return 0;
}
