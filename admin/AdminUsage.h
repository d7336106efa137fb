// What "QuilletAdmin --help" prints, the same for both faces.
#pragma once

namespace quillet::admin {

inline constexpr char AdminUsage[] =
    "Usage: QuilletAdmin [--help | --version]\n"
    "Opens the Quillet Administrator: edits compaction configuration files (.cfg), creates\n"
    "desktop shortcuts that run the compactor Quillet with one of them, keeps the schedule\n"
    "(schedfile.dat) that runs them while the administrator is open, or by QuilletSched\n"
    "in the background, and shows the run history.\n"
    "\n"
    "  --help     this text\n"
    "  --version  the version\n";

} // namespace quillet::admin
