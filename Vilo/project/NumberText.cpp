#include "project/NumberText.h"

#include <charconv>
#include <cmath>
#include <cctype>
#include <cstdlib>

namespace vilo {
namespace {

constexpr int kSignificantDigits = 15;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// sign? digits ("." digits?)? | sign? "." digits, then (e|E sign? digits)?
bool IsDecimalNumber(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t exponentDigits = 0;
        while (i < text.size() && IsDigit(text[i])) ++i, ++exponentDigits;
        if (exponentDigits == 0) return false;
    }
    return i == text.size();
}

// The significant digits (without trailing zeros) and the decimal exponent of the first.
void Digits(double magnitude, std::string &digits, int &exponent) {
    char buffer[64];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific,
                             kSignificantDigits - 1).ptr;
    std::string_view text(buffer, end - buffer);
    const auto e = text.find('e');
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(), exponent);
    digits.clear();
    for (char c : text.substr(0, e))
        if (IsDigit(c)) digits += c;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

}  // namespace

std::string FormatReal(double value) {
    if (value == 0) return "0";
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    std::string digits;
    int exponent = 0;
    Digits(std::fabs(value), digits, exponent);
    std::string text = value < 0 ? "-" : "";
    const bool fixed = exponent < kSignificantDigits && exponent >= -5;
    if (!fixed) {
        text += digits.substr(0, 1);
        if (digits.size() > 1) text += "." + digits.substr(1);
        return text + "E" + std::to_string(exponent);
    }
    if (exponent < 0) return text + "0." + std::string(-exponent - 1, '0') + digits;
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) return text + digits + std::string(whole - digits.size(), '0');
    return text + digits.substr(0, whole) + "." + digits.substr(whole);
}

std::string FormatFixed(double value, int decimals, int width) {
    char buffer[512];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals).ptr;
    std::string text(buffer, end);
    if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
    return text;
}

bool ParseReal(std::string_view text, double &value) {
    text = Trim(text);
    if (!IsDecimalNumber(text)) return false;
    if (text.front() == '+') text.remove_prefix(1);
    double parsed = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc{} || end != text.data() + text.size()) return false;  // also out of range
    value = parsed;
    return true;
}

bool ParseInt(std::string_view text, std::int32_t &value) {
    text = Trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return false;
    std::int32_t parsed = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc{} || end != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

bool ParseBool(std::string_view text, bool &value) {
    const std::string_view word = Trim(text);
    auto equalsIgnoringCase = [&](std::string_view expected) {
        if (word.size() != expected.size()) return false;
        for (std::size_t i = 0; i < word.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(word[i])) != expected[i]) return false;
        return true;
    };
    if (equalsIgnoringCase("true")) return value = true, true;
    if (equalsIgnoringCase("false")) return value = false, true;
    std::int32_t number = 0;
    if (!ParseInt(word, number)) return false;
    value = number != 0;
    return true;
}

}  // namespace vilo
