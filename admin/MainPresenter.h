// The main window without a toolkit: it owns the configuration document, takes the
// user's edits and commands, decides what follows each, and tells its face what to show
// through MainView. The Qt and Win32 faces draw what they are told and forward input.
#pragma once

#include "admin/ConfigDocument.h"
#include "admin/HistoryWatcher.h"
#include "ui/Menus.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillet::admin {

enum class MainCommand {
    New, Open, Save, SaveAs, DeleteEntry, AddFiles, CreateDesktopIcon, Options, Exit,
    Scheduling, History, Contents, KeywordSearch, WebPage, HomePage, EmailFeedback, About,
};

// The menus as both faces show them, in order.
extern const std::vector<ui::MenuLine> MainMenu;

// The toolbar's buttons, in order ("BitBtn1" onwards).
struct ToolEntry {
    const char* caption;
    const char* hint;
    MainCommand command;
};
extern const std::vector<ToolEntry> MainToolbar;

// The window's size and its boxes', in pixels, the same in both faces.
namespace MainLayout {
constexpr int ClientWidth = 534, ClientHeight = 347, EditHeight = 21, BoxWidth = 385;
}

class MainView {
public:
    virtual ~MainView() = default;
    // The document as it is now; a field whose text is the same keeps its caret.
    virtual void showDocument(const std::string& caption, const CfgValues& values, const std::string& quilletPath) = 0;
    virtual void showLastRun(const std::string& text) = 0;
    // The list's selected row, -1 for none.
    virtual int selectedFile() const = 0;
    // The options dialog over the window; nullopt when it was cancelled.
    virtual std::optional<CfgOptions> editOptions(const CfgOptions& options) = 0;
    virtual void showScheduler() = 0;
    virtual void showHistory() = 0;
    virtual void showAbout() = 0;
    virtual void helpContents() = 0;
    virtual void helpSearch() = 0;
    virtual void helpTopic(int topic) = 0;
    // False when the address could not be handed to the browser.
    virtual bool openLink(const std::string& address) = 0;
    virtual void closeWindow() = 0;
    // Asked last before the program ends (a scheduled run going on); false keeps it open.
    virtual bool mayEndProgram() = 0;
    // Runs `work` off the window's thread and hands its result to `done` on it.
    virtual void inBackground(std::function<std::string()> work, std::function<void(std::string)> done) = 0;
};

// The program version as the about box shows it: two decimals, the given decimal
// separator, no grouping.
std::string VersionText(double version, const std::string& decimalSeparator);

class MainPresenter {
public:
    // programPath: the administrator's own program file. Reads the settings and loads
    // the configuration last shown; start() draws it.
    MainPresenter(MainView& view, ui::Prompts& prompts, const std::string& programPath, std::string appTitle);
    void start();

    // Where start-up finds the other windows' files.
    const std::string& AppFolder() const { return appFolder_; } // ends with the path separator
    std::string HelpFilePath() const { return appFolder_ + "Quillet.hlp"; }
    // Where the schedule and the scheduler's settings are kept.
    std::string DataFolder() const;
    const ConfigDocument& Document() const { return doc_; }

    // The user's edits of the field at that index of MainLayout::Fields: a box's text, a
    // check box's click. A face forwards every change signal: those its own drawing
    // causes are dropped here.
    void fieldEdited(std::size_t field, const std::string& text);
    void fieldClicked(std::size_t field, bool on);
    void filesDropped(const std::vector<std::string>& files);

    void run(MainCommand command);
    // The window's close: false keeps it open.
    bool close();
    // The window's timer: the last-run line follows the history file.
    void tick();

private:
    void draw();
    void readLastRun(const std::string& file, const std::string& config);
    void lastRunRead(const std::string& config, const std::string& text);
    void shortcut();
    void homePage();
    void emailFeedback();

    MainView& view_;
    ui::Prompts& prompts_;
    std::string appFolder_;
    std::string appTitle_;
    ConfigDocument doc_;
    HistoryWatcher history_;
    std::string lastRunFor_; // the configuration the last-run line was read for
    bool telling_ = false;   // the view's own signals while it is told what to show are no input
};

} // namespace quillet::admin
