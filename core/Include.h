// Routines shared by the compactor and the administrator. Text is UTF-8; no routine
// keeps state between calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace quillet {

// A calendar date as a whole-day serial: day 0 is 30 December 1899.
using Date = int;

// Field `index` of a `sep`-separated list in which double quotes group text.
std::string GetField(const std::string& text, char sep, int index);
// As GetField, but two double quotes in a row stand for one literal double quote.
std::string GetQuotedField(const std::string& text, char sep, int index);
// The trimmed text, in double quotes when it holds a space and is not quoted already.
std::string QuotePath(const std::string& text);
// The file name without folder and extension.
std::string FileBaseName(const std::string& path);
// The first `count` characters.
std::string LeftText(const std::string& text, int count);
// A blank is any character from 0 to 32.
std::string TrimText(const std::string& text);
// A to Z made a to z; every other byte, UTF-8 included, left as it is.
std::string LowerAscii(std::string text);

Date EncodeDate(int year, int month, int day); // no range check; see TryEncodeDate
std::optional<Date> TryEncodeDate(int year, int month, int day);
void DecodeDate(Date date, int& year, int& month, int& day);
std::string DateToDashText(Date date);
// Throws EConvertError "'<text>' is not a valid date".
Date DashTextToDate(const std::string& text);

std::string ShiftText(const std::string& text, int amount);
std::string UnshiftText(const std::string& text, int amount);

// Window show modes passed on to the started program.
constexpr std::uint16_t SW_HIDE_MODE = 0;
constexpr std::uint16_t SW_SHOWNORMAL_MODE = 1;

// True when the program was started and has ended, whatever its exit code; the code
// is stored in *exitCode when asked for (128 + signal for a child killed by a signal).
bool RunAndWait(const std::string& commandLine, std::uint16_t showMode, int* exitCode = nullptr);
// Starts without waiting; true when the program was started.
bool LaunchProgram(const std::string& commandLine);
// Appends one line and CR LF; on failure gives the "Access Error" notice (which also
// keeps the line elsewhere, platform/Notice.h) and returns false.
bool AppendLogLine(const std::string& path, const std::string& line);

// Command lines are held in a buffer of this many characters and a terminating zero.
constexpr std::size_t MaxCommandLine = 512;

} // namespace quillet
