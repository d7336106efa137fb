#include "platform/Profile.h"

#include "platform/Files.h"
#include "platform/TextFile.h"
#include "platform/win32/WideText.h"

#include <windows.h>
// windows.h maps these names to its own A/W functions; ours keep their names.
#undef GetPrivateProfileString
#undef WritePrivateProfileString

#include <vector>

namespace quillet::platform {
namespace {

using win32::Wide;

// The profile functions look for a bare file name in the Windows folder, not in the
// current one where every other file function finds it; a name typed by hand on the
// compactor's command line would pass the existence check and then read as empty.
std::string WithFolder(const std::string& file) {
    if (file.empty() || file.find_first_of("\\/:") != std::string::npos)
        return file;
    return ".\\" + file;
}

// UTF-16LE with its byte order mark, as the profile functions keep Unicode text.
std::string Utf16File(const std::string& text) {
    const std::wstring wide = L"\xFEFF" + Wide(text);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
}

bool IsUtf16File(const std::string& path) {
    std::string head;
    return ReadFileHead(path, 2, head) && head == "\xFF\xFE";
}

// A file in the ANSI code page stays so while every text fits it; one that does not
// makes the whole file UTF-16LE with its byte order mark, which the profile functions
// then keep. Written in place, so that an access list of its own stays with the file.
bool MakeRoomFor(const std::string& path, const std::string& text) {
    if (CodePageBytesOf(text) || IsUtf16File(path))
        return true;
    std::string bytes;
    if (!ReadWholeFile(path, bytes) && !NothingAt(path))
        return false;
    // What the profile functions read in such a file: its bytes in the code page.
    const std::string wide = Utf16File(TextOfCodePageBytes(bytes));
    HANDLE h = ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(wide.size());
    const bool ok = ::WriteFile(h, wide.data(), size, &written, nullptr) && written == size && ::SetEndOfFile(h);
    const DWORD why = ::GetLastError();
    ::CloseHandle(h);
    ::SetLastError(why);
    return ok;
}

} // namespace

std::string ProfileFileBytes(const std::string& text) {
    if (auto plain = CodePageBytesOf(text))
        return *plain;
    return Utf16File(text);
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, const std::string& file,
                                    std::size_t bufferSize) {
    if (bufferSize == 0)
        return {};
    std::vector<wchar_t> buffer(bufferSize, L'\0');
    const DWORD n = ::GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(defaultValue).c_str(),
                                               buffer.data(), static_cast<DWORD>(bufferSize),
                                               Wide(WithFolder(file)).c_str());
    return win32::Utf8(std::wstring_view(buffer.data(), n));
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file) {
    const std::string path = WithFolder(file);
    if (!MakeRoomFor(path, section + key + value))
        return false;
    return ::WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(), Wide(value).c_str(),
                                        Wide(path).c_str()) != FALSE;
}

} // namespace quillet::platform
