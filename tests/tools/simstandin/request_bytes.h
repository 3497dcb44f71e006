#pragma once
// Request packets and message fields for the stand-in's tests, laid out by hand from the packet tables:
// sizes and packet ids are hex literals, every field sits at its written offset. Nothing here comes from the
// stand-in's own codec, so a misreading there cannot hide behind the same misreading here.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::test::sc {

// Header fields of every request: size at +0, protocol at +4, packet id at +8, send id at +12.
std::string packet(std::uint32_t size, std::uint32_t packetId, std::uint32_t sendId,
                   std::uint32_t protocol = 0x23);
void put32(std::string& bytes, std::size_t offset, std::uint32_t value);
void putF32(std::string& bytes, std::size_t offset, float value);
void putF64(std::string& bytes, std::size_t offset, double value);
void putText(std::string& bytes, std::size_t offset, std::string_view text);
std::string fromHex(std::string_view hex);
std::string toHex(std::string_view bytes);

std::uint32_t u32At(std::string_view bytes, std::size_t offset);
std::int64_t i64At(std::string_view bytes, std::size_t offset);
float f32At(std::string_view bytes, std::size_t offset);
double f64At(std::string_view bytes, std::size_t offset);
// The text of a field: up to its first NUL within `width`.
std::string textAt(std::string_view bytes, std::size_t offset, std::size_t width);

// Open: 296 bytes, packet 0xF0000001; alias at +276, version fields at +280..+292.
std::string open(std::uint32_t sendId, std::uint32_t protocol = 0x23, std::string_view name = "Corvane_P3D",
                 std::uint32_t alias = 0x50334400, std::vector<std::uint32_t> version = {5, 3, 0, 0});
std::string subscribe(std::uint32_t sendId, std::uint32_t eventId, std::string_view name);
std::string mapEvent(std::uint32_t sendId, std::uint32_t eventId, std::string_view name);
std::string transmit(std::uint32_t sendId, std::uint32_t objectId, std::uint32_t eventId, std::uint32_t data,
                     std::uint32_t group = 301, std::uint32_t flags = 0);
std::string addToGroup(std::uint32_t sendId, std::uint32_t group, std::uint32_t eventId);
std::string groupPriority(std::uint32_t sendId, std::uint32_t group, std::uint32_t priority);
std::string addDatum(std::uint32_t sendId, std::uint32_t defineId, std::string_view name,
                     std::string_view units, std::uint32_t type);
std::string requestData(std::uint32_t sendId, std::uint32_t requestId, std::uint32_t defineId,
                        std::uint32_t objectId, std::uint32_t period);
std::string requestByType(std::uint32_t sendId, std::uint32_t requestId, std::uint32_t defineId,
                          std::uint32_t radius, std::uint32_t objectType = 2);
std::string setData(std::uint32_t sendId, std::uint32_t defineId, std::uint32_t objectId, std::uint32_t count,
                    std::uint32_t unitSize, const std::string& data);
struct Init {
    double lat = 50.0335;
    double lon = 8.5710;
    double alt = 364.0;
    double pitch = 0.0;
    double bank = 0.0;
    double heading = 90.0;
    std::uint32_t onGround = 1;
    std::uint32_t airspeed = 0;
};
std::string aiCreate(std::uint32_t sendId, std::string_view title, std::string_view tail, const Init& init,
                     std::uint32_t requestId = 104);
std::string aiRelease(std::uint32_t sendId, std::uint32_t objectId, std::uint32_t requestId = 103);
std::string aiRemove(std::uint32_t sendId, std::uint32_t objectId, std::uint32_t requestId = 105);
std::string flightPlan(std::uint32_t sendId, std::uint32_t objectId, std::string_view path,
                       std::uint32_t requestId = 110);

// The program's whole set-up after the Open: six subscriptions, 33 datums, 17 mappings, 16 group additions
// and the priority, in the program's order, with send ids from `firstSendId` on.
std::vector<std::string> programSetup(std::uint32_t firstSendId);

} // namespace zeph::test::sc
