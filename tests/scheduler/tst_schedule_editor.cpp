// The scheduler window's table without a window: loading, the refusal to save over a
// schedule that could not be read, frequency and N, edits, and the file that the
// background check rewrites meanwhile.
#include "scheduler/ScheduleEditor.h"
#include "tests/support/ScheduleSeams.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillet;
using namespace quillet::scheduler;
using quillet::scheduler::testing::MockClock;

namespace {

const std::string TwoEntries = "\"Nightly\"\t\"/data/a.cfg\"\t\"d|1|2026-12-05\"\r\n"
                               "\t\"/data/b b.cfg\"\t\r\n";

struct Editor {
    test::TempDir dir;
    MockClock clock;
    ScheduleEditor editor{dir.file(""), clock};
    Editor() { clock.day = EncodeDate(2026, 12, 6); }
    std::string path() const { return dir.file("schedfile.dat"); }
    std::string file() const { return test::ReadBytes(path()); }
    void write(const std::string& bytes) const { test::WriteBytes(path(), bytes); }
};

} // namespace

TEST(ScheduleEditor, AMissingScheduleIsEmptyAndSavesEntriesWithText) {
    Editor e;
    EXPECT_FALSE(e.editor.Load());
    EXPECT_TRUE(e.editor.Loaded());
    EXPECT_TRUE(e.editor.Entries().empty());
    e.editor.TakeEdits({{"Nightly", "/data/a.cfg", "d|1|2026-12-05"}, {}, {"", "/data/b b.cfg", ""}}, true);
    EXPECT_TRUE(e.editor.Modified());
    EXPECT_EQ(e.editor.Save().result, ScheduleEditor::SaveResult::Saved);
    EXPECT_EQ(e.file(), TwoEntries);
    EXPECT_FALSE(e.editor.Modified());
    EXPECT_FALSE(e.editor.HasUnsavedChanges());
}

// A schedule that is there but cannot be read is never replaced by the empty table.
TEST(ScheduleEditor, AnUnreadableScheduleIsReportedAndNeverSavedOver) {
    Editor e;
    std::filesystem::create_directory(e.path());
    const auto message = e.editor.Load();
    ASSERT_TRUE(message);
    EXPECT_NE(message->find("Cannot open file " + e.path()), std::string::npos) << *message;
    EXPECT_FALSE(e.editor.Loaded());
    EXPECT_TRUE(e.editor.Entries().empty());
    EXPECT_EQ(e.editor.NoticeFileChange(), ScheduleEditor::FileChange::None);

    e.editor.TakeEdits({{"new", "/new.cfg", "d|1|"}}, true);
    const auto refused = e.editor.Save();
    EXPECT_EQ(refused.result, ScheduleEditor::SaveResult::Refused);
    EXPECT_EQ(
        refused.message.rfind("The schedule was not saved to " + e.path() + ": it could not be read", 0), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(e.path()));
    EXPECT_EQ(e.editor.Refusal(), refused.message); // what a run's save throws

    // Readable again when the user saves: it is loaded, not replaced; saves write from then on.
    std::filesystem::remove(e.path());
    e.write(TwoEntries);
    e.editor.TakeEdits({{"new", "/new.cfg", "d|1|"}}, true);
    const auto reloaded = e.editor.Save();
    EXPECT_EQ(reloaded.result, ScheduleEditor::SaveResult::Reloaded);
    EXPECT_NE(reloaded.message.find("was not overwritten"), std::string::npos);
    EXPECT_EQ(e.file(), TwoEntries);
    EXPECT_TRUE(e.editor.Loaded());
    ASSERT_EQ(e.editor.Entries().size(), 2u);
    EXPECT_EQ(e.editor.Entries()[0].description, "Nightly");
    auto entries = e.editor.Entries();
    entries[1].description = "Second";
    e.editor.TakeEdits(entries, true);
    EXPECT_EQ(e.editor.Save().result, ScheduleEditor::SaveResult::Saved);
    EXPECT_NE(e.file().find("\"Second\"\t\"/data/b b.cfg\"\t\r\n"), std::string::npos);

    // Gone meanwhile: a missing schedule is an empty one, and the table may be saved there.
    std::filesystem::remove(e.path());
    std::filesystem::create_directory(e.path());
    ASSERT_TRUE(e.editor.Load());
    std::filesystem::remove(e.path());
    EXPECT_EQ(e.editor.Save().result, ScheduleEditor::SaveResult::Saved);
    EXPECT_EQ(e.file(), "");
}

