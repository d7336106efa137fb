// Linux keeps file names and text in UTF-8: the bytes are the text.
#include "platform/TextFile.h"

#include "platform/Files.h"

namespace quillet::platform {

std::optional<std::string> CodePageBytesOf(const std::string& text) { return text; }

std::string TextOfCodePageBytes(std::string_view bytes) { return std::string(bytes); }

bool AppendTextToFile(const std::string& path, const std::string& text) { return AppendToFile(path, text); }

} // namespace quillet::platform
