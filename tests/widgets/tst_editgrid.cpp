// TEditGrid: keys, title clicks, edited text, row and column operations, sorting.
#include "widgets/qt/TEditGrid.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

using quillet::widgets::TEditGrid;
using quillet::widgets::TGridRect;

namespace {

// A grid like the scheduler's: one fixed row and column, `cols` columns, `rows` rows,
// data cells filled with "r<row>c<col>".
std::unique_ptr<TEditGrid> MakeGrid(int cols, int rows, bool fill = true) {
    auto grid = std::make_unique<TEditGrid>();
    grid->setObjectName("EditGrid1");
    grid->SetColCount(cols);
    grid->SetRowCount(rows);
    grid->resize(500, 300);
    if (fill)
        for (int r = 1; r < rows; ++r)
            for (int c = 1; c < cols; ++c)
                grid->SetCells(c, r, QString("r%1c%2").arg(r).arg(c));
    return grid;
}

QStringList Column(const TEditGrid& grid, int col) {
    QStringList out;
    for (int r = grid.FixedRows(); r < grid.RowCount(); ++r)
        out << grid.Cells(col, r);
    return out;
}

bool RowEmpty(const TEditGrid& grid, int row) {
    for (int c = 0; c < grid.ColCount(); ++c)
        if (!grid.Cells(c, row).isEmpty() || grid.Objects(c, row).isValid())
            return false;
    return true;
}

// A press and release on a cell as the user makes it, through whichever widget shows it.
void ClickCell(TEditGrid& grid, int col, int row, Qt::MouseButton button = Qt::LeftButton) {
    const QRect r = grid.CellRect(col, row);
    QVERIFY2(r.isValid(), "cell not shown");
    const QPoint centre = r.center();
    QWidget* target = grid.childAt(centre);
    QVERIFY(target);
    QTest::mouseClick(target, button, {}, target->mapFrom(&grid, centre));
}

void ShowAndFocus(TEditGrid& grid) {
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    grid.activateWindow();
    grid.setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
}

// The widget that receives a key the user types: the open cell editor or the grid.
QWidget* KeyTarget(TEditGrid& grid) {
    QWidget* focus = QApplication::focusWidget();
    return focus ? focus : &grid;
}

} // namespace

class TstEditGrid : public QObject {
    Q_OBJECT

private slots:
    void valuesAtCreation();

    void downOnLastRow_data();
    void downOnLastRow();
    void tabOnLastRow_data();
    void tabOnLastRow();
    void downAndTabElsewhereAddNothing();
    void keysThroughTheCellEditor();

    void titleClicksSortAscendingThenDescending();
    void titleClickWithoutSorting();
    void titleClickTakesTextStillInTheEditor();
    void pressOnColumnBorderResizesWithoutSorting();

    void editedTextLineBreaks_data();
    void editedTextLineBreaks();
    void editedTextWithoutEOLToSpace();
    void codeDoesNotSetModified();
    void editorTextCommittedWhileOpen();
    void longTextSurvivesTheEditor();
    void pathColumnTipIsTheOwners();

    void sortComparesBytesFoldingOnlyLetters();
    void sortMovesWholeRows();
    void sortIsTheGivenQuicksort();
    void sortMatchesTheGivenQuicksortOnRandomTables();

    void deleteRowEdgeCases();
    void deleteRowKeepsViewInGrid();
    void deleteRowWithTheEditorOpen();
    void deleteColumnEdgeCases();
    void insertAndMoveRows();
    void colWidthsChangedEvent();
};

