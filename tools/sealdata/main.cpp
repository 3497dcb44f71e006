// sealdata [--key-hex HEX64] [--no-final] [--flip-byte N] [--truncate-to N] [--append-garbage N]
//          <plain.xml> <out.enc>
// Seals a plain data file with the program's key (or the given one). Exit 0, or 2 with a message.
#include <array>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "aircraft/data_file_key.h"
#include "sealdata/seal_file.h"

namespace {

using zeph::sealdata::SealFaults;

std::array<unsigned char, 32> keyFromHex(const std::string& hex) {
    if (hex.size() != 64 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        throw std::invalid_argument("--key-hex needs 64 hex digits");
    }
    std::array<unsigned char, 32> key{};
    for (std::size_t k = 0; k < key.size(); ++k) {
        key[k] = static_cast<unsigned char>(std::stoul(hex.substr(2 * k, 2), nullptr, 16));
    }
    return key;
}

std::size_t count(const std::string& option, const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        throw std::invalid_argument(option + " needs a number");
    }
    return std::stoul(text);
}

int run(const std::vector<std::string>& args) {
    std::array<unsigned char, 32> key = zeph::gf_dataFileKey();
    SealFaults faults;
    std::vector<std::string> files;
    for (std::size_t k = 0; k < args.size(); ++k) {
        const std::string& arg = args[k];
        auto value = [&]() -> const std::string& {
            if (k + 1 >= args.size()) {
                throw std::invalid_argument(arg + " needs a value");
            }
            return args[++k];
        };
        if (arg == "--key-hex") {
            key = keyFromHex(value());
        } else if (arg == "--no-final") {
            faults.noFinal = true;
        } else if (arg == "--flip-byte") {
            faults.flipByte = count(arg, value());
        } else if (arg == "--truncate-to") {
            faults.truncateTo = count(arg, value());
        } else if (arg == "--append-garbage") {
            faults.appendGarbage = count(arg, value());
        } else if (arg.starts_with("--")) {
            throw std::invalid_argument("unknown option " + arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        throw std::invalid_argument("usage: sealdata [options] <plain.xml> <out.enc>");
    }
    if (!zeph::sealdata::sealFile(files[0], files[1], key, faults)) {
        throw std::runtime_error("could not seal " + files[0] + " into " + files[1]);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "sealdata: %s\n", error.what());
        return 2;
    }
}
