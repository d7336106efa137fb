// The Win32 face of the Prompts seam: message boxes, the common file dialogs, the
// folder browser and the error box. Windows ask through CurrentPrompts(), so tests
// script the answers and nothing waits for a person.
#pragma once

#include "ui/Prompts.h"

#include <windows.h>

#include <memory>
#include <string>

namespace quillet::ui::win32 {

class Win32Prompts : public Prompts {
public:
    Answer ask(const std::string& caption, const std::string& text, bool withCancel) override;
    Answer askDefaultNo(const std::string& caption, const std::string& text) override;
    void warn(const std::string& caption, const std::string& text) override;
    void inform(const std::string& caption, const std::string& text) override;
    void fault(const std::string& message, const std::string& details) override;
    std::string openFile(const FileChoice& choice) override;
    std::string saveFile(const FileChoice& choice) override;
    std::vector<std::string> openFiles(const FileChoice& choice) override;
    std::string folder(const FileChoice& choice) override;
};

// The process-wide prompts: the real ones unless a test installed its own.
Prompts& CurrentPrompts();
// Takes ownership; nullptr puts the real ones back.
void SetPrompts(std::unique_ptr<Prompts> prompts);

// The caption of plain message boxes: the program file's name without its extension,
// the first letter as it is and the rest in lower case ("Quilletadmin").
std::string ApplicationTitle();

// The window that boxes and dialogs belong to: the active window of this thread.
HWND PromptOwner();

} // namespace quillet::ui::win32
