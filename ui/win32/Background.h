// Work run off a window's thread whose result reaches a callback on that thread: the
// work's thread posts a message to the window when it ends (also when it fails), and
// the window's handler of that message calls finished().
#pragma once

#include <windows.h>

#include <functional>
#include <future>
#include <list>
#include <string>

namespace quillet::ui::win32 {

class BackgroundWork {
public:
    explicit BackgroundWork(UINT doneMessage) : doneMessage_(doneMessage) {}
    ~BackgroundWork() { clear(); }
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    void start(HWND window, std::function<std::string()> work, std::function<void(std::string)> done);
    // Hands every ended work's result to its callback; a failure is rethrown there.
    void finished();
    // Waits for the work still running; its callbacks are not called.
    void clear() { work_.clear(); }

private:
    struct Work {
        std::future<std::string> result;
        std::function<void(std::string)> done;
    };
    UINT doneMessage_;
    std::list<Work> work_;
};

} // namespace quillet::ui::win32
