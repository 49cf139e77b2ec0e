// The program's name and version: the main window's title, the first line of
// the About box, the report's CREATED-BY line and the answer to --version.
// The build's project version (CMakeLists.txt) is the same number.
#pragma once

inline constexpr char kProductName[] = "Corvane";
inline constexpr char kVersionText[] = "7.0";
inline constexpr char kTitleText[] = "Corvane v7.0";  // name, " v", version
