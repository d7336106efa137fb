// The administrator's error reporter: an error that ends an event handler is shown in
// the box "An error occurred in the application." and the program goes on.
#pragma once

#include <QApplication>
#include <QString>
#include <exception>
#include <functional>
#include <utility>

namespace quillet::ui {

class ErrorReporter {
public:
    enum class Choice { Continue, Restart, Close };

    // Shows the error box for a message (and optional details); acts on the choice.
    static void report(const QString& message, const QString& details = {});
    // Turns the exception in flight into a report; call only inside a catch block.
    static void reportCurrentException();

    // Tests replace the box: the sink receives the message and details instead.
    using Sink = std::function<void(const QString& message, const QString& details)>;
    static void setSink(Sink sink);

    // The text of a report: the message, the error's kind, the program and the system.
    static QString ReportText(const QString& message, const QString& details);
};

// The administrator's application object: whatever escapes an event handler in spite
// of guarded() ends up in the error reporter instead of ending the program.
class GuardedApplication : public QApplication {
public:
    GuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Runs one event handler; whatever it throws goes to the error reporter instead of
// unwinding through Qt's event dispatch.
template <class F> void guarded(F&& handler) noexcept {
    try {
        std::forward<F>(handler)();
    } catch (...) {
        ErrorReporter::reportCurrentException();
    }
}

} // namespace quillet::ui
