#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wide_string.h"

namespace zeph {

// The registry, read only. Its content is a text file in the format regedit exports:
//   UTF-16LE with BOM, or UTF-8 with or without BOM; the "Windows Registry Editor Version 5.00" or "REGEDIT4"
//   header is optional; lines starting with ';' are comments; a binary (hex) value whose line ends in '\'
//   goes on on the next line.
//   [HKEY_LOCAL_MACHINE\Key] / [HKEY_CURRENT_USER\Key] (or HKLM / HKCU) opens a key and makes its parents
//   exist; [-HKEY_...\Key] deletes the key with everything below it.
//   "Name"="text" sets a string (escapes \\ and \"), @= the default value, "Name"=- deletes the value;
//   dword:, hex: and hex(n): values exist but are not strings.
// Key and value names compare without regard to ASCII letter case, and a trailing '\' of a key is ignored.
// A later definition wins. Whatever does not parse is skipped on its own; reading never throws or logs.
enum class RegHive { LocalMachine, CurrentUser };

// CORVANE_REGISTRY_FILE when it is an absolute path, else <config home>/corvane/registry.reg, where config
// home is $XDG_CONFIG_HOME, else $HOME/.config. Empty when there is no home either.
std::filesystem::path registryFilePath();

// Both read the file anew; a missing or unreadable file holds no keys.
bool regKeyExists(RegHive hive, std::string_view key);
// The string value without a terminating NUL; nullopt for a missing key or value or a value that is not a
// string. valueName "" is the key's default value.
std::optional<WideString> regGetString(RegHive hive, std::string_view key, std::string_view valueName);

// One statement of a registry file, in file order. Names are stored with ASCII letters upper-cased.
struct RegStatement {
    enum class Kind {
        OpenKey,     // name = key path below the hive
        DeleteKey,   // name = key path below the hive
        OtherKey,    // a header of another hive or one that does not parse: its values go nowhere
        SetString,   // name = value name, text = the string
        SetOther,    // name = value name of a value that is not a string
        DeleteValue, // name = value name
    };
    Kind kind = Kind::OtherKey;
    RegHive hive = RegHive::LocalMachine;
    std::string name;
    WideString text;
};

// The parsed file; answers the two questions by replaying its statements in order.
struct RegistryContent {
    std::vector<RegStatement> statements;

    bool keyExists(RegHive hive, std::string_view key) const;
    std::optional<WideString> getString(RegHive hive, std::string_view key, std::string_view valueName) const;
};

// Parses the bytes of a registry file in time linear in their length.
RegistryContent parseRegistryText(std::string_view bytes);

} // namespace zeph
