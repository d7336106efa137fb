// Any file to the INI reader and writer: no crash, and a value written is the value
// read back whenever the format can hold it.
#include "core/CfgFile.h"
#include "platform/Files.h"
#include "platform/Profile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& ScratchFile() {
    static const std::string path = [] {
        char dir[] = "/tmp/quillet-fuzz-XXXXXX";
        if (!::mkdtemp(dir))
            std::abort();
        return std::string(dir) + "/f.ini";
    }();
    return path;
}

// Names the profile format can address: no line breaks, no "=" in keys, no "]" in
// section names, no blanks at their ends, and no comment or header opener in front.
bool Addressable(const std::string& name, bool isSection) {
    if (name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return false;
    if (name.find(isSection ? ']' : '=') != std::string::npos)
        return false;
    if (!name.empty()) {
        const std::string blanks = " \t\v";
        if (blanks.find(name.front()) != std::string::npos || blanks.find(name.back()) != std::string::npos)
            return false;
        if (!isSection && (name.front() == ';' || name.front() == '['))
            return false;
    }
    return isSection || !name.empty();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(16);
    const std::string key = in.ConsumeRandomLengthString(16);
    const std::string value = in.ConsumeRandomLengthString(64);
    const std::size_t bufferSize = in.ConsumeIntegralInRange<std::size_t>(0, 4096);
    const std::string content = in.ConsumeRemainingBytesAsString();
    const std::string& path = ScratchFile();

    if (!quillet::platform::ReplaceFileContent(path, content))
        std::abort();
    const std::string read = quillet::platform::GetPrivateProfileString(section, key, "d", path, bufferSize);
    if (bufferSize > 0 && read.size() >= bufferSize)
        std::abort();

    if (!quillet::platform::WritePrivateProfileString(section, key, value, path))
        std::abort();
    // A Unicode file gives back UTF-8; other bytes of names and values come back as
    // the characters of their codes.
    const bool unicodeFile = content.size() >= 2 && content[0] == '\xFF' && content[1] == '\xFE';
    const auto ascii = [](const std::string& t) {
        return std::all_of(t.begin(), t.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    if (Addressable(section, true) && Addressable(key, false) && quillet::ProfileValueRoundTrips(value) &&
        value.size() < quillet::platform::ProfileListBufferSize &&
        (!unicodeFile || (ascii(section) && ascii(key) && ascii(value))) &&
        quillet::platform::GetPrivateProfileString(section, key, "", path,
                                                   quillet::platform::ProfileListBufferSize) != value)
        std::abort();
    return 0;
}
