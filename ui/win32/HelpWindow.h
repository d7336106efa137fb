// Our help window: the help file as text on the right; on the left its contents (the
// headings) and the keyword index, filtered as the user types.
#pragma once

#include "ui/HelpFile.h"
#include "ui/win32/Window.h"

#include <string>
#include <vector>

namespace quillet::ui::win32 {

class THelpWindow : public Window {
public:
    THelpWindow();

    // Loads the file when it is not the one shown; false when it cannot be read.
    bool load(const std::string& helpFile);
    void showContents();
    // False when the file has no such topic; the contents are shown then, and the status line says so.
    bool showTopic(int topic);
    // Puts the key into the index's filter box and gives it the focus.
    void showSearch(const std::string& key);
    void showWindow();

    // What tests look at.
    const std::string& currentAnchor() const { return anchor_; }
    std::vector<std::string> visibleKeywords() const;
    std::string status() const;
    // The contents entry the list has selected ("" for none).
    std::string selectedHeading() const;

protected:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void goToAnchor(const std::string& anchor, bool remember = true);
    void filterIndex();
    void openKeyword();
    void openHeading();
    void back();

    std::string file_;
    std::string html_;
    HelpText text_;
    std::vector<HelpKeyword> keywords_;
    std::vector<const HelpKeyword*> shown_;
    std::vector<std::string> history_;
    std::string anchor_;
    HWND lboxContents = nullptr;
    HWND edtKeyword = nullptr;
    HWND lboxIndex = nullptr;
    HWND edtHelpText = nullptr;
    HWND lblStatus = nullptr;
};

} // namespace quillet::ui::win32
