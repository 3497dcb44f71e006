// SimConnect.cfg as the connection set-up reads it: any bytes give settings within their limits for any
// section, never a crash. The protocol is one of the three, address and port keep at most 1023 characters,
// the receive limit stays between the default and the largest, and a section that counts as missing
// changes nothing.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_support.h"
#include "platform/ini.h"
#include "sim/simconnect/connect.h"

namespace {

std::size_t characters(const std::string& text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

void checkSettings(const zeph::ConnectionSettings& settings) {
    using zeph::fuzz::check;
    check(settings.protocol == zeph::ScProtocol::Pipe || settings.protocol == zeph::ScProtocol::IPv4 ||
          settings.protocol == zeph::ScProtocol::IPv6);
    check(characters(settings.address) <= zeph::kSettingTextLimit);
    check(characters(settings.port) <= zeph::kSettingTextLimit);
    check(settings.maxReceiveSize >= zeph::scwire::kDefaultMaxReceiveSize &&
          settings.maxReceiveSize <= zeph::scwire::kMaxReceiveLimit);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zeph::fuzz::InOwnFolder inFolder("fuzz_simconnect_cfg");
    FuzzedDataProvider input(data, size);
    const std::uint32_t chosen = input.ConsumeIntegralInRange<std::uint32_t>(0, 3);
    const std::string text = input.ConsumeRemainingBytesAsString();
    const std::filesystem::path file = "SimConnect.cfg";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text;
    }
    for (const std::uint32_t index : {0U, chosen, 0xFFFFFFFFU}) {
        zeph::ConnectionSettings settings;
        zeph::lf_readCfgSection(file, index, settings);
        checkSettings(settings);
        if (zeph::lf_cfgSectionExists(file, index) != 0) {
            const zeph::ConnectionSettings untouched;
            zeph::fuzz::check(settings.address == untouched.address && settings.port == untouched.port &&
                              settings.protocol == untouched.protocol &&
                              settings.maxReceiveSize == untouched.maxReceiveSize);
        }
    }
    (void)zeph::parseCfgNumber(text);
    return 0;
}
