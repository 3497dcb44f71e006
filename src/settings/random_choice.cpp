#include "settings/random_choice.h"

#include "core/random.h"
#include "settings/parameter_table.h"

namespace zeph {

std::uint64_t gf_randomIndex(std::int64_t n) {
    if (!RANDOM.get() || n < 2) {
        return 0;
    }
    const std::uint64_t draw = randomEngine()();
    return draw % static_cast<std::uint64_t>(n);
}

bool randomChoicesOn() { return RANDOM.get(); }

} // namespace zeph
