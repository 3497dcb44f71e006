// Registry files are edited by hand: any bytes must parse without a crash, the statements must hold
// normalised names, a key listed last must exist with its parents, and a UTF-8 file must read exactly as
// the same text saved in UTF-16LE with BOM.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/registry.h"

namespace {

using zeph::RegStatement;

bool hasLowerAscii(std::string_view text) {
    return text.find_first_of("abcdefghijklmnopqrstuvwxyz") != text.npos;
}

void checkNames(const zeph::RegistryContent& content) {
    for (const auto& statement : content.statements) {
        if (hasLowerAscii(statement.name)) {
            __builtin_trap();
        }
        bool isKey =
            statement.kind == RegStatement::Kind::OpenKey || statement.kind == RegStatement::Kind::DeleteKey;
        if (isKey && !statement.name.empty() && statement.name.back() == '\\') {
            __builtin_trap();
        }
    }
}

void checkLastKey(const zeph::RegistryContent& content) {
    const RegStatement* last = nullptr;
    for (const auto& statement : content.statements) {
        if (statement.kind == RegStatement::Kind::OpenKey ||
            statement.kind == RegStatement::Kind::DeleteKey ||
            statement.kind == RegStatement::Kind::OtherKey) {
            last = &statement;
        }
    }
    if (last == nullptr || last->kind != RegStatement::Kind::OpenKey) {
        return;
    }
    std::string_view key = last->name;
    while (true) {
        if (!content.keyExists(last->hive, key)) {
            __builtin_trap();
        }
        auto slash = key.rfind('\\');
        if (slash == std::string_view::npos) {
            break;
        }
        key = key.substr(0, slash);
    }
}

bool sameStatements(const zeph::RegistryContent& a, const zeph::RegistryContent& b) {
    if (a.statements.size() != b.statements.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.statements.size(); ++k) {
        const auto& x = a.statements[k];
        const auto& y = b.statements[k];
        if (x.kind != y.kind || x.hive != y.hive || x.name != y.name || x.text != y.text) {
            return false;
        }
    }
    return true;
}

void checkUtf16Twin(std::string_view bytes, const zeph::RegistryContent& content) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    auto wide = zeph::utf8ToUtf16(bytes);
    if (!wide) {
        return;
    }
    std::string twin = "\xFF\xFE";
    for (char16_t unit : *wide) {
        twin.push_back(static_cast<char>(unit & 0xFF));
        twin.push_back(static_cast<char>(unit >> 8));
    }
    if (!sameStatements(content, zeph::parseRegistryText(twin))) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    zeph::RegistryContent content = zeph::parseRegistryText(bytes);
    checkNames(content);
    checkLastKey(content);
    if (bytes.substr(0, 2) != "\xFF\xFE") {
        checkUtf16Twin(bytes, content);
    }
    (void)content.getString(zeph::RegHive::LocalMachine, "SOFTWARE\\Lockheed Martin\\Prepar3D v6",
                            "SetupPath");
    (void)content.getString(zeph::RegHive::CurrentUser, "", "");
    return 0;
}
