// The error box for real faults: "An error occurred in the application." with the
// message, the report behind "Show Details", "Save Report..." (exception_report.txt),
// and Continue, Restart and Close. The program keeps running after Continue.
#pragma once

#include <windows.h>

#include <string>

namespace quillet::ui::win32 {

enum class FaultChoice { Continue, Restart, Close };

// The text of a report: the message, the error's kind, the program and the system.
std::string FaultReportText(const std::string& message, const std::string& details);

// Shows the box modally and returns the user's choice (Continue when it was dismissed).
FaultChoice ShowErrorBox(HWND owner, const std::string& message, const std::string& report);

// Shows the box and acts on the choice: Restart starts the program again and ends
// this one, Close ends it.
void ReportFault(const std::string& message, const std::string& details);

// The caption of the box.
inline const char* const ErrorBoxCaption = "An error occurred in the application.";

} // namespace quillet::ui::win32
