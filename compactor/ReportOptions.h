// The compactor's own commands for the reports: keeping the mail password and sending a
// test report, so that both can be done from a console or a script.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillet::compactor {

// "--report-password" reads one line from standard input and keeps it for this user;
// "--report-test" sends a test report through every configured channel and prints each
// answer. The exit code, or nothing when `args` names neither.
std::optional<int> AnswerReportOption(const std::vector<std::string>& args, const std::string& dataFolder);

} // namespace quillet::compactor
