// The code page of files written by earlier, ANSI versions of the programs.
#include "platform/TextFile.h"

#include "platform/win32/WideText.h"

#include <windows.h>

namespace quillet::platform {

std::optional<std::string> CodePageBytesOf(const std::string& text) {
    std::string bytes;
    if (!win32::Utf8ToCodePage(text, CP_ACP, bytes))
        return std::nullopt;
    return bytes;
}

std::string TextOfCodePageBytes(std::string_view bytes) { return win32::CodePageToUtf8(bytes, CP_ACP); }

} // namespace quillet::platform
