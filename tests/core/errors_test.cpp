#include "core/errors.h"

#include <gtest/gtest.h>

namespace zeph {
namespace {

TEST(UserErrorException, MessageCarriesTheCodeExceptNinetyNine) {
    struct Case {
        int code;
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {99, "abc", "abc"}, {0, "abc", "0: abc"},     {41, "", "41: "},
        {-5, "x", "-5: x"}, {78, "a: b", "78: a: b"},
    };
    for (const auto& c : cases) {
        try {
            throw UserErrorException(c.code, c.text);
        } catch (const std::exception& e) {
            EXPECT_EQ(std::string(e.what()), c.message) << "code " << c.code;
        }
    }
}

TEST(UserErrorException, CopiesKeepTheirOwnMessage) {
    std::string text = "temporary";
    UserErrorException original(41, text);
    text = "changed";
    UserErrorException copy = original;
    EXPECT_STREQ(copy.what(), "41: temporary");
}

} // namespace
} // namespace zeph
