#pragma once
#include <atomic>
#include <string_view>

namespace zeph {

inline constexpr std::string_view programId = "Corvane_P3D";
inline constexpr std::string_view programVersionText = "11.10.5";
inline constexpr std::string_view simulatorText = "Prepar3D v5/v6";
// Where users send what the program asks them to mail, such as tblo.zip.
inline constexpr std::string_view supportAddress = "support@corvane.example";
// The maker's downloads folder; a release sets the real host.
inline constexpr std::string_view kDownloadBaseUrl = "https://downloads.corvane.example/downloads/";

// 3 is Prepar3D; the XML meta header writes it and the start-up sets it again on every run.
inline std::atomic<int> simulatorKind{3};

} // namespace zeph