void TstEditGrid::valuesAtCreation() {
    TEditGrid grid;
    QCOMPARE(grid.NewRowOnKeyDown(), TEditGrid::kdAlways);
    QCOMPARE(grid.SortOnTitleClick(), TEditGrid::tcAscending);
    QCOMPARE(grid.Modified(), false);
    QCOMPARE(grid.EOLToSpace(), true);
    QVERIFY(!grid.OnColWidthsChanged());
    QCOMPARE(int(TEditGrid::kdLastRowNotEmpty), 2);
    QCOMPARE(int(TEditGrid::tcDescending), 2);
    QCOMPARE(sizeof(TEditGrid::TOnKeyDown), std::size_t(1));
    QCOMPARE(grid.FixedRows(), 1);
    QCOMPARE(grid.FixedCols(), 1);
    const auto expected = TEditGrid::goFixedVertLine | TEditGrid::goFixedHorzLine | TEditGrid::goVertLine |
                          TEditGrid::goHorzLine | TEditGrid::goRangeSelect | TEditGrid::goRowSizing |
                          TEditGrid::goColSizing | TEditGrid::goEditing | TEditGrid::goTabs |
                          TEditGrid::goAlwaysShowEditor;
    QCOMPARE(grid.Options(), expected);
    // The published names are there for the window's stored values.
    QCOMPARE(grid.property("Modified").toBool(), false);
    QVERIFY(grid.setProperty("NewRowOnKeyDown", QVariant::fromValue(TEditGrid::kdNever)));
    QCOMPARE(grid.NewRowOnKeyDown(), TEditGrid::kdNever);
    QCOMPARE(grid.Row(), 1);
    QCOMPARE(grid.Col(), 1);
}

void TstEditGrid::downOnLastRow_data() {
    QTest::addColumn<int>("rule");
    QTest::addColumn<QString>("fixedCellText");
    QTest::addColumn<QString>("dataCellText");
    QTest::addColumn<bool>("adds");
    QTest::newRow("always, empty row") << int(TEditGrid::kdAlways) << ""
                                       << "" << true;
    QTest::newRow("never, filled row") << int(TEditGrid::kdNever) << "x"
                                       << "y" << false;
    QTest::newRow("not empty, empty row") << int(TEditGrid::kdLastRowNotEmpty) << ""
                                          << "" << false;
    QTest::newRow("not empty, fixed cell only") << int(TEditGrid::kdLastRowNotEmpty) << "x"
                                                << "" << true;
    QTest::newRow("not empty, data cell") << int(TEditGrid::kdLastRowNotEmpty) << ""
                                          << "y" << true;
}

void TstEditGrid::downOnLastRow() {
    QFETCH(int, rule);
    QFETCH(QString, fixedCellText);
    QFETCH(QString, dataCellText);
    QFETCH(bool, adds);
    auto grid = MakeGrid(4, 3, false);
    grid->SetNewRowOnKeyDown(TEditGrid::TOnKeyDown(rule));
    grid->SetCells(0, 2, fixedCellText);
    grid->SetCells(3, 2, dataCellText);
    grid->SetCurrentCell(2, 2);
    QTest::keyClick(grid.get(), Qt::Key_Down);
    QCOMPARE(grid->RowCount(), adds ? 4 : 3);
    QCOMPARE(grid->Row(), adds ? 3 : 2);
    QCOMPARE(grid->Col(), 2);
    QCOMPARE(grid->Modified(), false);
    if (adds)
        QVERIFY(RowEmpty(*grid, 3));
}

void TstEditGrid::tabOnLastRow_data() {
    QTest::addColumn<int>("rule");
    QTest::addColumn<bool>("adds");
    QTest::newRow("always") << int(TEditGrid::kdAlways) << true;
    QTest::newRow("never") << int(TEditGrid::kdNever) << false;
    QTest::newRow("not empty, empty row") << int(TEditGrid::kdLastRowNotEmpty) << false;
}

void TstEditGrid::tabOnLastRow() {
    QFETCH(int, rule);
    QFETCH(bool, adds);
    auto grid = MakeGrid(4, 3, false);
    grid->SetNewRowOnKeyDown(TEditGrid::TOnKeyDown(rule));
    grid->SetCurrentCell(3, 2);
    QTest::keyClick(grid.get(), Qt::Key_Tab);
    QCOMPARE(grid->RowCount(), adds ? 4 : 3);
    QCOMPARE(grid->Modified(), false);
    if (adds) {
        // Tab goes on into the new row's first cell.
        QCOMPARE(grid->Row(), 3);
        QCOMPARE(grid->Col(), 1);
        QVERIFY(RowEmpty(*grid, 3));
    } else {
        QCOMPARE(grid->Row(), 2);
    }
}

