// Expected texts for the tests, turned into Windows-1251 by the C library's iconv (on Windows:
// by the system's code page conversion), so that the library's own conversion is checked
// against an independent one.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#ifdef _WIN32
#include <windows.h>

inline std::string Cp1251(std::string_view utf8) {
    const std::string in(utf8);
    if (in.empty()) return {};
    const int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(), static_cast<int>(in.size()), nullptr, 0);
    if (wide <= 0) throw std::runtime_error("not UTF-8: " + in);
    std::wstring text(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, in.data(), static_cast<int>(in.size()), text.data(), wide);
    BOOL lost = FALSE;
    const int size = WideCharToMultiByte(1251, WC_NO_BEST_FIT_CHARS, text.data(), wide, nullptr, 0, nullptr, &lost);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(1251, WC_NO_BEST_FIT_CHARS, text.data(), wide, out.data(), size, nullptr, &lost);
    if (size <= 0 || lost) throw std::runtime_error("not convertible: " + in);
    return out;
}
#else
#include <iconv.h>

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
#endif
