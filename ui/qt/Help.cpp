#include "ui/qt/Help.h"

#include "platform/Shell.h"
#include "ui/qt/Dialogs.h"
#include "ui/qt/HelpViewer.h"
#include "ui/qt/Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QWidget>

namespace quillet::ui {

namespace {

QString& helpFile() {
    static QString file;
    return file;
}

std::uintptr_t nativeOwner(QWidget* parent) {
    return parent ? static_cast<std::uintptr_t>(parent->window()->winId()) : 0;
}

// The system's help engine where there is one, otherwise our viewer.
class DesktopHelp : public HelpEngine {
public:
    void contents(QWidget* parent, const QString& file) override {
        show(parent, file, platform::HelpRequest::Contents, QString(), 0,
             [](THelpViewer& viewer) { viewer.showContents(); });
    }
    void search(QWidget* parent, const QString& file, const QString& key) override {
        show(parent, file, platform::HelpRequest::PartialKey, key, 0,
             [&key](THelpViewer& viewer) { viewer.showSearch(key); });
    }
    void topic(QWidget* parent, const QString& file, int topic) override {
        show(parent, file, platform::HelpRequest::Topic, QString(), topic,
             [topic](THelpViewer& viewer) { viewer.showTopic(topic); });
    }

private:
    template <class InViewer>
    static void show(QWidget* parent, const QString& file, platform::HelpRequest request, const QString& key,
                     int topic, InViewer inViewer) {
        if (platform::HasSystemShell()) {
            platform::SystemHelp(nativeOwner(parent), ToStd(file), request, ToStd(key), topic);
            return;
        }
        if (THelpViewer* viewer = open(parent, file))
            inViewer(*viewer);
    }

    static THelpViewer* open(QWidget* parent, const QString& file) {
        THelpViewer* viewer = THelpViewer::shared(parent);
        QString why;
        if (!viewer->load(file, &why)) {
            Dialogs::instance().error(
                parent, QString(),
                QStringLiteral("Cannot open the help file %1. %2").arg(QDir::toNativeSeparators(file), why));
            return nullptr;
        }
        viewer->show();
        viewer->raise();
        viewer->activateWindow();
        return viewer;
    }
};

std::unique_ptr<HelpEngine>& installed() {
    static std::unique_ptr<HelpEngine> engine;
    return engine;
}

} // namespace

void SetHelpFile(const QString& path) {
    helpFile() = path;
}

QString HelpFile() {
    if (!helpFile().isEmpty())
        return helpFile();
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QStringLiteral("/Quillet.hlp"));
}

void ShowHelpContents(QWidget* parent) {
    HelpEngine::instance().contents(parent, HelpFile());
}

void ShowHelpSearch(QWidget* parent, const QString& key) {
    HelpEngine::instance().search(parent, HelpFile(), key);
}

void ShowHelpTopic(QWidget* parent, int topic) {
    HelpEngine::instance().topic(parent, HelpFile(), topic);
}

HelpEngine& HelpEngine::instance() {
    static DesktopHelp real;
    auto& engine = installed();
    return engine ? *engine : real;
}

void HelpEngine::setInstance(std::unique_ptr<HelpEngine> engine) {
    installed() = std::move(engine);
}

} // namespace quillet::ui
