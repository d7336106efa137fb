// The Qt face of the prompts: the dialogs seam (which tests script) and the error box.
#pragma once

#include "ui/Prompts.h"

class QWidget;

namespace quillet::ui {

class QtPrompts : public Prompts {
public:
    // Boxes and dialogs open over parent (may be null).
    explicit QtPrompts(QWidget* parent) : parent_(parent) {}

    Answer ask(const std::string& caption, const std::string& text, bool withCancel) override;
    Answer askDefaultNo(const std::string& caption, const std::string& text) override;
    void warn(const std::string& caption, const std::string& text) override;
    void inform(const std::string& caption, const std::string& text) override;
    void fault(const std::string& message, const std::string& details) override;
    std::string openFile(const FileChoice& choice) override;
    std::string saveFile(const FileChoice& choice) override;
    std::vector<std::string> openFiles(const FileChoice& choice) override;
    std::string folder(const FileChoice& choice) override;

private:
    QWidget* parent_;
};

} // namespace quillet::ui
