#include "airports/closest_stand.h"

namespace zeph {

namespace {
constexpr double kNoStandNm = 100.0;
}

double gf_readDestApfForClosestStand(const std::string& /*code*/, GeoPoint /*position*/, std::string& /*standId*/) {
    return kNoStandNm;
}

} // namespace zeph
