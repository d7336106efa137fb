// QuilletSched: the schedule of its own folder without a window. "--due" is what the
// system's scheduler starts every hour; the other options install and inspect that
// trigger.
#include "core/AdminSettings.h"
#include "core/HistoryFile.h"
#include "core/ProgramOptions.h"
#include "core/Reports.h"
#include "core/RunHistory.h"
#include "platform/Arguments.h"
#include "platform/Console.h"
#include "platform/DataFolder.h"
#include "platform/DesktopNotice.h"
#include "platform/SelfPath.h"
#include "scheduler/Background.h"
#include "scheduler/BackgroundCheck.h"
#include "scheduler/FleetOverview.h"
#include "scheduler/ScheduleFile.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace quillet;
using namespace quillet::scheduler;

namespace {

const char Usage[] =
    "Usage: QuilletSched OPTION\n"
    "Runs the schedule of the folder QuilletSched lies in (\"schedfile.dat\" and \"Quillet.ini\")\n"
    "without QuilletAdmin. Installed for all users on Linux (/usr/lib/quillet), it runs the\n"
    "schedule of the user's data folder: $XDG_DATA_HOME/quillet, by default ~/.local/share/quillet.\n"
    "\n"
    "  --due        run every entry that is due now, as QuilletAdmin's timer does: only\n"
    "               during the hour StartTime, one entry after the other\n"
    "               then it delivers the reports that earlier passes could not and,\n"
    "               once a day from DigestAt (section [Reports]), the fleet's digest\n"
    "  --install    install the background check: an hourly \"QuilletSched --due\" by the\n"
    "               system's scheduler (a systemd user timer, or a crontab line without a\n"
    "               systemd user manager; on Windows a Task Scheduler task)\n"
    "  --uninstall  remove the background check of this folder\n"
    "  --status     what is installed, when it runs next, whether it runs while you are\n"
    "               logged out, and the last check's result\n"
    "  --fleet      one line per machine of the fleet folder (FleetFolder in section\n"
    "               [Reports] of Quillet.ini): last pass, last good pass, failures since;\n"
    "               FAILING when a configuration's latest pass was not ok, SILENT when no\n"
    "               pass came within the machine's own ExpectEvery + Grace hours\n"
    "  --help       this text\n"
    "  --version    the version\n"
    "\n"
    "Exit codes:\n"
    "  0   nothing was due, or every due entry ran and each of its databases is ok or\n"
    "      unchanged in the run history (also when another check was under way and this\n"
    "      one was skipped)\n"
    "  1   an entry's run had failures (see compact-history.csv next to the compactor), or\n"
    "      the compactor could not be started; with --fleet: a machine is failing or silent\n"
    "  2   the schedule or its settings could not be read (with --fleet: no fleet folder is\n"
    "      set, or it cannot be read), or a setting is refused (a\n"
    "      StartTime that is no whole hour from 0 to 23: due entries then run during the\n"
    "      hour 01, as in QuilletAdmin)\n"
    "  3   the schedule could not be written after a run (the run may be repeated)\n"
    "  4   the background check could not be installed or removed\n"
    "  64  unknown or missing option\n";

std::int64_t UnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

int Due(const std::string& folder) {
    SystemClock clock;
    SystemProcessRunner runner;
    const CheckOutcome outcome = RunScheduleCheck(folder, clock, runner);
    // The morning digest, and reports that an earlier pass could not deliver; silent, as
    // what fails is in error.log.
    QueueDigestIfDue(platform::DataFolder(), platform::LocalNow(), UnixNow());
    DeliverOutbox(platform::DataFolder());
    // A check with nothing to report stays silent: cron mails whatever a job prints.
    // A schedule or setting that could not be used is an error, on standard error; the
    // summary names the first problem.
    const bool unusable = outcome.exitCode == CheckUnreadable;
    if (outcome.runs > 0 || outcome.skipped || !outcome.problems.empty())
        std::fprintf(unusable ? stderr : stdout, "%s\n", outcome.summary.c_str());
    for (std::size_t i = 1; i < outcome.problems.size(); ++i)
        std::fprintf(stderr, "%s\n", outcome.problems[i].c_str());
    if (outcome.exitCode == CheckRunFailures || outcome.exitCode == CheckUnwritable) {
        const FailureNotice notice = MakeFailureNotice(outcome, CompactorFileOf(AdminSettings(folder).QuilletPath(), HistoryFileName));
        platform::ShowDesktopNotice(notice.title, notice.body);
    }
    return outcome.exitCode;
}

int Fleet(const std::string& dataFolder) {
    const FleetAnswer answer = FleetOverview(dataFolder, UnixNow());
    std::fprintf(answer.exitCode == CheckUnreadable ? stderr : stdout, "%s", answer.text.c_str());
    if (answer.exitCode == CheckUnreadable)
        std::fprintf(stderr, "\n");
    return answer.exitCode;
}

} // namespace

int main(int argc, char** argv) {
    if (const auto code = AnswerStandardOption({argv + 1, argv + argc}, "QuilletSched", Usage))
        return *code;
    platform::UseParentConsole();
    const std::vector<std::string> args = platform::ProgramArguments(argc, argv);
    const std::string option = args.size() == 1 ? args[0] : "";
    const BackgroundTarget target{platform::DataFolder(), platform::ExecutablePath()};
    if (option == "--due")
        return Due(platform::ExecutableFolder());
    if (option == "--install" || option == "--uninstall") {
        const TriggerResult r = option == "--install" ? InstallTrigger(target) : UninstallTrigger(target);
        std::printf("%s\n", r.message.c_str());
        return r.ok ? CheckOk : CheckTriggerFailed;
    }
    if (option == "--fleet")
        return Fleet(target.folder);
    if (option == "--status") {
        std::printf("%s", DescribeStatus(QueryTrigger(target), ReadLastCheck(target.folder)).c_str());
        return CheckOk;
    }
    std::fprintf(stderr, "%s", Usage);
    return CheckUsage;
}
