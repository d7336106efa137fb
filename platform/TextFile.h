// The encoding of the text files the programs keep and other programs read: the
// schedule, "error.log", the run history. Decided here for every reader and writer.
//
// Reading: after a UTF-8 byte-order mark the bytes are UTF-8; without one, bytes that
// are valid UTF-8 are UTF-8 as well, and anything else is in the system's code page
// (Windows: the ANSI code page, which earlier versions wrote; elsewhere the bytes are
// taken as they are). Writing: a file stays in the system's code page while every
// character fits it (elsewhere always: plain UTF-8, as before); a text that does not fit
// makes the file UTF-8 with its mark, which spreadsheets also read as UTF-8, and an
// existing file is then rewritten whole in that form.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillet::platform {

inline constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
bool HasUtf8Mark(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

// The system code page's bytes for a UTF-8 text, or nothing when a character has no
// counterpart there (elsewhere: the text itself); and back.
std::optional<std::string> CodePageBytesOf(const std::string& text);
std::string TextOfCodePageBytes(std::string_view bytes);

// The text of a file's bytes, read from its start. For a part of a file that begins at
// a line start, `marked` says whether the file begins with the mark.
std::string TextOfFileBytes(std::string_view bytes);
std::string TextOfFileBytes(std::string_view bytes, bool marked);
// The bytes that hold `text` in a file that has the mark (`marked`) or not: the code
// page's while they read back as the same text, else the mark and UTF-8. A new file
// has none.
std::string FileBytesOfText(const std::string& text, bool marked = false);

// Files.h's operations, with the text converted by these rules.
bool ReadTextFile(const std::string& path, std::string& text);
// Keeps the form of the file it replaces: the mark, or UTF-8 without it.
bool ReplaceTextFile(const std::string& path, const std::string& text);
bool CreateNewTextFile(const std::string& path, const std::string& text);
// One append, as AppendToFile; a text the file's encoding cannot hold rewrites the file
// in UTF-8 with its mark first, under the same lock that other appenders wait for.
bool AppendTextToFile(const std::string& path, const std::string& text);

} // namespace quillet::platform
