#include "sim/simconnect/connect.h"

#include <algorithm>
#include <limits>
#include <system_error>

#include "platform/codepage.h"
#include "platform/ini.h"
#include "platform/known_folders.h"
#include "platform/registry.h"
#include "platform/tcp_connect.h"
#include "sim/simconnect/transport.h"

namespace zeph {

namespace {

constexpr std::uint32_t kNoFilesIndex = 0xFFFFFFFFu;
constexpr const char* kRegistryKey = "SOFTWARE\\Lockheed Martin\\Prepar3D v5";
constexpr const char* kCfgFileName = "SimConnect.cfg";
// The registry value is read into 20 bytes of wide text: 9 characters and a terminator.
constexpr std::size_t kRegistryPortLimit = 9;

bool equalsAsciiNoCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// Keeps at most limit UTF-16 units of UTF-8 text, never splitting a character.
std::string keepChars(std::string text, std::size_t limit) {
    std::size_t units = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        auto lead = static_cast<unsigned char>(text[at]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::size_t needed = length == 4 ? 2 : 1;
        if (units + needed > limit) {
            text.resize(at);
            break;
        }
        units += needed;
        at += length;
    }
    return text;
}

void applyProtocol(std::string_view value, ConnectionSettings& settings) {
    if (equalsAsciiNoCase(value, "Auto") || equalsAsciiNoCase(value, "Pipe")) {
        settings.protocol = ScProtocol::Pipe;
        return;
    }
    bool ipv4 = equalsAsciiNoCase(value, "IPv4");
    bool ipv6 = equalsAsciiNoCase(value, "IPv6");
    if (!ipv4 && !ipv6) {
        return; // an unknown protocol leaves the choice as it was
    }
    settings.protocol = ipv4 ? ScProtocol::IPv4 : ScProtocol::IPv6;
    // A port set for another transport means nothing to TCP: take the registry's port of the family.
    if (!settings.port.empty()) {
        lf_readPortFromRegistry(ipv6, settings.port);
    }
}

bool isLocalServer(const std::string& address) { return address.empty() || address == "."; }

// One attempt: a fresh client, connected or closed again (with the close's waits). None at all once the stop
// is asked, so closing down does not wait for the closes of the attempts left in the chain.
SimConnectClient* attempt(TransportKind kind, TcpFamily family, const ConnectionSettings& settings,
                          const StopAsked& stopAsked) {
    if (isStopAsked(stopAsked)) {
        return nullptr;
    }
    SimConnectClient* client = lf_createClient(kind);
    if (lf_connectTransport(client->transport, family, settings.address, settings.port,
                            settings.maxReceiveSize, settings.disableNagle, stopAsked)) {
        lf_closeClient(client);
        return nullptr;
    }
    return client;
}

SimConnectClient* attemptPipe(const ConnectionSettings& settings, const StopAsked& stopAsked) {
    return attempt(TransportKind::Pipe, TcpFamily::IPv4, settings, stopAsked);
}

SimConnectClient* attemptTcp(TcpFamily family, const ConnectionSettings& settings,
                             const StopAsked& stopAsked) {
    return attempt(TransportKind::Tcp, family, settings, stopAsked);
}

// The chain of attempts; each failure either ends it or falls back to the next local way.
SimConnectClient* connectByChain(ConnectionSettings settings, const StopAsked& stopAsked) {
    ScProtocol step = settings.protocol;
    if (step == ScProtocol::Pipe) {
        if (auto* client = attemptPipe(settings, stopAsked)) {
            return client;
        }
        if (!isLocalServer(settings.address)) {
            return nullptr;
        }
        settings.address = "::1";
        lf_readPortFromRegistry(true, settings.port);
        step = ScProtocol::IPv6;
    }
    if (step == ScProtocol::IPv6) {
        if (socketLayerStartup() != 0) {
            return nullptr;
        }
        if (auto* client = attemptTcp(TcpFamily::IPv6, settings, stopAsked)) {
            return client;
        }
        if (settings.address != "::1") {
            return nullptr;
        }
        settings.address = "127.0.0.1";
        lf_readPortFromRegistry(false, settings.port);
    }
    if (socketLayerStartup() != 0) {
        return nullptr;
    }
    if (auto* client = attemptTcp(TcpFamily::IPv4, settings, stopAsked)) {
        return client;
    }
    if (settings.address != "127.0.0.1") {
        return nullptr;
    }
    settings.address = ".";
    settings.port.clear();
    return attemptPipe(settings, stopAsked);
}

} // namespace

std::string cfgSectionName(std::uint32_t configIndex) {
    return configIndex == 0 ? std::string("SimConnect") : "SimConnect." + std::to_string(configIndex);
}

std::vector<std::filesystem::path> cfgFilePlaces() {
    std::vector<std::filesystem::path> places;
    for (KnownFolder folder : {KnownFolder::PublicDocuments, KnownFolder::Documents}) {
        if (auto path = knownFolder(folder)) {
            places.push_back(*path / kCfgFileName);
        }
    }
    std::error_code error;
    auto current = std::filesystem::current_path(error);
    if (!error) {
        places.push_back(current / kCfgFileName);
    }
    return places;
}

std::uint32_t parseCfgNumber(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r'))) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t value = 0;
    bool saturated = false;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + static_cast<std::uint64_t>(text[at] - '0');
        if (value > kMax) {
            saturated = true;
            value = kMax;
        }
    }
    if (saturated) {
        return static_cast<std::uint32_t>(kMax);
    }
    auto result = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

int lf_cfgSectionExists(const std::filesystem::path& file, std::uint32_t configIndex) {
    return iniSectionExists(file, cfgSectionName(configIndex)) ? 0 : 3;
}

void lf_readCfgSection(const std::filesystem::path& file, std::uint32_t configIndex,
                       ConnectionSettings& settings) {
    std::string section = cfgSectionName(configIndex);
    if (std::string protocol = iniGetString(file, section, "Protocol"); !protocol.empty()) {
        applyProtocol(protocol, settings);
    }
    if (std::string address = iniGetString(file, section, "Address"); !address.empty()) {
        settings.address = keepChars(std::move(address), kSettingTextLimit);
    }
    if (std::string port = iniGetString(file, section, "Port"); !port.empty()) {
        settings.port = keepChars(std::move(port), kSettingTextLimit);
    }
    if (std::string limit = iniGetString(file, section, "MaxReceiveSize"); !limit.empty()) {
        settings.maxReceiveSize = std::max(settings.maxReceiveSize, parseCfgNumber(limit));
        settings.maxReceiveSize = std::min(settings.maxReceiveSize, scwire::kMaxReceiveLimit);
    }
    if (std::string nagle = iniGetString(file, section, "DisableNagle"); !nagle.empty()) {
        settings.disableNagle = parseCfgNumber(nagle) != 0;
    }
}

ConnectionSettings lf_loadConnectionSettings(std::uint32_t configIndex) {
    ConnectionSettings settings;
    if (configIndex == kNoFilesIndex) {
        return settings;
    }
    for (const auto& file : cfgFilePlaces()) {
        lf_readCfgSection(file, configIndex, settings);
    }
    return settings;
}

bool lf_readPortFromRegistry(bool ipv6, std::string& port) {
    port.clear();
    auto value = regGetString(RegHive::CurrentUser, kRegistryKey,
                              ipv6 ? "SimConnect_Port_IPv6" : "SimConnect_Port_IPv4");
    if (!value || value->size() > kRegistryPortLimit) {
        return false;
    }
    auto text = utf16ToUtf8(*value);
    if (!text) {
        return false;
    }
    port = std::move(*text);
    return true;
}

int lf_openClient(SimConnectClient** handle, std::uint32_t configIndex, const StopAsked& stopAsked) {
    if (handle == nullptr) {
        return 1;
    }
    *handle = nullptr;
    if (configIndex != 0 && configIndex != kNoFilesIndex) {
        auto places = cfgFilePlaces();
        bool found = std::any_of(places.begin(), places.end(), [&](const auto& file) {
            return lf_cfgSectionExists(file, configIndex) == 0;
        });
        if (!found) {
            return 3;
        }
    }
    SimConnectClient* client = connectByChain(lf_loadConnectionSettings(configIndex), stopAsked);
    if (client == nullptr) {
        return 1;
    }
    *handle = client;
    return 0;
}

} // namespace zeph
