#pragma once
#include <exception>
#include <string>

#include <fmt/format.h>

namespace zeph {

// A condition the user must act on. The code lives only in the message: "{code}: {text}", or the text
// alone for code 99. Codes by throw site:
//   application shell          41, 151 (two sites), 153
//   simulator link             71, 73, 77, 78 (two sites), 81, 95
//   aircraft data and liveries 48, 51, 52, 53, 61, 243, 533, 999 (three sites)
//   airports and stands        42, 49, 65, 88, 93 (two sites), 94
class UserErrorException : public std::exception {
public:
    UserErrorException(int code, const std::string& text)
        : message_(code == 99 ? text : fmt::format("{}: {}", code, text)) {}

    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

} // namespace zeph
