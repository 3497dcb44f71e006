// Feeds arbitrary bytes to the INI reader as the content of a SimConnect.cfg and checks what it gives back:
// valid UTF-8, never longer than the cut allows, and the same answer twice.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/ini.h"

namespace {

constexpr std::string_view kSections[] = {"SimConnect", "SimConnect.2", "simconnect", ""};
constexpr std::string_view kKeys[] = {"Protocol", "Address", "Port", "MaxReceiveSize", "DisableNagle", ""};

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::size_t utf16Units(std::string_view utf8) {
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80) {
            units += c >= 0xF0 ? 2 : 1;
        }
    }
    return units;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string text = zeph::decodeIniBytes(bytes);
    check(zeph::isValidUtf8(text));

    // The first byte picks the question and the last one the cut, so short limits are exercised as well as
    // the usual 2,047 without asking every question of every input.
    std::uint8_t pick = size > 0 ? data[0] : 0;
    std::string_view section = kSections[pick % std::size(kSections)];
    std::string_view key = kKeys[(pick / std::size(kSections)) % std::size(kKeys)];
    std::size_t maxChars = size > 0 ? data[size - 1] % 40 : 2047;

    bool exists = zeph::iniTextSectionExists(bytes, section);
    std::string value = zeph::iniTextGetString(bytes, section, key, maxChars);
    check(zeph::isValidUtf8(value));
    check(utf16Units(value) <= maxChars);
    check(value.empty() || exists);
    std::string full = zeph::iniTextGetString(bytes, section, key);
    check(utf16Units(full) <= 2047);
    check(full.compare(0, value.size(), value) == 0);
    return 0;
}