void TstEditGrid::downAndTabElsewhereAddNothing() {
    auto grid = MakeGrid(4, 4);
    grid->SetCurrentCell(2, 2);
    QTest::keyClick(grid.get(), Qt::Key_Down);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Row(), 3);
    // Tab on the last row but not in the last column.
    grid->SetCurrentCell(2, 3);
    QTest::keyClick(grid.get(), Qt::Key_Tab);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Col(), 3);
    // Other keys, Insert and Delete among them, add and remove nothing.
    QTest::keyClick(grid.get(), Qt::Key_Insert);
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Cells(3, 3), QString("r3c3"));
}

void TstEditGrid::keysThroughTheCellEditor() {
    auto grid = MakeGrid(3, 2, false);
    ShowAndFocus(*grid);
    grid->SetCurrentCell(1, 1);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QTest::keyClicks(KeyTarget(*grid), "abc");
    QTest::keyClick(KeyTarget(*grid), Qt::Key_Down);
    QCOMPARE(grid->Cells(1, 1), QString("abc"));
    QCOMPARE(grid->RowCount(), 3);
    QCOMPARE(grid->Row(), 2);
    QVERIFY(grid->Modified()); // by the edit, not by the new row

    grid->SetModified(false);
    grid->SetCurrentCell(2, 2);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QTest::keyClick(KeyTarget(*grid), Qt::Key_Tab);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Row(), 3);
    QCOMPARE(grid->Col(), 1);
    QCOMPARE(grid->Modified(), false);
}

void TstEditGrid::titleClicksSortAscendingThenDescending() {
    auto grid = MakeGrid(3, 4, false);
    const QStringList names{"b", "A", "c"};
    const QStringList numbers{"2", "10", "9"};
    for (int i = 0; i < 3; ++i) {
        grid->SetCells(1, i + 1, names[i]);
        grid->SetCells(2, i + 1, numbers[i]);
    }
    ShowAndFocus(*grid);
    ClickCell(*grid, 1, 0);
    QCOMPARE(Column(*grid, 1), (QStringList{"A", "b", "c"}));
    QCOMPARE(Column(*grid, 2), (QStringList{"10", "2", "9"}));
    QVERIFY(grid->Modified());
    // The next click, on another column, sorts descending.
    ClickCell(*grid, 2, 0);
    QCOMPARE(Column(*grid, 2), (QStringList{"9", "2", "10"}));
    QCOMPARE(Column(*grid, 1), (QStringList{"c", "b", "A"}));
    // Any button counts, and the direction keeps alternating.
    ClickCell(*grid, 1, 0, Qt::RightButton);
    QCOMPARE(Column(*grid, 1), (QStringList{"A", "b", "c"}));
    // tcDescending behaves as tcAscending.
    grid->SetSortOnTitleClick(TEditGrid::tcDescending);
    ClickCell(*grid, 1, 0);
    QCOMPARE(Column(*grid, 1), (QStringList{"c", "b", "A"}));
    // A click on a data cell sorts nothing.
    ClickCell(*grid, 1, 2);
    QCOMPARE(Column(*grid, 1), (QStringList{"c", "b", "A"}));
}

void TstEditGrid::titleClickWithoutSorting() {
    auto grid = MakeGrid(3, 4, false);
    grid->SetCells(1, 1, "b");
    grid->SetCells(1, 2, "A");
    grid->SetCells(1, 3, "c");
    grid->SetSortOnTitleClick(TEditGrid::tcNone);
    ShowAndFocus(*grid);
    ClickCell(*grid, 1, 0);
    ClickCell(*grid, 2, 0);
    QCOMPARE(Column(*grid, 1), (QStringList{"b", "A", "c"}));
    QCOMPARE(grid->Modified(), false);
    // Switched on again, the first click sorts ascending: tcNone did not flip the flag.
    grid->SetSortOnTitleClick(TEditGrid::tcAscending);
    ClickCell(*grid, 1, 0);
    QCOMPARE(Column(*grid, 1), (QStringList{"A", "b", "c"}));
}

