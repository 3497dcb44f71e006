// XML meta headers of files from disk: any document that pugixml loads gives a header or none, never a
// crash, and a header accepted without the relaxed flag is the same with it.
#include <cstddef>
#include <cstdint>

#include <pugixml.hpp>

#include "core/xml_meta.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pugi::xml_document document;
    if (!document.load_buffer(data, size)) {
        return 0;
    }
    auto strict = zeph::gf_readMeta(document, false);
    auto relaxed = zeph::gf_readMeta(document, true);
    if (strict && (!relaxed || !(*strict == *relaxed))) {
        __builtin_trap();
    }
    return 0;
}
