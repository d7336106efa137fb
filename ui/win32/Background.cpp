#include "ui/win32/Background.h"

#include <chrono>

namespace quillet::ui::win32 {

void BackgroundWork::start(HWND window, std::function<std::string()> work, std::function<void(std::string)> done) {
    work_.push_back({std::async(std::launch::async,
                                [work = std::move(work), window, message = doneMessage_] {
                                    // Told also when the work fails: get() hands the failure over.
                                    struct Tell {
                                        HWND window;
                                        UINT message;
                                        ~Tell() { PostMessageW(window, message, 0, 0); }
                                    } tell{window, message};
                                    return work();
                                }),
                     std::move(done)});
}

void BackgroundWork::finished() {
    for (auto w = work_.begin(); w != work_.end();) {
        if (w->result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            ++w;
            continue;
        }
        Work done = std::move(*w);
        w = work_.erase(w);
        done.done(done.result.get());
    }
}

} // namespace quillet::ui::win32
