#include "ui/win32/Win32Prompts.h"

#include "platform/SelfPath.h"
#include "platform/win32/WideText.h"
#include "ui/win32/ErrorBox.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cctype>

namespace quillet::ui::win32 {

using platform::win32::Utf8;
using platform::win32::Wide;

namespace {

std::unique_ptr<Prompts>& installed() {
    static std::unique_ptr<Prompts> prompts;
    return prompts;
}

// "Name\0*.a;*.b\0...\0\0" from the choice's filters.
std::wstring filterText(const FileChoice& choice) {
    std::wstring text;
    for (const auto& f : choice.filters) {
        text += Wide(f.name + " (" + f.patterns + ")");
        text += L'\0';
        text += Wide(f.patterns);
        text += L'\0';
    }
    if (text.empty())
        text.append(L"All files (*.*)\0*.*\0", 22);
    text += L'\0';
    return text;
}

struct FileDialog {
    OPENFILENAMEW ofn{};
    std::wstring filters;
    std::wstring buffer;
    std::wstring directory;
    std::wstring caption;
    std::wstring suffix;

    FileDialog(const FileChoice& choice, std::size_t size)
        : filters(filterText(choice)), buffer(size, L'\0'), directory(Wide(choice.directory)),
          caption(Wide(choice.caption)), suffix(Wide(choice.defaultSuffix)) {
        const std::wstring name = Wide(choice.fileName);
        buffer.replace(0, std::min(name.size(), size - 1), name.substr(0, size - 1));
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = PromptOwner();
        ofn.lpstrFilter = filters.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = buffer.data();
        ofn.nMaxFile = static_cast<DWORD>(buffer.size());
        ofn.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
        ofn.lpstrTitle = caption.empty() ? nullptr : caption.c_str();
        ofn.lpstrDefExt = suffix.empty() ? nullptr : suffix.c_str();
        ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    }
    std::string first() const { return Utf8(buffer.c_str()); }
};

int box(const std::string& caption, const std::string& text, UINT type) {
    return MessageBoxW(PromptOwner(), Wide(text).c_str(), Wide(caption).c_str(), type);
}

} // namespace

Answer Win32Prompts::ask(const std::string& caption, const std::string& text, bool withCancel) {
    const int answer = box(caption, text, (withCancel ? MB_YESNOCANCEL : MB_YESNO) | MB_ICONQUESTION);
    if (answer == IDYES)
        return Answer::Yes;
    if (answer == IDNO)
        return Answer::No;
    return withCancel ? Answer::Cancel : Answer::No;
}

Answer Win32Prompts::askDefaultNo(const std::string& caption, const std::string& text) {
    return box(caption, text, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES
               ? Answer::Yes
               : Answer::No;
}

void Win32Prompts::warn(const std::string& caption, const std::string& text) {
    box(caption, text, MB_OK | MB_ICONWARNING);
}

void Win32Prompts::inform(const std::string& caption, const std::string& text) {
    box(caption, text, MB_OK | MB_ICONINFORMATION);
}

void Win32Prompts::fault(const std::string& message, const std::string& details) {
    ReportFault(message, details);
}

std::string Win32Prompts::openFile(const FileChoice& choice) {
    FileDialog dialog(choice, 32768);
    // The caller decides what a name of no existing file means.
    return GetOpenFileNameW(&dialog.ofn) ? dialog.first() : std::string();
}

std::string Win32Prompts::saveFile(const FileChoice& choice) {
    FileDialog dialog(choice, 32768);
    // Replacing a file asks nothing, as the editor's Save As always did.
    return GetSaveFileNameW(&dialog.ofn) ? dialog.first() : std::string();
}

std::vector<std::string> Win32Prompts::openFiles(const FileChoice& choice) {
    FileDialog dialog(choice, 1 << 16);
    dialog.ofn.Flags |= OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST;
    std::vector<std::string> files;
    if (!GetOpenFileNameW(&dialog.ofn))
        return files;
    // One file: its path. Several: the folder, then each name, each ended by a zero.
    const wchar_t* p = dialog.buffer.c_str();
    const std::wstring folder = p;
    p += folder.size() + 1;
    if (*p == L'\0') {
        files.push_back(Utf8(folder));
        return files;
    }
    const std::wstring prefix = folder.empty() || folder.back() == L'\\' ? folder : folder + L"\\";
    while (*p) {
        const std::wstring name = p;
        files.push_back(Utf8(prefix + name));
        p += name.size() + 1;
    }
    return files;
}

namespace {
int CALLBACK startIn(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data)
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}
} // namespace

std::string Win32Prompts::folder(const FileChoice& choice) {
    wchar_t name[MAX_PATH] = {};
    const std::wstring title = Wide(choice.caption);
    const std::wstring start = Wide(choice.directory);
    BROWSEINFOW info{};
    info.hwndOwner = PromptOwner();
    info.pszDisplayName = name;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = startIn;
    info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen)
        return {};
    std::wstring path(32768, L'\0');
    const bool ok = SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT);
    CoTaskMemFree(chosen);
    return ok ? Utf8(path.c_str()) : std::string();
}

Prompts& CurrentPrompts() {
    static Win32Prompts real;
    auto& prompts = installed();
    return prompts ? *prompts : real;
}

void SetPrompts(std::unique_ptr<Prompts> prompts) {
    installed() = std::move(prompts);
}

std::string ApplicationTitle() {
    std::string name = platform::ExecutablePath();
    const auto slash = name.find_last_of("\\/:");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const auto dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    for (std::size_t i = 1; i < name.size(); ++i)
        name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    return name;
}

HWND PromptOwner() {
    return GetActiveWindow();
}

} // namespace quillet::ui::win32