void TstEditGrid::titleClickTakesTextStillInTheEditor() {
    auto grid = MakeGrid(3, 4, false);
    grid->SetCells(1, 1, "m");
    grid->SetCells(1, 2, "b");
    grid->SetCells(1, 3, "c");
    ShowAndFocus(*grid);
    grid->SetCurrentCell(1, 1);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QTest::keyClick(KeyTarget(*grid), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(KeyTarget(*grid), "zz");
    ClickCell(*grid, 1, 0);
    QCOMPARE(Column(*grid, 1), (QStringList{"b", "c", "zz"}));
    QVERIFY(grid->Modified());
}

void TstEditGrid::pressOnColumnBorderResizesWithoutSorting() {
    auto grid = MakeGrid(3, 4, false);
    grid->SetCells(1, 1, "b");
    grid->SetCells(1, 2, "A");
    ShowAndFocus(*grid);
    const QRect title = grid->CellRect(1, 0);
    QHeaderView* header = grid->horizontalHeader();
    const QPoint border = header->viewport()->mapFrom(grid.get(), QPoint(title.right(), title.center().y()));
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, border);
    QTest::mouseMove(header->viewport(), border + QPoint(30, 0));
    QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, border + QPoint(30, 0));
    QCOMPARE(Column(*grid, 1), (QStringList{"b", "A", ""}));
    QCOMPARE(grid->Modified(), false);
}

void TstEditGrid::editedTextLineBreaks_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("one pair") << "a\r\nb"
                              << "a b";
    QTest::newRow("two pairs") << "a\r\n\r\nb"
                               << "a  b";
    QTest::newRow("lone CR and LF stay") << "a\rb\nc"
                                         << "a\rb\nc";
    QTest::newRow("CR CR LF LF") << "a\r\r\n\nb"
                                 << "a\r \nb";
}

// The text reaches the editor as the user pastes it: line breaks cannot be typed.
void TstEditGrid::editedTextLineBreaks() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    auto grid = MakeGrid(3, 3, false);
    ShowAndFocus(*grid);
    grid->SetCurrentCell(1, 1);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QApplication::clipboard()->setText(typed);
    QTest::keyClick(KeyTarget(*grid), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(KeyTarget(*grid), Qt::Key_Down);
    QCOMPARE(grid->Cells(1, 1), stored);
    QVERIFY(grid->Modified());
}

