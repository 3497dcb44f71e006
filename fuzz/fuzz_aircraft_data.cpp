// The readers of the aircraft data: the first byte picks the dbase document, the AIG document or one line
// of a user regcode file for the rest. Any input gives tables, a logged fault or error 61, never a crash.
#include <cstddef>
#include <cstdint>
#include <list>
#include <string_view>

#include <pugixml.hpp>

#include "aircraft/dbase_reader.h"
#include "aircraft/regcodes.h"
#include "core/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    std::list<zeph::RegcodeLivery> out;
    pugi::xml_document doc;
    switch (data[0] % 3) {
    case 0:
        if (doc.load_buffer(rest.data(), rest.size())) {
            try {
                zeph::lf_readDbaseDocument(doc);
                zeph::lf_buildRegcodeIndex();
            } catch (const zeph::UserErrorException&) {
                // an empty required section: the user's error, reported at start-up
            }
        }
        break;
    case 1:
        if (doc.load_buffer(rest.data(), rest.size())) {
            zeph::lf_readAIGdocument(doc, out);
        }
        break;
    default:
        zeph::lf_parseRegcodeLine(rest, "fuzz.TXT", out);
        break;
    }
    return 0;
}
