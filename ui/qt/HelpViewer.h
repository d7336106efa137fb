// Our own help window for systems without a help engine: it shows "Quillet.hlp", an
// HTML file with an anchor per topic ("topic61"), a contents page ("contents") and a
// keyword index between two marker comments, which the viewer lists beside the text
// and filters as the user types.
#pragma once

#include "ui/HelpFile.h"

#include <QString>
#include <QUrl>
#include <QWidget>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QTextBrowser;

namespace quillet::ui {

class THelpViewer : public QWidget {
    Q_OBJECT
public:
    explicit THelpViewer(QWidget* parent = nullptr);

    // Loads the file when it is not the one shown; false when it cannot be read, with
    // the system's reason in `why`.
    bool load(const QString& helpFile, QString* why = nullptr);
    void showContents();
    // False when the file has no such topic; the contents are shown then.
    bool showTopic(int topic);
    // Puts the key into the index's filter box and gives it the focus.
    void showSearch(const QString& key);

    // What tests look at: the anchor scrolled to last, the keywords left in the list.
    QString currentAnchor() const { return anchor_; }
    QStringList visibleKeywords() const;

    // The one viewer of the program, made the child window of `owner`'s window so that
    // it takes input also while that window is modal; created on first use.
    static THelpViewer* shared(QWidget* owner);

private:
    void goToAnchor(const QString& anchor);
    void filterIndex(const QString& text);
    void openKeyword();
    void linkClicked(const QUrl& url);

    QString file_;
    std::string html_;
    QString anchor_;
    std::vector<HelpKeyword> keywords_;
    QTextBrowser* HelpText = nullptr;
    QLineEdit* edtKeyword = nullptr;
    QListWidget* lboxIndex = nullptr;
    QLabel* lblStatus = nullptr;
};

} // namespace quillet::ui
