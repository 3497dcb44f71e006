// RealTraffic's answer to the version question: whatever comes back, the reader ends normally, the edition
// is professional only for an object with level 2, and the version text is empty or names the edition.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "realtraffic/rt_server.h"
#include "state/main_window_state.h"
#include "state/run_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zeph;
    // A longer reply never reaches the reader: the receive gives it up as an overrun.
    if (size >= 16384) {
        return 0;
    }
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    lf_processRTVersion(reply);
    const std::string text = mainWindowState.displayTexts().realTrafficVersionText;
    const bool professional = rtProfessional.load();
    const bool named = text.starts_with(professional ? "RT prof edition: " : "RT stnd edition: ");
    if (!(named || (text.empty() && !professional))) {
        std::abort();
    }
    if (professional && reply.find('{') == std::string_view::npos) {
        std::abort();
    }
    return 0;
}
