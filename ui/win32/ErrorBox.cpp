#include "ui/win32/ErrorBox.h"

#include "core/Errors.h"
#include "core/ProgramVersion.h"
#include "platform/Files.h"
#include "platform/SelfPath.h"
#include "platform/win32/WideText.h"
#include "ui/win32/Dialog.h"
#include "ui/win32/Guarded.h"
#include "ui/win32/Win32Prompts.h"

#include <cstdio>
#include <cxxabi.h>
#include <cstdlib>
#include <typeinfo>

namespace quillet::ui::win32 {

using platform::win32::Utf8;
using platform::win32::Wide;
using platform::win32::WideCrlf;

namespace {

enum : int { IdDetails = 101, IdSave, IdContinue, IdRestart, IdClose, IdReport, IdHeadline, IdMessage };

constexpr int Width = 470;
constexpr int Collapsed = 118;
constexpr int Expanded = 330;

std::string demangled(const char* name) {
    int status = 0;
    char* readable = abi::__cxa_demangle(name, nullptr, nullptr, &status);
    const std::string result = status == 0 && readable ? readable : name;
    std::free(readable);
    return result;
}

class ErrorBox : public ModalDialog {
public:
    ErrorBox(std::string message, std::string report) : message_(std::move(message)), report_(std::move(report)) {}
    ~ErrorBox() override {
        if (bold_)
            DeleteObject(bold_);
    }
    FaultChoice choice = FaultChoice::Continue;

protected:
    HWND onInit() override {
        HWND icon = layout_.add("STATIC", "", WS_VISIBLE | SS_ICON, 12, 12, 32, 32);
        SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_ERROR))), 0);
        HWND headline = layout_.add("STATIC", ErrorBoxCaption, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 56, 12, Width - 68,
                                    16, IdHeadline);
        bold_ = CreateUiFont(layout_.dpi(), 0, true);
        SendMessageW(headline, WM_SETFONT, reinterpret_cast<WPARAM>(bold_), FALSE);
        layout_.add("STATIC", message_, WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, 56, 32, Width - 68, 44,
                    IdMessage);
        HWND report = layout_.add("EDIT", "", WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL,
                    12, 84, Width - 24, Expanded - 84 - 40, IdReport, WS_EX_CLIENTEDGE);
        SetWindowTextW(report, WideCrlf(report_).c_str());
        layout_.add("BUTTON", "Show &Details", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 12, Collapsed - 32, 90, 24,
                    IdDetails);
        layout_.add("BUTTON", "&Save Report...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 106, Collapsed - 32, 96, 24,
                    IdSave);
        HWND keepGoing = layout_.add("BUTTON", "&Continue", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                                     Width - 252, Collapsed - 32, 76, 24, IdContinue);
        layout_.add("BUTTON", "&Restart", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, Width - 172, Collapsed - 32, 76, 24,
                    IdRestart);
        layout_.add("BUTTON", "C&lose", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, Width - 92, Collapsed - 32, 80, 24,
                    IdClose);
        SendMessageW(hwnd(), DM_SETDEFID, IdContinue, 0);
        MessageBeep(MB_ICONHAND);
        return keepGoing;
    }

    void onCommand(int id, int) override {
        switch (id) {
        case IdDetails:
            toggleDetails();
            break;
        case IdSave:
            saveReport();
            break;
        case IdOK:
        case IdContinue:
        case IDCANCEL:
            choice = FaultChoice::Continue;
            end(IDOK);
            break;
        case IdRestart:
            choice = FaultChoice::Restart;
            end(IDOK);
            break;
        case IdClose:
            choice = FaultChoice::Close;
            end(IDOK);
            break;
        default:
            break;
        }
    }

private:
    static constexpr int IdOK = IDOK;

    void toggleDetails() {
        shown_ = !shown_;
        const int height = shown_ ? Expanded : Collapsed;
        ShowWindow(item(IdReport), shown_ ? SW_SHOW : SW_HIDE);
        SetWindowTextW(item(IdDetails), shown_ ? L"Hide &Details" : L"Show &Details");
        layout_.move(item(IdDetails), 12, height - 32, 90, 24);
        layout_.move(item(IdSave), 106, height - 32, 96, 24);
        layout_.move(item(IdContinue), Width - 252, height - 32, 76, 24);
        layout_.move(item(IdRestart), Width - 172, height - 32, 76, 24);
        layout_.move(item(IdClose), Width - 92, height - 32, 80, 24);
        layout_.sizeClient(Width, height);
    }

    void saveReport() {
        FileChoice choice;
        choice.caption = "Save Report";
        choice.fileName = "exception_report.txt";
        choice.filters = {{"Text files", "*.txt"}};
        choice.defaultSuffix = "txt";
        const std::string path = CurrentPrompts().saveFile(choice);
        if (path.empty())
            return;
        if (!platform::ReplaceFileContent(path, Utf8(WideCrlf(report_)))) {
            const std::string why = platform::LastFileErrorText();
            CurrentPrompts().warn(ApplicationTitle(), EFCreateError(path, why).what());
        }
    }

    std::string message_;
    std::string report_;
    HFONT bold_ = nullptr;
    bool shown_ = false;
};

std::string programPath() {
    return platform::ExecutablePath();
}

} // namespace

std::string FaultReportText(const std::string& message, const std::string& details) {
    std::string text = std::string(ErrorBoxCaption) + "\n\nMessage: " + message + "\n";
    if (!details.empty())
        text += details + "\n";
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02uT%02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    text += std::string("\nDate: ") + stamp + "\n";
    text += "Program: " + programPath() + "\n";
    char version[64];
    std::snprintf(version, sizeof version, "%.2f (build %s)", ProgramVersion, ProgramBuild);
    text += std::string("Version: ") + version + "\n";
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    const char* machine = info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64   ? "x86_64"
                          : info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64 ? "arm64"
                          : info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_INTEL ? "i386"
                                                                                        : "unknown";
    text += std::string("System: Windows (") + machine + ")\n";
    return text;
}

FaultChoice ShowErrorBox(HWND owner, const std::string& message, const std::string& report) {
    ErrorBox box(message, report);
    box.run(owner, ApplicationTitle(), Width, Collapsed);
    return box.choice;
}

void ReportFault(const std::string& message, const std::string& details) {
    switch (ShowErrorBox(PromptOwner(), message, FaultReportText(message, details))) {
    case FaultChoice::Continue:
        return;
    case FaultChoice::Restart: {
        const std::wstring program = Wide(programPath());
        std::wstring commandLine = L"\"" + program + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &process)) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
        [[fallthrough]];
    }
    case FaultChoice::Close:
        std::fflush(nullptr);
        ExitProcess(1);
    }
}

void ReportCurrentException() noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& e) {
            CurrentPrompts().fault(e.what(), "Error class: " + demangled(typeid(e).name()));
        } catch (...) {
            CurrentPrompts().fault("An unknown error occurred.", "Error class: unknown");
        }
    } catch (...) {
        // The reporter itself failed (no memory for a box): nothing more can be shown.
    }
}

} // namespace quillet::ui::win32
