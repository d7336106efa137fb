#include "compactor/ReportOptions.h"

#include "core/AdminSettings.h"
#include "core/Reports.h"
#include "platform/Console.h"
#include "platform/HostName.h"
#include "platform/SecretStore.h"

#include <cstdio>

namespace quillet::compactor {

namespace {

std::string Folder(const std::string& dataFolder) {
    return dataFolder.empty() || dataFolder.back() == '/' || dataFolder.back() == '\\' ? dataFolder
                                                                                        : dataFolder + "/";
}

// The password comes on standard input, never as an argument, which others may see;
// typed at a terminal it is not shown.
int KeepPassword(const std::string& folder) {
    const std::string password = platform::ReadHiddenLine("Mail password: ");
    std::string reason;
    if (!StoreMailPassword(folder, password, reason)) {
        std::fprintf(stderr, "The mail password could not be kept: %s\n", reason.c_str());
        return 1;
    }
    std::printf("The mail password is kept for this user in %s%s.\n", folder.c_str(), MailPasswordFileName);
    return 0;
}

int SendTest(const std::string& folder) {
    const ReportSettings settings = ReadReportSettings(folder + SettingsFileName);
    for (const auto& problem : settings.problems)
        std::fprintf(stderr, "%s%s: %s\n", folder.c_str(), SettingsFileName, problem.c_str());
    std::string password;
    if (settings.mail && !settings.mail->user.empty()) {
        std::string reason;
        if (const auto kept = platform::LoadSecret(folder + MailPasswordFileName, reason))
            password = *kept;
        else
            std::fprintf(stderr, "mail: %s (Quillet --report-password keeps one)\n", reason.c_str());
    }
    const auto answers = SendTestReports(settings, password, platform::HostName());
    if (answers.empty()) {
        std::printf("No report channel is configured in section [Reports] of %s%s.\n", folder.c_str(),
                    SettingsFileName);
        return 1;
    }
    bool all = true;
    for (const ChannelAnswer& a : answers) {
        std::printf("%s: %s %s\n", a.channel.c_str(), a.delivered ? "delivered." : "NOT delivered:",
                    a.answer.c_str());
        all = all && a.delivered;
    }
    return all ? 0 : 1;
}

} // namespace

std::optional<int> AnswerReportOption(const std::vector<std::string>& args, const std::string& dataFolder) {
    if (args.empty())
        return std::nullopt;
    if (args.front() == "--report-password")
        return KeepPassword(Folder(dataFolder));
    if (args.front() == "--report-test")
        return SendTest(Folder(dataFolder));
    return std::nullopt;
}

} // namespace quillet::compactor
