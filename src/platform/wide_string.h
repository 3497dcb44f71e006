#pragma once
#include <string>
#include <string_view>

namespace zeph {

// UTF-16 text as the Windows calls, controls and paths of the program know it; wchar_t is 32-bit here.
using WideString = std::u16string;
using WideStringView = std::u16string_view;

} // namespace zeph
