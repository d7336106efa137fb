// Any bytes to the list readers: a result, never a crash; without quotes both agree.
#include "core/Include.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const char sep = static_cast<char>(data[0]);
    const int index = static_cast<std::int8_t>(data[1]);
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string a = quillet::GetField(text, sep, index);
    const std::string b = quillet::GetQuotedField(text, sep, index);
    if (text.find('"') == std::string::npos && a != b)
        std::abort();
    if (a.size() > text.size() || b.size() > text.size())
        std::abort();
    (void)quillet::QuotePath(text);
    (void)quillet::FileBaseName(text);
    try {
        (void)quillet::DashTextToDate(text);
    } catch (const std::exception&) {
    }
    return 0;
}
