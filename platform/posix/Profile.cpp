// INI files with the observable rules of the Windows profile functions: the file is
// reread for every call and written back whole through a temporary file.
#include "platform/Profile.h"

#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cctype>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace quillet::platform {
namespace {

// Inside a profile file only these count as blanks around names and values.
bool IsProfileBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

std::string_view TrimProfile(std::string_view s) {
    while (!s.empty() && IsProfileBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsProfileBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Names passed by the caller lose their spaces only, not tabs or other blanks.
std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

struct Line {
    std::size_t begin = 0;   // offset of the line's text
    std::size_t end = 0;     // offset just past the text
    std::size_t next = 0;    // offset just past the line end
    enum Kind { Empty, Comment, Section, Key, Other } kind = Empty;
    std::string_view name;   // section or key name
    std::string_view value;  // key value, before quote removal
};

std::vector<Line> ParseLines(const std::string& text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    const std::size_t n = text.size();
    while (pos < n) {
        Line line;
        line.begin = pos;
        std::size_t e = pos;
        while (e < n && text[e] != '\r' && text[e] != '\n')
            ++e;
        line.end = e;
        if (e < n && text[e] == '\r' && e + 1 < n && text[e + 1] == '\n')
            line.next = e + 2;
        else
            line.next = e < n ? e + 1 : e;
        pos = line.next;

        const std::string_view t = TrimProfile(std::string_view(text).substr(line.begin, line.end - line.begin));
        if (t.empty()) {
            line.kind = Line::Empty;
        } else if (t.front() == ';') {
            line.kind = Line::Comment;
        } else if (t.front() == '[') {
            // The first "]" ends the name; a missing one still opens the section.
            std::string_view name = t.substr(1);
            name = name.substr(0, name.find(']'));
            line.kind = Line::Section;
            line.name = TrimProfile(name);
        } else if (const auto eq = t.find('='); eq != std::string_view::npos) {
            line.kind = Line::Key;
            line.name = TrimProfile(t.substr(0, eq));
            line.value = TrimProfile(t.substr(eq + 1));
        } else {
            line.kind = Line::Other;
            line.name = t;
        }
        lines.push_back(line);
    }
    return lines;
}

// Index range [first, last) of the lines inside the first section of that name, or
// nothing. Lines before any header belong to no section.
struct SectionRange {
    std::size_t header;
    std::size_t last;
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, std::string_view section) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Section || !SameName(lines[i].name, section))
            continue;
        std::size_t j = i + 1;
        while (j < lines.size() && lines[j].kind != Line::Section)
            ++j;
        return SectionRange{i, j};
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const std::vector<Line>& lines, const SectionRange& range, std::string_view key) {
    if (!key.empty() && key.front() == ';')
        return std::nullopt; // a comment is never a key
    for (std::size_t i = range.header + 1; i < range.last; ++i)
        if (lines[i].kind == Line::Key && SameName(lines[i].name, key))
            return i;
    return std::nullopt;
}

// A file that begins with the UTF-16LE byte order mark is a Unicode file to Windows:
// it is read in that encoding and written back in it. Its text reaches callers as
// this system's 8-bit text, UTF-8. A lone surrogate travels as its three-byte form,
// so that lines nobody touched are written back as they were.
bool IsUtf16File(const std::string& bytes) {
    return bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::string& out, std::uint32_t cp) {
    auto unit = [&](std::uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    if (cp >= 0x10000) {
        unit(0xD800 + ((cp - 0x10000) >> 10));
        unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
        unit(cp);
    }
}

// Without the mark; an odd last byte is no character and is dropped.
std::string Utf16ToUtf8(const std::string& bytes) {
    std::string out;
    auto unit = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8);
    };
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            const std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        AppendUtf8(out, cp);
    }
    return out;
}