TEST(ScheduleEditor, FrequencyAndN) {
    Editor e;
    e.write("\"a\"\t\"/a.cfg\"\t\r\n\"b\"\t\"/b.cfg\"\t\"d|1|2026-11-01\"\r\n\"c\"\t\"/"
            "c.cfg\"\t\"q|1|2026-11-01\"\r\n");
    ASSERT_FALSE(e.editor.Load());
    auto code = [&](int entry) { return e.editor.Entries()[static_cast<std::size_t>(entry)].code; };
    EXPECT_EQ(FrequencyIndex(code(1)), 1);
    EXPECT_EQ(FrequencyIndex(code(2)), 0); // another letter shows As Needed

    // Daily on an entry without code gets today's date; As Needed empties it.
    e.editor.ChooseFrequency(0, 1);
    EXPECT_EQ(code(0), "d|1|2026-12-06");
    e.editor.ChooseFrequency(0, 0);
    EXPECT_EQ(code(0), "");
    // Daily to Weekly to Monthly keeps the date.
    e.editor.ChooseFrequency(1, 2);
    EXPECT_EQ(code(1), "w|1|2026-11-01");
    e.editor.ChooseFrequency(1, 3);
    EXPECT_EQ(code(1), "m|1|2026-11-01");
    // None of this is an edit the close question asks about, but the table differs.
    EXPECT_FALSE(e.editor.Modified());
    EXPECT_TRUE(e.editor.HasUnsavedChanges());

    // N: refused with the field named, the entry keeping its own; an entry without a
    // frequency has none to change.
    EXPECT_EQ(e.editor.SetEvery(1, "x"), "'x' is not a valid Every value: enter a whole number from 1");
    EXPECT_EQ(e.editor.SetEvery(1, "0"), "'0' is not a valid Every value: enter a whole number from 1");
    EXPECT_EQ(code(1), "m|1|2026-11-01");
    EXPECT_FALSE(e.editor.SetEvery(1, "6"));
    EXPECT_EQ(code(1), "m|6|2026-11-01");
    EXPECT_FALSE(e.editor.SetEvery(0, "7"));
    EXPECT_EQ(code(0), "");
    e.editor.TakeEdits({{"bad", "/bad.cfg", "d|x|2026-12-01"}}, false);
    EXPECT_EQ(e.editor.ShownEvery(0), "1");
    EXPECT_EQ(e.editor.CompactProblem(0).value_or("").rfind(
                  "Entry 1 cannot be compacted: in the frequency code 'd|x|", 0),
              0u);
    // A frequency chosen keeps the entry's own N, or 1: never one shown for another entry.
    e.editor.TakeEdits({{"a", "/a.cfg", ""}, {"b", "/b.cfg", "d|2|2026-12-01"}, {"c", "/c.cfg", "d|x|"}}, false);
    e.editor.ChooseFrequency(0, 2);
    e.editor.ChooseFrequency(1, 2);
    e.editor.ChooseFrequency(2, 3);
    EXPECT_EQ(code(0), "w|1|2026-12-06");
    EXPECT_EQ(code(1), "w|2|2026-12-01");
    EXPECT_EQ(code(2), "m|1|2026-12-06");
}

// The background check rewrites the file while the window shows it.
TEST(ScheduleEditor, ChangesOnDiskAreReloadedOrTheirDatesMerged) {
    Editor e;
    e.write("\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-05\"\r\n\"m\"\t\"/data/"
            "month.cfg\"\t\"m|1|2026-11-01\"\r\n");
    ASSERT_FALSE(e.editor.Load());
    EXPECT_EQ(e.editor.NoticeFileChange(), ScheduleEditor::FileChange::None);
    // No unsaved change: the file is taken as it is.
    e.write("\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-06\"\r\n\"m\"\t\"/data/"
            "month.cfg\"\t\"m|1|2026-11-01\"\r\n");
    EXPECT_EQ(e.editor.NoticeFileChange(), ScheduleEditor::FileChange::Reloaded);
    EXPECT_EQ(e.editor.Entries()[0].code, "d|1|2026-12-06");

    // Unsaved edits stay, and the date the check records meanwhile joins them.
    auto entries = e.editor.Entries();
    entries[0].code = "w|2|2026-12-06";
    entries[1].description = "edited";
    e.editor.TakeEdits(entries, true);
    e.write("\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-06\"\r\n\"m\"\t\"/data/"
            "month.cfg\"\t\"m|1|2026-12-07\"\r\n");
    EXPECT_EQ(e.editor.NoticeFileChange(), ScheduleEditor::FileChange::DatesMerged);
    EXPECT_EQ(e.editor.Entries()[1].description, "edited");
    EXPECT_EQ(e.editor.Entries()[0].code, "w|2|2026-12-06");
    EXPECT_EQ(e.editor.Entries()[1].code, "m|1|2026-12-07");

    // A date recorded after the last look, and then a save: nothing is lost.
    e.write("\"n\"\t\"/data/night.cfg\"\t\"d|1|2026-12-08\"\r\n\"m\"\t\"/data/"
            "month.cfg\"\t\"m|1|2026-12-07\"\r\n");
    EXPECT_EQ(e.editor.Save().result, ScheduleEditor::SaveResult::Saved);
    EXPECT_EQ(e.file(), "\"n\"\t\"/data/night.cfg\"\t\"w|2|2026-12-08\"\r\n"
                        "\"edited\"\t\"/data/month.cfg\"\t\"m|1|2026-12-07\"\r\n");
    EXPECT_EQ(e.editor.Entries()[0].code, "w|2|2026-12-08");
    EXPECT_EQ(e.editor.NoticeFileChange(), ScheduleEditor::FileChange::None);
}