void TstEditGrid::editedTextWithoutEOLToSpace() {
    auto grid = MakeGrid(3, 3, false);
    grid->SetEOLToSpace(false);
    ShowAndFocus(*grid);
    grid->SetCurrentCell(1, 1);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QApplication::clipboard()->setText("a\r\nb");
    QTest::keyClick(KeyTarget(*grid), Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(KeyTarget(*grid), Qt::Key_Down);
    QCOMPARE(grid->Cells(1, 1), QString("a\r\nb"));
    QVERIFY(grid->Modified());
}

void TstEditGrid::codeDoesNotSetModified() {
    auto grid = MakeGrid(3, 3, false);
    ShowAndFocus(*grid);
    grid->SetCells(1, 1, "x");
    grid->SetCells(2, 1, "a\r\nb"); // no EOL rule for code either
    grid->SetObjects(1, 1, 7);
    // An editor opened and left without a change sets nothing either.
    grid->SetCurrentCell(1, 1);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QTest::keyClick(KeyTarget(*grid), Qt::Key_Down);
    QCOMPARE(grid->Cells(2, 1), QString("a\r\nb"));
    QCOMPARE(grid->Cells(1, 1), QString("x"));
    QCOMPARE(grid->Modified(), false);
}

// Owners read the cells while the user may still be typing in a cell (a save from the
// menu, the close question): the typed text must be in the cell, the editor must stay
// open with its cursor where it was, and only typing counts as an edit.
void TstEditGrid::editorTextCommittedWhileOpen() {
    auto grid = MakeGrid(3, 3, false);
    grid->SetCells(1, 1, "bc");
    ShowAndFocus(*grid);
    grid->SetCurrentCell(1, 1);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());

    QVERIFY(!grid->Typing()); // open, but nothing typed yet
    grid->CommitEditorText();
    QCOMPARE(grid->Cells(1, 1), QString("bc"));
    QCOMPARE(grid->Modified(), false);

    QTest::keyClick(editor, Qt::Key_Home);
    QTest::keyClicks(editor, "a");
    QVERIFY(grid->Typing());
    grid->CommitEditorText();
    QVERIFY(!grid->Typing());
    QCOMPARE(grid->Cells(1, 1), QString("abc"));
    QVERIFY(grid->Modified());
    QCOMPARE(QApplication::focusWidget(), editor);
    QCOMPARE(editor->cursorPosition(), 1);
    QTest::keyClicks(editor, "x");
    QCOMPARE(editor->text(), QString("axbc"));

    // Once the owner has saved, the text taken before is no new edit.
    grid->CommitEditorText();
    grid->SetModified(false);
    grid->CommitEditorText();
    QTest::keyClick(editor, Qt::Key_Down);
    QCOMPARE(grid->Cells(1, 1), QString("axbc"));
    QCOMPARE(grid->Modified(), false);

    // No editor open: nothing happens.
    grid->clearFocus();
    QTRY_VERIFY(!grid->viewport()->findChild<QLineEdit*>() ||
                !grid->viewport()->findChild<QLineEdit*>()->isVisible());
    grid->CommitEditorText();
    QCOMPARE(grid->Modified(), false);
}

// Cells hold text of any length; a line editor's default limit must not cut a cell that
// the user merely passes through.
void TstEditGrid::longTextSurvivesTheEditor() {
    auto grid = MakeGrid(3, 3, false);
    const QString longText(100000, QLatin1Char('x'));
    grid->SetCells(1, 1, longText);
    ShowAndFocus(*grid);
    grid->SetCurrentCell(1, 1);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    QTest::keyClick(KeyTarget(*grid), Qt::Key_Down);
    QCOMPARE(grid->Cells(1, 1).size(), longText.size());
    QCOMPARE(grid->Modified(), false);
}

