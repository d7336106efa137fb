// Text-to-number conversions with the run-time library's rules: decimal with an
// optional sign, hexadecimal after "$" or "0x"; leading spaces skipped, anything
// trailing is an error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

std::optional<std::int32_t> TryStrToInt(const std::string& text);
// Throws EConvertError "'<text>' is not a valid integer value".
std::int32_t StrToInt(const std::string& text);
std::int32_t StrToIntDef(const std::string& text, std::int32_t def);
std::string IntToStr(std::int64_t value);
// The decimal number in text[at, at + count): only digits, no sign; false when
// the text is shorter or holds anything else.
bool ReadDigits(std::string_view text, std::size_t at, std::size_t count, int& value);

} // namespace quillet
