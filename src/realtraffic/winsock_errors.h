#pragma once
#include <string>

namespace zeph {

// The text of a Windows socket error number: the number, one blank, then its description, or
// "Unknown errror code" for a number without one ("10061 Connection refused", "5 Unknown errror code").
std::string gf_winsockErrorText(int code);

} // namespace zeph
