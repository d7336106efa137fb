#include "platform/TextFile.h"

#include "platform/Files.h"

#include <cstdint>

namespace quillet::platform {

bool HasUtf8Mark(std::string_view bytes) { return bytes.substr(0, Utf8Mark.size()) == Utf8Mark; }

bool IsValidUtf8(std::string_view bytes) {
    const std::size_t n = bytes.size();
    for (std::size_t i = 0; i < n;) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        const std::size_t len = b0 >= 0xC2 && b0 < 0xE0 ? 2 : b0 >= 0xE0 && b0 < 0xF0 ? 3 : b0 >= 0xF0 && b0 < 0xF5 ? 4 : 0;
        if (len == 0 || i + len > n)
            return false;
        std::uint32_t cp = b0 & (0x7F >> len);
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            if ((b & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (b & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode are no characters.
        if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000))) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += len;
    }
    return true;
}

std::string TextOfFileBytes(std::string_view bytes, bool marked) {
    if (marked || IsValidUtf8(bytes))
        return std::string(bytes);
    return TextOfCodePageBytes(bytes);
}

std::string TextOfFileBytes(std::string_view bytes) {
    if (HasUtf8Mark(bytes))
        return std::string(bytes.substr(Utf8Mark.size()));
    return TextOfFileBytes(bytes, false);
}

std::string FileBytesOfText(const std::string& text, bool marked) {
    if (!marked)
        if (auto plain = CodePageBytesOf(text); plain && (*plain == text || !IsValidUtf8(*plain)))
            return *plain;
    return std::string(Utf8Mark) + text;
}

bool ReadTextFile(const std::string& path, std::string& text) {
    std::string bytes;
    const bool read = ReadWholeFile(path, bytes);
    text = read ? TextOfFileBytes(bytes) : std::string();
    return read;
}

bool ReplaceTextFile(const std::string& path, const std::string& text) {
    std::string old;
    ReadWholeFile(path, old);
    // A UTF-8 file without the mark (from Linux, say) stays one as well.
    const bool plainUtf8 = !HasUtf8Mark(old) && IsValidUtf8(old) && CodePageBytesOf(old) != old;
    return ReplaceFileContent(path, plainUtf8 ? text : FileBytesOfText(text, HasUtf8Mark(old)));
}

bool CreateNewTextFile(const std::string& path, const std::string& text) {
    return CreateNewFile(path, FileBytesOfText(text));
}

} // namespace quillet::platform
