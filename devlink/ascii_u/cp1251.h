// The library's own texts are written in UTF-8 in the sources and delivered in Windows-1251.
#pragma once

#include <string>
#include <string_view>

namespace devlink {

// Converts UTF-8 text made of ASCII and Russian letters to Windows-1251; any other
// character becomes '?'.
std::string ToCp1251(std::string_view utf8);

}  // namespace devlink
