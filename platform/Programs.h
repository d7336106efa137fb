// The file names under which the programs are delivered side by side, the path
// separator their folders end with, and the names the administrator shows for the
// files the engine compacts and the hint at the list they are dropped onto.
#pragma once

namespace quillet::platform {

#ifdef _WIN32
inline constexpr const char* CompactorProgramName = "Quillet.exe";
inline constexpr const char* EngineProgramName = "QuilletEngine.exe";
inline constexpr const char* SchedProgramName = "QuilletSched.exe";
inline constexpr char PathSeparator = '\\';
inline constexpr const char* DatabaseFilePatterns = "*.mdb *.accdb";
inline constexpr const char* DropHint = "Drag files from \nExplorer here -->";
#else
inline constexpr const char* CompactorProgramName = "Quillet";
inline constexpr const char* EngineProgramName = "QuilletEngine";
inline constexpr const char* SchedProgramName = "QuilletSched";
inline constexpr char PathSeparator = '/';
// The stand-in engine compacts SQLite files, whatever their names end with.
inline constexpr const char* DatabaseFilePatterns = "*.mdb *.accdb *.db *.sqlite *.sqlite3";
inline constexpr const char* DropHint = "Drag files from \na file manager -->";
#endif

} // namespace quillet::platform
