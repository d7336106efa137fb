#include "platform/win32/WideText.h"

#include <windows.h>

namespace quillet::platform::win32 {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
    return wide;
}

std::string Utf8(std::wstring_view wide) {
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::wstring WideCrlf(std::string_view utf8) {
    const std::wstring wide = Wide(utf8);
    std::wstring out;
    out.reserve(wide.size() + wide.size() / 16);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        if (wide[i] == L'\n' && (i == 0 || wide[i - 1] != L'\r'))
            out += L'\r';
        out += wide[i];
    }
    return out;
}

std::string Utf8Lf(std::wstring_view wide) {
    std::wstring plain;
    plain.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i)
        if (!(wide[i] == L'\r' && i + 1 < wide.size() && wide[i + 1] == L'\n'))
            plain += wide[i];
    return Utf8(plain);
}

std::string CodePageToUtf8(std::string_view bytes, unsigned codePage) {
    if (bytes.empty())
        return {};
    const int size = static_cast<int>(bytes.size());
    const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), size, wide.data(), n);
    return Utf8(wide);
}

bool Utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string& bytes) {
    bytes.clear();
    const std::wstring wide = Wide(utf8);
    if (wide.empty())
        return true;
    const int size = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    // UTF-7/8 accept no default-character flag; the others must not guess a best fit.
    const bool unicodePage = codePage == CP_UTF8 || codePage == CP_UTF7;
    const DWORD flags = unicodePage ? 0 : WC_NO_BEST_FIT_CHARS;
    const int n = ::WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0, nullptr,
                                        unicodePage ? nullptr : &lossy);
    if (n <= 0 || lossy)
        return false;
    bytes.resize(static_cast<std::size_t>(n));
    ::WideCharToMultiByte(codePage, flags, wide.data(), size, bytes.data(), n, nullptr, nullptr);
    return true;
}

} // namespace quillet::platform::win32