// With the mark. A byte that starts no valid UTF-8 sequence stands for itself (the
// character of that code), so that any caller's text can be written.
std::string Utf8ToUtf16(const std::string& text) {
    std::string out = "\xFF\xFE";
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        const std::size_t len = b0 < 0x80                 ? 1
                                : b0 >= 0xC2 && b0 < 0xE0 ? 2
                                : b0 >= 0xE0 && b0 < 0xF0 ? 3
                                : b0 >= 0xF0 && b0 < 0xF5 ? 4
                                                          : 0;
        std::uint32_t cp = b0;
        bool valid = len > 0 && i + len <= n;
        if (valid && len > 1) {
            cp = b0 & (0x7F >> len);
            for (std::size_t k = 1; k < len && valid; ++k) {
                const auto b = static_cast<unsigned char>(text[i + k]);
                valid = (b & 0xC0) == 0x80;
                cp = (cp << 6) | (b & 0x3F);
            }
            // Overlong forms and values beyond Unicode are not characters.
            valid = valid && !(len == 3 && cp < 0x800) && !(len == 4 && (cp < 0x10000 || cp > 0x10FFFF));
        }
        if (!valid) {
            AppendUtf16(out, b0);
            ++i;
            continue;
        }
        AppendUtf16(out, cp);
        i += len;
    }
    return out;
}

std::string Truncate(std::string value, std::size_t bufferSize) {
    if (bufferSize == 0)
        return {};
    if (value.size() > bufferSize - 1)
        value.resize(bufferSize - 1);
    return value;
}

} // namespace

std::string ProfileFileBytes(const std::string& text) { return text; }

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file,
                                    std::size_t bufferSize) {
    std::string def = defaultValue;
    while (!def.empty() && def.back() == ' ')
        def.pop_back();

    std::string text;
    if (file.empty() || !ReadWholeFile(file, text))
        return Truncate(def, bufferSize);
    if (IsUtf16File(text))
        text = Utf16ToUtf8(text);
    const auto lines = ParseLines(text);
    const auto range = FindSection(lines, TrimSpaces(section));
    if (!range)
        return Truncate(def, bufferSize);
    const auto at = FindKey(lines, *range, TrimSpaces(key));
    if (!at)
        return Truncate(def, bufferSize);

    std::string_view value = lines[*at].value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return Truncate(std::string(value), bufferSize);
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file) {
    if (file.empty() || IsReadOnlyFile(file)) {
        errno = file.empty() ? ENOENT : EACCES;
        return false;
    }
    const std::string sec(TrimSpaces(section));
    const std::string name(TrimSpaces(key));

    std::string text;
    errno = 0;
    const bool exists = ReadWholeFile(file, text);
    if (!exists && FileExists(file)) {
        // There but unreadable: never overwrite what we could not read.
        if (errno == 0 || errno == ENOENT)
            errno = EACCES;
        return false;
    }
    const bool utf16 = IsUtf16File(text);
    if (utf16)
        text = Utf16ToUtf8(text);
    const auto lines = ParseLines(text);
    const auto range = FindSection(lines, sec);

    std::string out;
    if (!range) {
        out = text;
        if (!out.empty() && out.back() != '\n' && out.back() != '\r')
            out += "\r\n";
        out += "[" + sec + "]\r\n" + name + "=" + value + "\r\n";
    } else if (const auto at = FindKey(lines, *range, name)) {
        const Line& line = lines[*at];
        const std::string ending = line.next > line.end ? text.substr(line.end, line.next - line.end) : "\r\n";
        out = text.substr(0, line.begin) + std::string(line.name) + "=" + value + ending + text.substr(line.next);
    } else {
        // After the section's last key, or right after its header when it has none.
        std::size_t after = range->header;
        for (std::size_t i = range->header + 1; i < range->last; ++i)
            if (lines[i].kind == Line::Key || lines[i].kind == Line::Other)
                after = i;
        const Line& line = lines[after];
        out = text.substr(0, line.next);
        if (line.next == line.end)
            out += "\r\n";
        out += name + "=" + value + "\r\n" + text.substr(line.next);
    }
    return ReplaceFileContent(file, utf16 ? Utf8ToUtf16(out) : out);
}

} // namespace quillet::platform
