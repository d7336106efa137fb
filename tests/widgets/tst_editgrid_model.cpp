// The grid's rules as both faces see them, on Linux and under wine.
#include "widgets/EditGridModel.h"

#include "core/Errors.h"
#include "platform/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using quillet::widgets::EditGridModel;
using Removal = EditGridModel::Removal;

namespace {

// A 4-column grid (one fixed column) with the given texts in column 1.
EditGridModel Grid(const std::vector<std::string>& column1) {
    EditGridModel grid;
    grid.SetColCount(4);
    grid.SetRowCount(static_cast<int>(column1.size()) + 1);
    for (std::size_t i = 0; i < column1.size(); ++i)
        grid.SetCell(1, static_cast<int>(i) + 1, column1[i]);
    return grid;
}

std::vector<std::string> Column(const EditGridModel& grid, int col) {
    std::vector<std::string> texts;
    for (int r = grid.FixedRows(); r < grid.RowCount(); ++r)
        texts.push_back(grid.Cell(col, r));
    return texts;
}

} // namespace

TEST(EditGridModel, RowsAndColumnsAreRemovedOrEmptiedAndSetModified) {
    EditGridModel one = Grid({"a"});
    EXPECT_FALSE(one.Modified());
    EXPECT_EQ(one.DeleteRow(1, 1), Removal::Emptied);
    EXPECT_EQ(one.RowCount(), 2);
    EXPECT_EQ(one.Cell(1, 1), "");
    EXPECT_TRUE(one.Modified());

    EditGridModel three = Grid({"a", "b", "c"});
    EXPECT_EQ(three.DeleteRow(1, 0), Removal::None); // the current cell is in the title row
    EXPECT_FALSE(three.Modified());
    EXPECT_EQ(three.DeleteRow(2, 2), Removal::Removed);
    EXPECT_EQ(Column(three, 1), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(three.DeleteRow(2, 2), Removal::Removed);
    three.AddRow();
    EXPECT_EQ(Column(three, 1), (std::vector<std::string>{"a", ""}));

    EditGridModel cols = Grid({"a"});
    cols.SetCell(3, 1, "z");
    EXPECT_EQ(cols.DeleteColumn(3, 1), Removal::Emptied);
    EXPECT_EQ(cols.ColCount(), 4);
    EXPECT_EQ(cols.Cell(3, 1), "");
    EXPECT_EQ(cols.DeleteColumn(1, 1), Removal::Removed);
    EXPECT_EQ(cols.ColCount(), 3);

    EditGridModel inserted = Grid({"a", "b"});
    inserted.InsertRow(1);
    EXPECT_EQ(Column(inserted, 1), (std::vector<std::string>{"", "a", "b"}));
}

TEST(EditGridModel, TitleClicksSortAscendingThenDescendingAsTextWithAsciiFolding) {
    EditGridModel grid = Grid({"b", "A", "c", "10", "9"});
    grid.SetCell(0, 1, "row of b");
    EXPECT_TRUE(grid.TitleClick(1));
    EXPECT_EQ(Column(grid, 1), (std::vector<std::string>{"10", "9", "A", "b", "c"}));
    EXPECT_EQ(grid.Cell(0, 4), "row of b"); // fixed cells travel with their row
    EXPECT_TRUE(grid.Modified());
    EXPECT_TRUE(grid.TitleClick(1));
    EXPECT_EQ(Column(grid, 1), (std::vector<std::string>{"c", "b", "A", "9", "10"}));

    grid.SortOnTitleClick = quillet::widgets::tcNone;
    grid.SetModified(false);
    EXPECT_FALSE(grid.TitleClick(1));
    EXPECT_FALSE(grid.Modified());
}

TEST(EditGridModel, KeysAddRowsByTheRuleAndEditsSpaceLineBreaks) {
    EditGridModel grid = Grid({"a"});
    EXPECT_TRUE(grid.NewRowKey(1));
    EXPECT_EQ(grid.RowCount(), 3);
    EXPECT_FALSE(grid.NewRowKey(1)); // not the last row
    EXPECT_FALSE(grid.Modified());

    grid.NewRowOnKeyDown = quillet::widgets::kdLastRowNotEmpty;
    EXPECT_FALSE(grid.NewRowKey(2));
    grid.SetCell(0, 2, "fixed");
    EXPECT_TRUE(grid.NewRowKey(2));
    grid.NewRowOnKeyDown = quillet::widgets::kdNever;
    EXPECT_FALSE(grid.NewRowKey(3));

    grid.EditedTextStored(1, 1, "a\r\nb\r\n\r\nc\rd", false);
    EXPECT_EQ(grid.Cell(1, 1), "a b  c\rd");
    EXPECT_FALSE(grid.Modified());
    grid.EditedTextStored(1, 1, "x", true);
    EXPECT_TRUE(grid.Modified());
}

TEST(EditGridModel, DelimitedFilesKeepTheScheduleBytes) {
    quillet::test::TempDir dir;
    EditGridModel grid = Grid({"x", "", "a\tb"});
    grid.SetCell(3, 1, "y");
    grid.SetCell(2, 3, "  z  ");
    EXPECT_EQ(grid.DelimitedText('\t', false), "\"x\"\t\t\"y\"\r\n\"a\tb\"\t\"  z  \"\t\r\n");

    const std::string path = dir.file("schedfile.dat");
    grid.SaveToDelimitedFile(path, '\t', false);
    EditGridModel loaded = Grid({"old", "old", "old", "old"});
    EXPECT_TRUE(loaded.LoadFromDelimitedFile(path, '\t', false));
    EXPECT_EQ(loaded.RowCount(), 3);
    EXPECT_EQ(loaded.Cell(1, 2), "a\tb");
    EXPECT_EQ(loaded.Cell(2, 2), "z");
    EXPECT_TRUE(loaded.Modified());

    std::string fixture;
    ASSERT_TRUE(quillet::platform::ReadWholeFile(SCHEDULE_FIXTURE, fixture));
    ASSERT_TRUE(loaded.LoadFromDelimitedFile(SCHEDULE_FIXTURE, '\t', false));
    EXPECT_EQ(loaded.DelimitedText('\t', false), fixture);

    EditGridModel untouched = Grid({"keep"});
    EXPECT_FALSE(untouched.LoadFromDelimitedFile(dir.file("missing.dat"), '\t', false));
    EXPECT_EQ(untouched.Cell(1, 1), "keep");
    EXPECT_FALSE(untouched.Modified());
    EXPECT_THROW(grid.SaveToDelimitedFile(dir.file("no folder/schedfile.dat"), '\t', false), quillet::EFCreateError);
}
