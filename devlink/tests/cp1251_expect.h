// Expected texts for the tests, turned into Windows-1251 by the C library's iconv, so that
// the library's own conversion is checked against an independent one.
#pragma once

#include <iconv.h>

#include <stdexcept>
#include <string>
#include <string_view>

inline std::string Cp1251(std::string_view utf8) {
    iconv_t cd = iconv_open("CP1251", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no CP1251");
    std::string in(utf8), out(utf8.size() + 1, '\0');
    char *src = in.data(), *dst = out.data();
    std::size_t left = in.size(), room = out.size();
    const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) throw std::runtime_error("not convertible: " + in);
    out.resize(out.size() - room);
    return out;
}
