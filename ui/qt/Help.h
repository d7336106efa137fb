// The administrator's help: the contents, a keyword search and numbered topics of
// "Quillet.hlp" next to the program. Windows hands them to the system's help engine;
// elsewhere our own viewer shows the file, which is HTML with one anchor per topic.
#pragma once

#include "ui/HelpFile.h"

#include <QString>
#include <memory>
#include <vector>

class QWidget;

namespace quillet::ui {

void ShowHelpContents(QWidget* parent);
// A keyword search; an empty key opens the search with nothing typed yet.
void ShowHelpSearch(QWidget* parent, const QString& key);
void ShowHelpTopic(QWidget* parent, int topic);

// The help file the three calls above show: AppFolder + "Quillet.hlp", set once at
// start-up. Until then: "Quillet.hlp" in the folder of the running program.
void SetHelpFile(const QString& path);
QString HelpFile();

// The seam behind the three calls, so tests record help requests instead of opening
// windows.
class HelpEngine {
public:
    virtual ~HelpEngine() = default;
    virtual void contents(QWidget* parent, const QString& helpFile) = 0;
    virtual void search(QWidget* parent, const QString& helpFile, const QString& key) = 0;
    virtual void topic(QWidget* parent, const QString& helpFile, int topic) = 0;

    // The process-wide engine: the system's help engine or our viewer unless a test
    // installed its own.
    static HelpEngine& instance();
    // Takes ownership; nullptr puts the real engine back.
    static void setInstance(std::unique_ptr<HelpEngine> engine);
};

} // namespace quillet::ui
