// The boxes' and the strip's side of a face's SchedulerView, the same in both faces: what
// each state means for which control. `Form` holds the controls under the window's names
// (Label1, Edit1, Label2, edtInterval, edtStart, lblLastRun, chkBackground, lblBackground,
// lblRun, barRun); `Kit` draws one control with the face's toolkit: label(w, text),
// fill(box, text) (shown, typing mark gone), text(box), modified(box), clearMark(box),
// focusAll(box), show(w, on), showBar(bar, on), check(box, on), choose(form, frequency).
// No toolkit.
#pragma once

#include "scheduler/ScheduleGrid.h"
#include "scheduler/SchedulerFace.h"

#include <optional>
#include <string>

namespace quillet::scheduler {

template <class Form, class Cells, class Kit> class FaceView : public GridView<Form, Cells> {
public:
    using Box = SchedulerView::Box;
    using GridView<Form, Cells>::GridView;

    void showFrequency(int index, const std::optional<SchedulerView::Every>& every) override {
        Kit::choose(f, index);
        Kit::show(f.Label1, every.has_value());
        Kit::show(f.Edit1, every.has_value());
        Kit::show(f.Label2, every.has_value());
        if (every) {
            Kit::label(f.Label2, every->unit);
            Kit::fill(f.Edit1, every->value);
        }
    }
    void showText(Box which, const std::string& text) override { Kit::fill(box(which), text); }
    std::string text(Box which) const override { return Kit::text(box(which)); }
    std::optional<std::string> takeTyped(Box which) override {
        const auto edit = box(which);
        if (!Kit::modified(edit))
            return std::nullopt;
        Kit::clearMark(edit);
        return Kit::text(edit);
    }
    bool holdsTyped(Box which) const override { return Kit::modified(box(which)); }
    void focus(Box which) override { Kit::focusAll(box(which)); }

    void showStatus(const std::string& text) override { Kit::label(f.lblLastRun, text); }
    void showBackground(bool installed, const std::string& text) override {
        Kit::check(f.chkBackground, installed);
        Kit::label(f.lblBackground, text);
    }
    void showRun(const std::string& text) override {
        Kit::label(f.lblRun, text);
        Kit::show(f.lblRun, !text.empty());
        Kit::showBar(f.barRun, !text.empty());
    }
    void armTimer(int periodMs) override { arm(face::Timer::Schedule, periodMs); }
    void armPoll(int periodMs) override { arm(face::Timer::Poll, periodMs); }

protected:
    using GridView<Form, Cells>::f;

    // The window's timer of that kind at `periodMs`, restarted; 0 stops it.
    virtual void arm(face::Timer timer, int periodMs) = 0;

    auto box(Box which) const {
        return which == Box::Every ? f.Edit1 : which == Box::Interval ? f.edtInterval : f.edtStart;
    }
};

} // namespace quillet::scheduler
