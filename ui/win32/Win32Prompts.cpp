#include "ui/win32/Win32Prompts.h"

#include "ui/win32/ErrorBox.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cctype>

namespace quillet::ui::win32 {

namespace {

std::unique_ptr<Prompts>& installed() {
    static std::unique_ptr<Prompts> prompts;
    return prompts;
}

// "Name\0*.a;*.b\0...\0\0" from the choice's filters.
std::string filterText(const FileChoice& choice) {
    std::string text;
    for (const auto& f : choice.filters) {
        text += f.name + " (" + f.patterns + ")";
        text += '\0';
        text += f.patterns;
        text += '\0';
    }
    if (text.empty()) {
        text += "All files (*.*)";
        text += '\0';
        text += "*.*";
        text += '\0';
    }
    text += '\0';
    return text;
}

struct FileDialog {
    OPENFILENAMEA ofn{};
    std::string filters;
    std::string buffer;

    FileDialog(const FileChoice& choice, std::size_t size) : filters(filterText(choice)), buffer(size, '\0') {
        buffer.replace(0, std::min(choice.fileName.size(), size - 1), choice.fileName.substr(0, size - 1));
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = PromptOwner();
        ofn.lpstrFilter = filters.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = buffer.data();
        ofn.nMaxFile = static_cast<DWORD>(buffer.size());
        ofn.lpstrInitialDir = choice.directory.empty() ? nullptr : choice.directory.c_str();
        ofn.lpstrTitle = choice.caption.empty() ? nullptr : choice.caption.c_str();
        ofn.lpstrDefExt = choice.defaultSuffix.empty() ? nullptr : choice.defaultSuffix.c_str();
        ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    }
    std::string first() const { return std::string(buffer.c_str()); }
};

} // namespace

Answer Win32Prompts::ask(const std::string& caption, const std::string& text, bool withCancel) {
    const int answer = MessageBoxA(PromptOwner(), text.c_str(), caption.c_str(),
                                   (withCancel ? MB_YESNOCANCEL : MB_YESNO) | MB_ICONQUESTION);
    if (answer == IDYES)
        return Answer::Yes;
    if (answer == IDNO)
        return Answer::No;
    return withCancel ? Answer::Cancel : Answer::No;
}

Answer Win32Prompts::askDefaultNo(const std::string& caption, const std::string& text) {
    return MessageBoxA(PromptOwner(), text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES
               ? Answer::Yes
               : Answer::No;
}

void Win32Prompts::warn(const std::string& caption, const std::string& text) {
    MessageBoxA(PromptOwner(), text.c_str(), caption.c_str(), MB_OK | MB_ICONWARNING);
}

void Win32Prompts::inform(const std::string& caption, const std::string& text) {
    MessageBoxA(PromptOwner(), text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
}

void Win32Prompts::fault(const std::string& message, const std::string& details) {
    ReportFault(message, details);
}

std::string Win32Prompts::openFile(const FileChoice& choice) {
    FileDialog dialog(choice, 32768);
    // The caller decides what a name of no existing file means.
    return GetOpenFileNameA(&dialog.ofn) ? dialog.first() : std::string();
}

std::string Win32Prompts::saveFile(const FileChoice& choice) {
    FileDialog dialog(choice, 32768);
    // Replacing a file asks nothing, as the editor's Save As always did.
    return GetSaveFileNameA(&dialog.ofn) ? dialog.first() : std::string();
}

std::vector<std::string> Win32Prompts::openFiles(const FileChoice& choice) {
    FileDialog dialog(choice, 1 << 16);
    dialog.ofn.Flags |= OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST;
    std::vector<std::string> files;
    if (!GetOpenFileNameA(&dialog.ofn))
        return files;
    // One file: its path. Several: the folder, then each name, each ended by a zero.
    const char* p = dialog.buffer.c_str();
    const std::string folder = p;
    p += folder.size() + 1;
    if (*p == '\0') {
        files.push_back(folder);
        return files;
    }
    const std::string prefix = folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
    while (*p) {
        const std::string name = p;
        files.push_back(prefix + name);
        p += name.size() + 1;
    }
    return files;
}

namespace {
int CALLBACK startIn(HWND window, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data)
        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}
} // namespace

std::string Win32Prompts::folder(const FileChoice& choice) {
    char name[MAX_PATH] = {};
    BROWSEINFOA info{};
    info.hwndOwner = PromptOwner();
    info.pszDisplayName = name;
    info.lpszTitle = choice.caption.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = startIn;
    info.lParam = choice.directory.empty() ? 0 : reinterpret_cast<LPARAM>(choice.directory.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderA(&info);
    if (!chosen)
        return {};
    char path[MAX_PATH] = {};
    const bool ok = SHGetPathFromIDListA(chosen, path);
    CoTaskMemFree(chosen);
    return ok ? std::string(path) : std::string();
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
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
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