// A path cell's tip says what the owner says about the path; other cells ask nothing.
void TstEditGrid::pathColumnTipIsTheOwners() {
    auto grid = MakeGrid(3, 3);
    grid->SetPathCol(2);
    int asked = 0;
    grid->TipText = [&](int col, int row) {
        ++asked;
        return grid->Cells(col, row) + " (whole)";
    };
    grid->show();
    QVERIFY(QTest::qWaitForWindowExposed(grid.get()));
    const auto help = [&](int col, int row) {
        const QPoint at = grid->viewport()->mapFrom(grid.get(), grid->CellRect(col, row).center());
        QHelpEvent event(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(grid->viewport(), &event);
    };
    help(2, 2);
    QCOMPARE(QToolTip::text(), QStringLiteral("r2c2 (whole)"));
    help(1, 2);
    QCOMPARE(asked, 1);
}

void TstEditGrid::sortComparesBytesFoldingOnlyLetters() {
    auto grid = MakeGrid(2, 9, false);
    // '_' (0x5F) lies between 'Z' and 'a'; only a-z fold, so "_" sorts after "z".
    // Accented letters are not folded and sort by their bytes, after ASCII.
    const QStringList texts{"b", "_", "A", "", "z", "ab", QString::fromUtf8("\xc3\xa9"), "AA"};
    for (int i = 0; i < texts.size(); ++i)
        grid->SetCells(1, i + 1, texts[i]);
    grid->SortByColumn(1, true);
    QCOMPARE(Column(*grid, 1),
             (QStringList{"", "A", "AA", "ab", "b", "z", "_", QString::fromUtf8("\xc3\xa9")}));
    QVERIFY(grid->Modified());
    grid->SortByColumn(1, false);
    QCOMPARE(Column(*grid, 1),
             (QStringList{QString::fromUtf8("\xc3\xa9"), "_", "z", "b", "ab", "AA", "A", ""}));
}

void TstEditGrid::sortMovesWholeRows() {
    auto grid = MakeGrid(3, 4, false);
    const QStringList keys{"c", "a", "b"};
    for (int i = 0; i < 3; ++i) {
        grid->SetCells(0, i + 1, "fixed" + keys[i]);
        grid->SetCells(1, i + 1, keys[i]);
        grid->SetCells(2, i + 1, "v" + keys[i]);
        grid->SetObjects(2, i + 1, i);
    }
    grid->SetCells(1, 0, "title");
    grid->SetRowHeights(1, 40);
    grid->SortByColumn(1, true);
    QCOMPARE(Column(*grid, 0), (QStringList{"fixeda", "fixedb", "fixedc"}));
    QCOMPARE(Column(*grid, 2), (QStringList{"va", "vb", "vc"}));
    QCOMPARE(grid->Objects(2, 1).toInt(), 1);
    QCOMPARE(grid->Objects(2, 3).toInt(), 0);
    QCOMPARE(grid->Cells(1, 0), QString("title"));
    QCOMPARE(grid->RowHeights(1), 40);
    // The fixed column can be the key too.
    grid->SortByColumn(0, false);
    QCOMPARE(Column(*grid, 1), (QStringList{"c", "b", "a"}));
    QCOMPARE(grid->RowCount(), 4);
    // A column that does not exist sorts nothing.
    grid->SetModified(false);
    grid->SortByColumn(7, true);
    QCOMPARE(grid->Modified(), false);
}

// The sort is not stable; equal keys end where the given quicksort puts them.
void TstEditGrid::sortIsTheGivenQuicksort() {
    auto grid = MakeGrid(3, 6, false);
    const QStringList keys{"x", "x", "x", "x", "x"};
    for (int i = 0; i < 5; ++i) {
        grid->SetCells(1, i + 1, keys[i]);
        grid->SetCells(2, i + 1, QString::number(i + 1));
    }
    grid->SortByColumn(1, true);
    // L=1,R=5, pivot row 3: exchanges 1<->5 and 2<->4, then 3 with itself; then the
    // parts 1..2 and 4..5 exchange their two rows each.
    QCOMPARE(Column(*grid, 2), (QStringList{"4", "5", "3", "1", "2"}));

    // Many equal keys and a large table stay within the stack.
    auto big = MakeGrid(2, 50001, false);
    for (int r = 1; r < big->RowCount(); ++r)
        big->SetCells(1, r, (r % 3) ? "same" : QString::number(r % 97));
    big->SortByColumn(1, true);
    QCOMPARE(big->Cells(1, 1), QString("0"));
    QCOMPARE(big->Cells(1, big->RowCount() - 1), QString("same"));
}

namespace {

using Rows = std::vector<std::pair<std::string, int>>; // sort text, row id

// The quicksort as written down for the grid, exchanging whole rows, recursion on the
// left part first: the grid's order must be exactly this, equal texts included.
void ReferenceQuickSort(Rows& rows, int L, int R) {
    int I = 0;
    do {
        I = L;
        int J = R;
        const std::string pivot = rows[static_cast<std::size_t>((L + R) / 2)].first;
        do {
            while (rows[static_cast<std::size_t>(I)].first < pivot)
                ++I;
            while (rows[static_cast<std::size_t>(J)].first > pivot)
                --J;
            if (I <= J) {
                if (I != J)
                    std::swap(rows[static_cast<std::size_t>(I)], rows[static_cast<std::size_t>(J)]);
                ++I;
                --J;
            }
        } while (I <= J);
        if (L < J)
            ReferenceQuickSort(rows, L, J);
        L = I;
    } while (I < R);
}

std::string Folded(const std::string& text) {
    std::string key = text;
    for (char& c : key)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return key;
}

} // namespace

void TstEditGrid::sortMatchesTheGivenQuicksortOnRandomTables() {
    std::mt19937 random(20261206);
    const std::string alphabet = "aAbB_1 ";
    for (int round = 0; round < 200; ++round) {
        const int count = 1 + static_cast<int>(random() % 40);
        auto grid = MakeGrid(3, count + 1, false);
        Rows rows;
        for (int i = 0; i < count; ++i) {
            std::string text;
            for (unsigned n = random() % 4; n > 0; --n)
                text += alphabet[random() % alphabet.size()];
            grid->SetCells(1, i + 1, QString::fromStdString(text));
            grid->SetCells(2, i + 1, QString::number(i));
            rows.emplace_back(Folded(text), i);
        }
        const bool ascending = round % 2 == 0;
        grid->SortByColumn(1, ascending);
        ReferenceQuickSort(rows, 0, count - 1);
        if (!ascending)
            std::reverse(rows.begin(), rows.end());
        QStringList expected;
        for (const auto& row : rows)
            expected << QString::number(row.second);
        QCOMPARE(Column(*grid, 2), expected);
    }
}

void TstEditGrid::deleteRowEdgeCases() {
    // The only data row stays, emptied.
    auto one = MakeGrid(3, 2);
    one->DeleteRow(1);
    QCOMPARE(one->RowCount(), 2);
    QVERIFY(RowEmpty(*one, 1));
    QVERIFY(one->Modified());

    // The last of several rows goes; a middle row's followers move up.
    auto grid = MakeGrid(3, 5);
    grid->SetCurrentCell(1, 4);
    grid->DeleteRow(4);
    QCOMPARE(grid->RowCount(), 4);
    grid->AddRow();
    QVERIFY(RowEmpty(*grid, 4));
    grid->SetCurrentCell(1, 2);
    grid->DeleteRow(2);
    QCOMPARE(Column(*grid, 1), (QStringList{"r1c1", "r3c1", ""}));
    QCOMPARE(grid->Row(), 2);

    // The current cell in the title row: nothing happens.
    grid->SetModified(false);
    grid->SetCurrentCell(1, 0);
    grid->DeleteRow(1);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Modified(), false);

    // A fixed row's index from a data row: nothing happens, the titles stay.
    grid->SetCells(1, 0, "Title");
    grid->SetCurrentCell(1, 1);
    grid->DeleteRow(0);
    QCOMPARE(grid->Cells(1, 0), QString("Title"));
    QCOMPARE(grid->Cells(1, 1), QString("r1c1"));
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Modified(), false);
    grid->DeleteRow(9);
    QCOMPARE(grid->RowCount(), 4);
}

