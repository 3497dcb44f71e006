#include "realtraffic/input_log_limit.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zeph {
namespace {

using namespace std::chrono_literals;

// A clock the test moves by hand.
struct ManualClock {
    InputLogLimit::TimePoint now{};
    InputLogLimit::Clock function() {
        return [this] { return now; };
    }
};

// Feeds n error lines and returns what would reach the log: "line" for each admitted line, preceded by any
// held-back count.
std::vector<std::string> feed(InputLogLimit& limit, int n) {
    std::vector<std::string> written;
    for (int k = 0; k < n; ++k) {
        const auto admission = limit.admit();
        if (admission.heldBack) {
            written.push_back(*admission.heldBack);
        }
        if (admission.write) {
            written.push_back("line");
        }
    }
    return written;
}

TEST(InputLogLimit, TwentyLinesAWindowThenTheCountBeforeTheNextLine) {
    ManualClock clock;
    InputLogLimit limit("Traffic Reader", clock.function());

    EXPECT_EQ(feed(limit, 25), std::vector<std::string>(20, "line"));
    EXPECT_EQ(limit.heldBackCount(), 5);

    clock.now += 59s;
    EXPECT_TRUE(feed(limit, 1).empty()) << "still the first window";

    clock.now += 1s;
    const std::vector<std::string> expected = {"Traffic Reader: 6 error lines not logged", "line"};
    EXPECT_EQ(feed(limit, 1), expected);
    EXPECT_EQ(limit.heldBackCount(), 0);
    EXPECT_EQ(feed(limit, 19), std::vector<std::string>(19, "line")) << "the new window has room for 19 more";
    EXPECT_TRUE(feed(limit, 1).empty());
}

TEST(InputLogLimit, AQuietWindowWritesEveryLineAndNoCount) {
    ManualClock clock;
    InputLogLimit limit("QNH Reader", clock.function());
    for (int minute = 0; minute < 5; ++minute) {
        EXPECT_EQ(feed(limit, 20), std::vector<std::string>(20, "line")) << "minute " << minute;
        clock.now += 60s;
    }
    EXPECT_EQ(limit.takeHeldBack(), std::nullopt);
}

TEST(InputLogLimit, TheStopTakesTheCountOnce) {
    ManualClock clock;
    InputLogLimit limit("QNH Reader", clock.function());
    feed(limit, 23);
    EXPECT_EQ(limit.takeHeldBack(), "QNH Reader: 3 error lines not logged");
    EXPECT_EQ(limit.takeHeldBack(), std::nullopt);
}

TEST(InputLogLimit, EscapesControlBytesAndCutsLongInput) {
    const std::string nul("a\0b", 3);
    const struct {
        std::string name;
        std::string input;
        std::string expected;
    } cases[] = {
        {"plain", "T,4735190,52.3", "T,4735190,52.3"},
        {"line feed", "3500\n==> forged", "3500\\x0a==> forged"},
        {"carriage return and tab", "\r\t", "\\x0d\\x09"},
        {"nul", nul, "a\\x00b"},
        {"delete", "\x7f", "\\x7f"},
        {"unit separator", "\x1f", "\\x1f"},
        {"blank and tilde pass", " ~", " ~"},
        {"high bytes pass", "\xc3\xa9\xff", "\xc3\xa9\xff"},
        {"512 bytes stay whole", std::string(512, 'x'), std::string(512, 'x')},
        {"513 bytes are cut", std::string(513, 'x'), std::string(512, 'x') + "..."},
        {"escapes count as one byte each", std::string(600, '\n'),
         [] {
             std::string s;
             for (int k = 0; k < 512; ++k)
                 s += "\\x0a";
             return s + "...";
         }()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(escapeOutsideBytes(c.input), c.expected) << c.name;
    }
}

} // namespace
} // namespace zeph
