// SIM ON GROUND of an AI object follows its height: on the ground up to its static CG plus a foot.
#include <gtest/gtest.h>

#include "simstandin/simvars.h"

namespace zeph::test {
namespace {

using standin::ObjectKind;

TEST(StandinOnGround, AiObjectsReportItFromTheirHeight) {
    struct Case {
        const char* name;
        ObjectKind kind;
        double alt;
        double staticCg;
        bool given; // the state the object was made or set with
        bool expected;
    };
    const double ground = 364.0;
    const std::vector<Case> cases = {
        {"resting on its wheels", ObjectKind::Ai, 364.0 + 8.5, 8.5, false, true},
        {"a foot above that", ObjectKind::Ai, 364.0 + 9.5, 8.5, false, true},
        {"just beyond the foot", ObjectKind::Ai, 364.0 + 9.6, 8.5, true, false},
        {"climbing out", ObjectKind::Ai, 900.0, 8.5, true, false},
        {"below the ground", ObjectKind::Ai, 300.0, 8.5, false, true},
        {"a tall aircraft's CG", ObjectKind::Ai, 364.0 + 20.0, 19.5, false, true},
        {"the user keeps its state", ObjectKind::User, 3000.0, 8.5, true, true},
        {"traffic keeps its state", ObjectKind::Traffic, 364.0, 8.5, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        standin::SimObject object;
        object.kind = c.kind;
        object.alt = c.alt;
        object.staticCgFeet = c.staticCg;
        object.onGround = c.given;
        EXPECT_EQ(standin::reportsOnGround(object, ground), c.expected);
        EXPECT_EQ(standin::readVar(standin::VarId::SimOnGround, object, {ground, 0}), c.expected ? 1.0 : 0.0);
    }
}

} // namespace
} // namespace zeph::test
