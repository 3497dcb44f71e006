#include "realtraffic/winsock_errors.h"

#include <cctype>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace zeph {
namespace {

constexpr std::string_view kUnknown = "Unknown errror code";

TEST(WinsockErrors, FixedRowsReadExactly) {
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {10004, "10004 Interrupted system call"},
        {10009, "10009 Bad file number"},
        {10024, "10024 Too many open sockets"},
        {10035, "10035 Operation would block"},
        {10038, "10038 Socket operation on non-socket"},
        {10040, "10040 Messenger too long"},
        {10048, "10048 Address already in use"},
        {10049, "10049 Can't assign requested address"},
        {10052, "10052 Net connection reset"},
        {10054, "10054 Connection reset by peer"},
        {10058, "10058 Can't send numLines socket shutdown"},
        {10059, "10059 Too many references, can't splice"},
        {10060, "10060 Connection timed out"},
        {10061, "10061 Connection refused"},
        {10070, "10070 Stale NFS file handle"},
        {10091, "10091 Network system is unavailable"},
        {10092, "10092 Winsock version out of range"},
        {10093, "10093 WSAStartup not yet called"},
        {10101, "10101 Graceful shutdown in progress"},
        {11001, "11001 Host not found"},
        {11004, "11004 No host data of that type was found"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gf_winsockErrorText(c.code), c.text) << "code " << c.code;
    }
}

TEST(WinsockErrors, ExactlyTheListedCodesHaveATextInTheShortStyle) {
    std::set<int> listed = {10004, 10009, 10013, 10014, 10022, 10024,
                            10091, 10092, 10093, 10101, 11001, 11004};
    for (int code = 10035; code <= 10071; ++code) {
        listed.insert(code);
    }
    ASSERT_EQ(listed.size(), 49u);
    // Every code near the table, so a shifted or missing row shows.
    for (int code = 9990; code <= 11010; ++code) {
        const std::string text = gf_winsockErrorText(code);
        const std::string prefix = std::to_string(code) + " ";
        ASSERT_EQ(text.rfind(prefix, 0), 0u) << text;
        const std::string description = text.substr(prefix.size());
        if (listed.contains(code)) {
            EXPECT_NE(description, kUnknown) << "code " << code;
            EXPECT_FALSE(description.empty()) << "code " << code;
            EXPECT_LE(description.size(), 50u) << "code " << code;
            EXPECT_TRUE(description.back() != '.' && std::isupper(static_cast<unsigned char>(description[0])))
                << "code " << code << ": " << description;
        } else {
            EXPECT_EQ(description, kUnknown) << "code " << code;
        }
    }
}

TEST(WinsockErrors, CodesWithoutATextAreUnknown) {
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {0, "0 Unknown errror code"},         {5, "5 Unknown errror code"},
        {10034, "10034 Unknown errror code"}, {10072, "10072 Unknown errror code"},
        {10109, "10109 Unknown errror code"}, {-1, "-1 Unknown errror code"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gf_winsockErrorText(c.code), c.text) << "code " << c.code;
    }
}

} // namespace
} // namespace zeph
