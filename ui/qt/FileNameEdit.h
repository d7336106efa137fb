// A file-name box: a one-line edit box with a browse button at its right end.
#pragma once

#include <QString>
#include <QWidget>

class QLineEdit;
class QToolButton;

namespace quillet::ui {

class TFileNameEdit : public QWidget {
    Q_OBJECT
public:
    explicit TFileNameEdit(QWidget* parent = nullptr);

    QString text() const;
    // Replaces the text; the box counts as unchanged afterwards.
    void setText(const QString& text);
    // Set by the user's edits, cleared when the program replaces the text.
    bool isModified() const;
    void setModified(bool modified);
    QLineEdit* lineEdit() const { return edit_; }
    QToolButton* browseButton() const { return button_; }

    // The browse command: a file-open dialog "Browse" through the dialogs seam.
    void Browse();

    // The file the browse dialog starts with: the whole text when a file of that name
    // exists, otherwise its first word (a word in double quotes may hold blanks).
    static QString BrowseStartPath(const QString& text);
    // A browsed path as it goes into the box: in double quotes when it holds a blank
    // and does not already begin with one.
    static QString QuoteBrowsedPath(const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* edit_;
    QToolButton* button_;
    QString lastFolder_;
};

} // namespace quillet::ui
