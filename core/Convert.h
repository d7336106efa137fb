// Text-to-number conversions with the run-time library's rules: decimal with an
// optional sign, hexadecimal after "$" or "0x"; leading spaces skipped, anything
// trailing is an error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillet {

std::optional<std::int32_t> TryStrToInt(const std::string& text);
// Throws EConvertError "'<text>' is not a valid integer value".
std::int32_t StrToInt(const std::string& text);
std::int32_t StrToIntDef(const std::string& text, std::int32_t def);
std::string IntToStr(std::int64_t value);

} // namespace quillet
