// Runs the compactor in a fresh folder, as the real program copied there or as a pass
// of its library with its files in that folder, and reads back what it left: the lines
// of "error.log" (each checked for its date and time) and the calls that recording
// engines received.
#pragma once

#include "compactor/Compactor.h"
#include "core/Include.h"
#include "platform/Files.h"
#include "platform/FsPath.h"
#include "platform/Profile.h"
#include "platform/TextFile.h"
#include "platform/RegionalTime.h"
#include "platform/SelfPath.h"
#include "tests/support/BinDir.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quillet::test {

inline std::int64_t UnixNow() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

inline std::vector<std::string> SplitText(const std::string& text, const std::string& sep) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(sep, start);
        if (at == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, at - start));
        start = at + sep.size();
    }
}

class QuilletFolder {
public:
    QuilletFolder() {
        quillet_ = dir_.file("Quillet" + ExeSuffix);
        std::filesystem::copy_file(BinDir() + "Quillet" + ExeSuffix, quillet_);
    }

    const TempDir& dir() const { return dir_; }
    std::string file(const std::string& name) const { return dir_.file(name); }
    const std::string& quillet() const { return quillet_; }
    std::string logPath() const { return dir_.file("error.log"); }

    // Copies a program into a folder of its own (created when needed) and returns its path.
    std::string install(const std::string& builtPath, const std::string& relativePath) const {
        const std::filesystem::path target = dir_.path() / platform::FsPath(relativePath);
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file(platform::FsPath(builtPath), target,
                                   std::filesystem::copy_options::overwrite_existing);
        return platform::Utf8Path(target);
    }

    // A configuration file of section "Defaults" with the given key lines (CR LF added),
    // stored as the system's profile functions store such text.
    std::string writeCfg(const std::vector<std::string>& lines, const std::string& name = "run.cfg") const {
        std::string text = "[Defaults]\r\n";
        for (const auto& l : lines)
            text += l + "\r\n";
        WriteBytes(file(name), platform::ProfileFileBytes(text));
        return file(name);
    }

    // Runs the compactor with the given argument text and waits for it; its exit code.
    int run(const std::string& arguments) {
        start_ = UnixNow();
        int code = -1;
        const bool ran =
            RunAndWait(QuotePath(quillet_) + (arguments.empty() ? "" : " " + arguments), SW_HIDE_MODE, &code);
        end_ = UnixNow();
        EXPECT_TRUE(ran) << "the compactor did not start";
        return code;
    }

    // One pass of the compactor's library in this process, its files in this folder;
    // `context` brings what a test changes (the length of a minute, the free space).
    void pass(const std::string& configurationPath, compactor::PassContext context = {}) {
        context.logFolder = dir_.path().string();
        start_ = UnixNow();
        compactor::CompactionPass(configurationPath, std::move(context)).execute();
        end_ = UnixNow();
    }

    // The messages of error.log: every line must end in CR LF and begin with the date
    // and time of a moment during the last run, which is cut off.
    std::vector<std::string> messages() const {
        std::string text;
        if (!platform::ReadTextFile(logPath(), text))
            return {};
        std::set<std::string> stamps;
        for (std::int64_t s = start_ - 1; s <= end_ + 1; ++s) {
            const platform::LocalDateTime m = platform::LocalDateTimeOf(s);
            stamps.insert(platform::ShortDateText(m) + " " + platform::LongTimeText(m));
            stamps.insert(platform::ShortDateText(m));
        }
        EXPECT_TRUE(text.size() >= 2 && text.substr(text.size() - 2) == "\r\n")
            << "log does not end in CR LF";
        std::vector<std::string> lines = SplitText(text, "\r\n");
        lines.pop_back();
        std::vector<std::string> result;
        for (const auto& line : lines) {
            std::string found; // the longest stamp that fits: the date alone is a prefix too
            for (const auto& stamp : stamps)
                if (line.size() > stamp.size() && line.compare(0, stamp.size(), stamp) == 0 &&
                    line[stamp.size()] == ' ' && stamp.size() > found.size())
                    found = stamp;
            EXPECT_FALSE(found.empty()) << "no date and time of the run in front of: " << line;
            result.push_back(line.substr(found.size()));
        }
        return result;
    }

    void clearLog() const { std::filesystem::remove(logPath()); }

private:
    TempDir dir_;
    std::string quillet_;
    std::int64_t start_ = 0;
    std::int64_t end_ = 0;
};

// The free space a pass sees on every volume, the volumes being the real ones.
inline std::function<std::optional<platform::DiskSpace>(const std::string&)> FreeSpace(std::uint64_t bytes) {
    return [bytes](const std::string& path) {
        auto space = platform::DiskSpaceOf(path);
        if (space)
            space->freeBytes = bytes;
        return space;
    };
}

// The calls that the recording engine at `enginePath` received, each a list of arguments.
inline std::vector<std::vector<std::string>> Calls(const std::string& enginePath) {
    const std::string folder = platform::Utf8Path(platform::FsPath(enginePath).parent_path());
    std::string text;
    if (!platform::ReadWholeFile(folder + "/calls.txt", text))
        return {};
    std::vector<std::vector<std::string>> calls;
    for (const auto& line : SplitText(text, "\n"))
        if (!line.empty())
            calls.push_back(SplitText(line, "\t"));
    return calls;
}

inline void ClearCalls(const std::string& enginePath) {
    std::filesystem::remove(platform::FsPath(enginePath).parent_path() / "calls.txt");
}

inline void SetExitCode(const std::string& enginePath, int code) {
    WriteBytes(platform::Utf8Path(platform::FsPath(enginePath).parent_path() / "exitcode.txt"),
               std::to_string(code));
}

// Waits up to `seconds` for a program started without waiting to leave its record.
inline std::vector<std::vector<std::string>> AwaitCalls(const std::string& enginePath, std::size_t count,
                                                        int seconds = 20) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    auto calls = Calls(enginePath);
    while (calls.size() < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        calls = Calls(enginePath);
    }
    return calls;
}

} // namespace quillet::test
