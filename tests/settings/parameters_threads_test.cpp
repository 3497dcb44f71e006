#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "settings/parameter_table.h"
#include "settings/parameters_file.h"
#include "settings/parameters_fixture.h"
#include "support/parameters_files.h"

namespace zeph {
namespace {

using test::ParametersTest;

class ParametersFileThreads : public ParametersTest {};

TEST_F(ParametersFileThreads, SavesAndReadsAtTheSameTime) {
    constexpr int saves = 500;
    constexpr int reads = 50;
    gf_saveParameters(false);
    std::atomic<int> unparsable{0};
    {
        std::jthread left([] {
            for (int i = 1; i <= saves; ++i) {
                MAIN_WINDOW_X.set(i);
            }
        });
        std::jthread right([] {
            for (int i = 1; i <= saves; ++i) {
                BLOCK_CALLSIGN.set("CS" + std::to_string(i));
            }
        });
        std::jthread reader([&] {
            for (int i = 0; i < reads; ++i) {
                gf_readParameters();
                if (!test::parsesWithRoot(file())) {
                    ++unparsable;
                }
            }
        });
    }
    EXPECT_EQ(unparsable.load(), 0);
    const auto elements = test::fileElements(file());
    EXPECT_EQ(test::valuesOf(elements, "MAIN_WINDOW_X"), std::vector<std::string>{std::to_string(saves)});
    EXPECT_EQ(test::valuesOf(elements, "BLOCK_CALLSIGN"),
              std::vector<std::string>{"CS" + std::to_string(saves)});
    EXPECT_EQ(elements.size(), 65U);
    EXPECT_EQ(MAIN_WINDOW_X.get(), saves);
    EXPECT_EQ(BLOCK_CALLSIGN.get(), "CS" + std::to_string(saves));
}

TEST(ParametersValueThreads, StringsAreReadWhole) {
    constexpr int calls = 100000;
    const std::string first(200, 'a');
    const std::string second(200, 'b');
    StringParameter text("K", first);
    std::atomic<int> torn{0};
    auto work = [&](const std::string& mine) {
        for (int i = 0; i < calls; ++i) {
            if (i % 2 == 0) {
                text.setValue(mine);
            } else {
                const std::string seen = text.get();
                if (seen != first && seen != second) {
                    ++torn;
                }
            }
        }
    };
    {
        std::jthread one(work, std::cref(first));
        std::jthread two(work, std::cref(second));
    }
    EXPECT_EQ(torn.load(), 0);
}

TEST(ParametersValueThreads, NumbersAndFlagsWhileTheGuiWrites) {
    constexpr int calls = 100000;
    std::atomic<bool> outOfRange{false};
    {
        std::jthread writer([] {
            for (int i = 0; i < calls; ++i) {
                RANGE.setValue(i % 2 == 0 ? 2 : 100);
                WEEK.setValue(i % 2 == 0);
            }
        });
        std::jthread reader([&] {
            for (int i = 0; i < calls; ++i) {
                const std::int32_t range = RANGE.get();
                if (range != 2 && range != 100 && range != 40) {
                    outOfRange = true;
                }
                (void)WEEK.get();
            }
        });
    }
    EXPECT_FALSE(outOfRange.load());
}

} // namespace
} // namespace zeph
