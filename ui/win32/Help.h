// The administrator's help on Windows: the system's help engine for ".hlp" files is
// gone, so our own help window shows "Quillet.hlp" (contents, keyword search, topics
// by number), the same file and topics as the Linux help viewer.
#pragma once

#include "ui/HelpFile.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace quillet::ui::win32 {

void ShowHelpContents(HWND owner);
// A keyword search; an empty key opens the search with nothing typed yet.
void ShowHelpSearch(HWND owner, const std::string& key);
void ShowHelpTopic(HWND owner, int topic);

// AppFolder + "Quillet.hlp", set once at start-up; until then the file next to the program.
void SetHelpFile(const std::string& path);
std::string HelpFilePath();

// The seam behind the three calls, so tests record help requests instead of opening windows.
class HelpEngine {
public:
    virtual ~HelpEngine() = default;
    virtual void contents(HWND owner, const std::string& helpFile) = 0;
    virtual void search(HWND owner, const std::string& helpFile, const std::string& key) = 0;
    virtual void topic(HWND owner, const std::string& helpFile, int topic) = 0;

    static HelpEngine& instance();
    // Takes ownership; nullptr puts our help window back.
    static void setInstance(std::unique_ptr<HelpEngine> engine);
};

class THelpWindow;

// The one help window of the program, created on first use; nullptr before.
THelpWindow* SharedHelpWindow(bool create);

} // namespace quillet::ui::win32
