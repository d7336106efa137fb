// The administrator's program start: date format, splash window, the windows in their
// order, the message loop.
#pragma once

#include <QString>
#include <memory>

namespace quillet::scheduler {
class TfrmSched;
}

namespace quillet::admin {

class TForm1;
class TAboutBox;

// The process-wide short date format and date separator, for every conversion between
// dates and text that names no format of its own (Qt's format letters).
void SetProcessDateFormat(const QString& shortDateFormat, QChar separator);
QString ShortDateFormat();
QChar DateSeparator();

// The windows that live from start-up to the end of the program, destroyed in the
// reverse order of their creation.
struct AdminWindows {
    AdminWindows();
    ~AdminWindows();
    AdminWindows(const AdminWindows&) = delete;
    AdminWindows& operator=(const AdminWindows&) = delete;

    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TAboutBox> AboutBox;
    std::unique_ptr<scheduler::TfrmSched> frmSched;
};

// Creates the windows in their required order: the main window first (it sets
// AppFolder, which the others read), then the about box, then the scheduler window.
// programPath is the administrator's own program file; empty for the running one.
std::unique_ptr<AdminWindows> CreateWindows(const QString& programPath = QString());

// Program start up to the shown main window: date format, splash shown while the
// windows are created, splash destroyed (also when creation fails), main window shown.
std::unique_ptr<AdminWindows> StartAdministrator(const QString& programPath = QString());

// The whole program: application object, start-up, message loop. Returns the exit code.
int RunAdministrator(int argc, char** argv);

} // namespace quillet::admin
