// The scheduler window (and the history window it leads to) as the main window sees
// them; the scheduler keeps its files in the main window's data folder.
#pragma once

#include "admin/win32/Startup.h"

#include <memory>

namespace quillet::admin {

std::unique_ptr<SchedulerWindow> CreateSchedulerWindows(TForm1& mainWindow);

} // namespace quillet::admin