void TstEditGrid::deleteRowKeepsViewInGrid() {
    auto grid = MakeGrid(3, 60);
    ShowAndFocus(*grid);
    grid->SetTopRow(40);
    grid->SetCurrentCell(1, 59);
    grid->SetSelection({1, 57, 2, 59});
    const int top = grid->TopRow();
    QVERIFY(top > 1);
    grid->DeleteRow(59);
    QCOMPARE(grid->RowCount(), 59);
    QCOMPARE(grid->Row(), 58);
    QCOMPARE(grid->Selection(), (TGridRect{1, 57, 2, 58}));
    QVERIFY(grid->TopRow() >= top - 1);
    grid->SetCurrentCell(2, 30);
    grid->SetSelection({2, 30, 2, 30});
    grid->DeleteRow(30);
    QCOMPARE(grid->Row(), 30);
    QCOMPARE(grid->Col(), 2);
    QCOMPARE(grid->Cells(1, 30), QString("r31c1"));
}

// The emptied row must not get its old text back from the editor that was open on it.
void TstEditGrid::deleteRowWithTheEditorOpen() {
    auto grid = MakeGrid(3, 2);
    ShowAndFocus(*grid);
    grid->SetCurrentCell(1, 1);
    QTRY_VERIFY(qobject_cast<QLineEdit*>(QApplication::focusWidget()));
    grid->DeleteRow(1);
    grid->SetCurrentCell(2, 1); // commits the editor of the cell left
    QVERIFY(RowEmpty(*grid, 1));
}

