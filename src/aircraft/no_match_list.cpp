#include "aircraft/no_match_list.h"

#include "state/seam_trace.h"

namespace zeph {

std::unordered_set<std::string> noMatchList;

void gf_clearNoMatchList() { noMatchList.clear(); }

void gf_printNoMatchList() { noteSeamCall("gf_printNoMatchList"); }

void gf_writeMatchingSummary() { noteSeamCall("gf_writeMatchingSummary"); }

} // namespace zeph
