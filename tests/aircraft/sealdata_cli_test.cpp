#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include "aircraft/data_file_crypto.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

using SealdataCli = test::LogFixture;

TEST_F(SealdataCli, ExitCodesAndWhatTheProgramOpens) {
    struct Case {
        const char* name;
        std::string options;
        int exitCode;
        bool opens;
    };
    const std::vector<Case> cases = {
        {"default key", "", 0, true},
        {"no final chunk", "--no-final", 0, false},
        {"other key", "--key-hex " + std::string(64, 'a'), 0, false},
        {"key too short", "--key-hex abcd", 2, false},
        {"unknown option", "--frobnicate", 2, false},
    };
    test::writeFileBytes(dir() / "plain.xml", "<root/>");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir() / "out.enc");
        const std::string command =
            std::string(SEALDATA_BIN) + " " + c.options + " plain.xml out.enc 2>err.txt";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.exitCode);
        EXPECT_EQ(test::readFileBytes(dir() / "err.txt").starts_with("sealdata: "), c.exitCode == 2);
        EXPECT_EQ(gf_streamDecrypt("out.enc", "out.xml"), c.opens);
        EXPECT_EQ(std::filesystem::exists(dir() / "out.xml"), c.opens);
    }
}

} // namespace
} // namespace zeph
