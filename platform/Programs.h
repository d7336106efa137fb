// The file names under which the programs are delivered side by side, and the path
// separator their folders end with.
#pragma once

namespace quillet::platform {

#ifdef _WIN32
inline constexpr const char* CompactorProgramName = "Quillet.exe";
inline constexpr const char* EngineProgramName = "QuilletEngine.exe";
inline constexpr char PathSeparator = '\\';
#else
inline constexpr const char* CompactorProgramName = "Quillet";
inline constexpr const char* EngineProgramName = "QuilletEngine";
inline constexpr char PathSeparator = '/';
#endif

} // namespace quillet::platform
