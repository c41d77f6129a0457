// Numbers as texts and back, always with "." as the decimal separator whatever the locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vilo {

// The shortest decimal form with at most 15 significant digits: fixed notation when the
// value has at most 15 digits before the point and a magnitude of at least 0.00001 (or is
// zero), otherwise the digits, "E" and the exponent, signed only when negative:
// 0.1, 100000, -2.5, 1E-6, 1.5E20, 0.100000001490116.
std::string FormatReal(double value);

// Fixed-point with the given decimals, right-aligned in a field of the given width by
// leading blanks; a longer text is not cut: "   23.4567", "-1000000.0000".
std::string FormatFixed(double value, int decimals, int width);

// A decimal number: optional sign, digits with an optional "." and fraction, optional
// exponent; blanks before and after are allowed. Anything else fails.
bool ParseReal(std::string_view text, double &value);

// A decimal integer: optional sign and digits within 32 bits; blanks around are allowed.
bool ParseInt(std::string_view text, std::int32_t &value);

// A number (true when not zero) or the words True / False in any letter case.
bool ParseBool(std::string_view text, bool &value);

}  // namespace vilo