void TstEditGrid::deleteColumnEdgeCases() {
    auto grid = MakeGrid(4, 3);
    grid->SetCurrentCell(1, 1);
    grid->DeleteColumn(3);
    QCOMPARE(grid->ColCount(), 4);
    QVERIFY(grid->Cells(3, 1).isEmpty() && grid->Cells(3, 2).isEmpty());
    QVERIFY(grid->Modified());
    grid->DeleteColumn(1);
    QCOMPARE(grid->ColCount(), 3);
    QCOMPARE(grid->Cells(1, 1), QString("r1c2"));

    // The current cell in the fixed column: nothing happens.
    grid->SetModified(false);
    grid->SetCurrentCell(0, 1);
    grid->DeleteColumn(1);
    QCOMPARE(grid->ColCount(), 3);
    QCOMPARE(grid->Modified(), false);

    // The only data column of a two-column grid stays, emptied.
    auto two = MakeGrid(2, 3);
    two->SetCurrentCell(1, 2);
    two->DeleteColumn(1);
    QCOMPARE(two->ColCount(), 2);
    QVERIFY(two->Cells(1, 1).isEmpty());
    // Without fixed columns the last column stays too.
    auto bare = MakeGrid(1, 3);
    bare->SetFixedCols(0);
    bare->SetCells(0, 1, "x");
    bare->SetCurrentCell(0, 1);
    bare->DeleteColumn(0);
    QCOMPARE(bare->ColCount(), 1);
    QVERIFY(bare->Cells(0, 1).isEmpty());
}

void TstEditGrid::insertAndMoveRows() {
    auto grid = MakeGrid(3, 4);
    grid->InsertRow(2);
    QCOMPARE(grid->RowCount(), 5);
    QCOMPARE(Column(*grid, 1), (QStringList{"r1c1", "", "r2c1", "r3c1"}));
    QVERIFY(grid->Modified());
    grid->InsertRow(99); // beyond the end: appended
    QCOMPARE(grid->RowCount(), 6);
    QVERIFY(RowEmpty(*grid, 5));

    grid->SetModified(false);
    grid->MoveRow(1, 3);
    QCOMPARE(Column(*grid, 1), (QStringList{"", "r2c1", "r1c1", "r3c1", ""}));
    QVERIFY(grid->Modified());
    grid->MoveRow(4, 1);
    QCOMPARE(Column(*grid, 1), (QStringList{"r3c1", "", "r2c1", "r1c1", ""}));

    // Inserting at a fixed row's index is taken as it comes: the titles move down.
    grid->SetCells(1, 0, "Title");
    grid->InsertRow(0);
    QCOMPARE(grid->Cells(1, 0), QString());
    QCOMPARE(grid->Cells(1, 1), QString("Title"));
}

void TstEditGrid::colWidthsChangedEvent() {
    auto grid = MakeGrid(4, 3);
    QList<QObject*> senders;
    grid->SetOnColWidthsChanged([&](QObject* sender) { senders << sender; });
    grid->SetColWidths(2, 120);
    QCOMPARE(grid->ColWidths(2), 120);
    QVERIFY(!senders.isEmpty());
    QCOMPARE(senders.last(), grid.get());
    senders.clear();
    grid->SetColWidths(0, 32);
    QCOMPARE(grid->ColWidths(0), 32);
    QCOMPARE(senders.size(), 1);
}

QTEST_MAIN(TstEditGrid)
#include "tst_editgrid.moc"
