// The one way a presenter ignores the events its own drawing causes: while it tells
// its view what to show, a toolkit's change signals are no user input. Set for the
// length of a scope; nested scopes leave it set.
#pragma once

#include <utility>

namespace quillet::ui {

class Telling {
public:
    explicit Telling(bool& flag) : flag_(flag), was_(std::exchange(flag, true)) {}
    ~Telling() { flag_ = was_; }
    Telling(const Telling&) = delete;
    Telling& operator=(const Telling&) = delete;

private:
    bool& flag_;
    bool was_;
};

} // namespace quillet::ui
