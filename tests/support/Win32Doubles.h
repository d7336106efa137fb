// What the Win32 window tests share: scripted prompts behind the seam, recorded help requests and web
// links, a watchdog for hung modal loops, a file drop as the shell delivers it, and a
// helper that acts on a window once it shows up inside a modal loop.
#pragma once

#include "tests/support/ScriptedPrompts.h"
#include "ui/Prompts.h"
#include "ui/win32/Help.h"
#include "ui/win32/WebLinks.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace quillet::test {

// Names in four scripts, one character outside the Basic Multilingual Plane among them.
inline const std::string UnicodeName = "Νύχτα Ночь 夜间 \U0001D11E";

// Puts a fresh scripted double behind the Win32 prompts seam and returns it.
ScriptedPrompts& InstallScriptedPrompts();
// How many boxes or dialogs of a kind were asked for.
std::size_t Count(const ScriptedPrompts& prompts, const std::string& kind);

class RecordingHelp : public ui::win32::HelpEngine {
public:
    std::vector<std::string> requests; // "contents", "search:<key>", "topic:<n>"
    void contents(HWND, const std::string&) override { requests.push_back("contents"); }
    void search(HWND, const std::string&, const std::string& key) override { requests.push_back("search:" + key); }
    void topic(HWND, const std::string&, int topic) override { requests.push_back("topic:" + std::to_string(topic)); }
    static RecordingHelp& install();
};

class RecordingLinks : public ui::win32::UrlOpener {
public:
    std::vector<std::string> opened;
    bool succeed = true;
    bool open(const std::string& address) override {
        opened.push_back(address);
        return succeed;
    }
    static RecordingLinks& install();
};

// Ends the test program with exit code 3 when it is still running after `seconds`.
class Watchdog {
public:
    explicit Watchdog(int seconds);
    ~Watchdog();

private:
    HANDLE stop_;
    HANDLE thread_;
};

// A drop of the paths as the shell delivers it (WM_DROPFILES's handle); the receiver frees it.
HGLOBAL MakeDrop(const std::vector<std::string>& paths);

// Runs `action` on the first visible or hidden top-level window of this process with the
// class and caption once it exists (checked every 20 ms inside any message loop of this
// thread, modal ones included).
void WhenWindowAppears(const char* className, const std::string& caption, std::function<void(HWND)> action);

// Delivers the messages waiting for this thread's windows.
void PumpMessages();

// A fresh folder under the temporary folder, removed with its files at destruction.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    const std::string& path() const { return path_; } // ends without a separator
    std::string file(const std::string& name) const { return path_ + "\\" + name; }
    // Creates a folder of that name in it and returns its path.
    std::string folder(const std::string& name) const;

private:
    std::string path_;
};

std::string ReadText(const std::string& path); // without carriage returns
void WriteText(const std::string& path, const std::string& text);

} // namespace quillet::test
