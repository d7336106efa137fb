// Windows only: the one place where the programs' UTF-8 text meets the system's
// UTF-16. Every W call above this folder converts through these.
#pragma once

#include <string>
#include <string_view>

namespace quillet::platform::win32 {

// UTF-8 to UTF-16; bytes that are no UTF-8 become U+FFFD rather than vanishing.
std::wstring Wide(std::string_view utf8);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view wide);

// Edit controls want CRLF line ends, the models hold LF: these convert and change the
// line ends in one step ("\r\n" stays one line end either way).
std::wstring WideCrlf(std::string_view utf8);
std::string Utf8Lf(std::wstring_view wide);

// Text in a code page (CP_ACP for files written by ANSI programs) to UTF-8.
std::string CodePageToUtf8(std::string_view bytes, unsigned codePage);
// UTF-8 to the code page; false when a character has no
// exact counterpart there (no best-fit guesses, no "?").
bool Utf8ToCodePage(std::string_view utf8, unsigned codePage, std::string& bytes);

} // namespace quillet::platform::win32
