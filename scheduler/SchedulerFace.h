// What the Qt and the Win32 scheduler window draw alike: the commands with their
// buttons and menu items, the frequency choices and the boxes' labels. Each face adds
// only what its toolkit needs (places and icons). No toolkit.
#pragma once

#include "scheduler/SchedulerPresenter.h"
#include "ui/Menus.h"

#include <cstddef>
#include <iterator>
#include <optional>

namespace quillet::scheduler::face {

// The button bar from left to right; Help and Close have no SchedulerView::Control.
enum class Command { Save, AddRow, DeleteRow, Compact, Help, Close };
inline constexpr int ButtonCount = 5;

struct Button {
    const char* caption;
    const char* hint;
    const char* name; // the Qt face's object name
};
inline constexpr Button Buttons[ButtonCount] = {
    {"Save", "Save scheduler configuration", "BitBtn3"},
    {"insert", "Insert a scheduler record", "BitBtn4"},
    {"Delete", "Delete selected scheduler record", "BitBtn5"},
    {"Compact", "Compact database in selected scheduler configuration file", "BitBtn7"},
    {"Help", "Help", "btnHelp"}};

// The command whose button and menu item a control stands for; none for the other controls.
constexpr std::optional<Command> CommandOf(SchedulerView::Control control) {
    const int at = static_cast<int>(control) - static_cast<int>(SchedulerView::Control::Save);
    return at >= 0 ? std::optional(static_cast<Command>(at)) : std::nullopt;
}

// What the presenter does for a command; none for Help and Close, which are the face's
// (Close hides the window, whatever the presenter's Close answers).
using Action = void (SchedulerPresenter::*)();
inline constexpr Action CommandActions[] = {&SchedulerPresenter::Save, &SchedulerPresenter::AddRow,
                                            &SchedulerPresenter::DeleteRow, &SchedulerPresenter::Compact};
constexpr Action ActionOf(Command command) {
    const auto at = static_cast<std::size_t>(command);
    return at < std::size(CommandActions) ? CommandActions[at] : nullptr;
}

// The window's timers with what each calls: the schedule's (SchedulerView::armTimer),
// the poll of a run (armPoll), and the look at the schedule file, every
// WatchMilliseconds for as long as the window lives.
enum class Timer { Schedule, Poll, Watch };
inline constexpr int TimerCount = 3;
inline constexpr Action TimerActions[TimerCount] = {&SchedulerPresenter::Tick, &SchedulerPresenter::PollRun,
                                                    &SchedulerPresenter::NoticeFileChange};

// The menu bar; an item's command is its face::Command.
inline constexpr ui::MenuLine MenuLines[] = {
    {"File1", "&File", std::nullopt},
    ui::MenuItem("SaveChanges1", "&Save Changes", Command::Save),
    ui::MenuSeparator,
    ui::MenuItem("AddRow1", "&Add Row", Command::AddRow),
    ui::MenuItem("DeleteRow1", "&Delete Row", Command::DeleteRow),
    ui::MenuSeparator,
    ui::MenuItem("Close1", "&Close", Command::Close),
    {"Help1", "&Help", std::nullopt},
    ui::MenuItem("Sheduler1", "&Sheduler", Command::Help),
};

inline constexpr char FrequencyTitle[] = "Schedule";
inline constexpr const char* FrequencyTexts[FrequencyCount] = {"As &Needed", "&Daily", "&Weekly", "&Monthly"};
inline constexpr char EveryLabel[] = "Every";
inline constexpr char IntervalLabel[] = "Timer &Interval (minutes)";
inline constexpr char StartLabel[] = "Start &Time (24 hr format)";
inline constexpr char BackgroundLabel[] = "Run the schedule when QuilletAdmin is closed";

} // namespace quillet::scheduler::face
