// Text replacement, as EX_Split and the list extractions use it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace devlink {

// Longest result of the repeated replacement, and the most replacements it may take.
inline constexpr std::size_t kReplaceResultMax = 65535;
inline constexpr std::size_t kReplaceStepsMax = std::size_t{1} << 30;

// Repeats "replace the first occurrence, counted from the beginning" until there is none.
// Equal pattern and replacement, or an empty pattern, give the source. Where that would
// not end, would grow past kReplaceResultMax characters or take more than kReplaceStepsMax
// replacements, every occurrence in the source is replaced in one left-to-right pass.
std::string ReplaceRepeatedly(std::string_view source, std::string_view pattern, std::string_view replacement);

// Every occurrence replaced once, left to right, without looking at replaced text again.
std::string ReplaceOnePass(std::string_view source, std::string_view pattern, std::string_view replacement);

// The lines of a text as a string list takes them: every CR ends a line, a last piece
// without CR is a line, and the empty text has none.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace devlink
