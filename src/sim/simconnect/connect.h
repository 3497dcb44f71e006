#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "sim/simconnect/client.h"

// Where a SimConnect connection goes: the settings of the SimConnect.cfg files and the registry ports, and
// the chain of attempts (pipe, IPv6, IPv4, pipe) that ends in a connected client or none.

namespace zeph {

enum class ScProtocol { Pipe, IPv4, IPv6 };

struct ConnectionSettings {
    ScProtocol protocol = ScProtocol::Pipe;
    std::string address; // pipe: server name; TCP: host
    std::string port;    // pipe: pipe name; TCP: port number as text
    std::uint32_t maxReceiveSize = scwire::kDefaultMaxReceiveSize;
    bool disableNagle = false;
};

// Address and port keep at most this many characters.
inline constexpr std::size_t kSettingTextLimit = 1023;

// 0 connected (*handle holds the new client), 1 not connected, 3 the section of a configuration index other
// than 0 and 0xFFFFFFFF is in none of the SimConnect.cfg files. *handle is null unless the result is 0.
// Once stopAsked says yes, the attempt under way gives up and no further one is made: the result is 1.
int lf_openClient(SimConnectClient** handle, std::uint32_t configIndex, const StopAsked& stopAsked = {});

// "SimConnect" for index 0, "SimConnect.<index>" for any other.
std::string cfgSectionName(std::uint32_t configIndex);
// SimConnect.cfg in Public Documents, Documents and the current folder, in that order (a place that cannot
// be found is left out).
std::vector<std::filesystem::path> cfgFilePlaces();

// 0 when the file's section has at least one entry, 3 otherwise.
int lf_cfgSectionExists(const std::filesystem::path& file, std::uint32_t configIndex);
// Applies one file's section to the settings, key by key; a missing file, section or key, or an empty value,
// changes nothing.
void lf_readCfgSection(const std::filesystem::path& file, std::uint32_t configIndex,
                       ConnectionSettings& settings);
// The defaults with every SimConnect.cfg applied in order; 0xFFFFFFFF reads no file.
ConnectionSettings lf_loadConnectionSettings(std::uint32_t configIndex);

// The port of that family from the registry. true when a value of at most 9 characters was read; otherwise
// false with an empty port.
bool lf_readPortFromRegistry(bool ipv6, std::string& port);

// An unsigned decimal as the system's wide-text conversion reads it: leading blanks, an optional sign (a
// minus negates modulo 2^32), digits that saturate at 0xFFFFFFFF; no digits gives 0.
std::uint32_t parseCfgNumber(std::string_view text);

} // namespace zeph
