// The file names under which the programs are delivered side by side, the path
// separator their folders end with, the engine an empty engine path means, and the names the administrator shows for the
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
// An empty engine path stays empty: the engine has to be named.
inline constexpr bool EmptyEngineMeansStandIn = false;
#else
inline constexpr const char* CompactorProgramName = "Quillet";
inline constexpr const char* EngineProgramName = "QuilletEngine";
inline constexpr const char* SchedProgramName = "QuilletSched";
inline constexpr char PathSeparator = '/';
// The stand-in engine compacts SQLite files, whatever their names end with.
inline constexpr const char* DatabaseFilePatterns = "*.mdb *.accdb *.db *.sqlite *.sqlite3";
inline constexpr const char* DropHint = "Drag files from \na file manager -->";
// An empty engine path means the stand-in beside the compactor, the only engine there is.
inline constexpr bool EmptyEngineMeansStandIn = true;
#endif

} // namespace quillet::platform
