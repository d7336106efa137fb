// TEditGrid's delimited text files: the exact bytes written, the lines read, and what
// a failed save or load leaves behind.
#include "core/Errors.h"
#include "widgets/qt/TEditGrid.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using quillet::EFCreateError;
using quillet::EFOpenError;
using quillet::widgets::TEditGrid;

namespace {

std::unique_ptr<TEditGrid> MakeGrid(int cols, int rows) {
    auto grid = std::make_unique<TEditGrid>();
    grid->SetColCount(cols);
    grid->SetRowCount(rows);
    return grid;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<missing>";
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QStringList Row(const TEditGrid& grid, int row) {
    QStringList out;
    for (int c = 0; c < grid.ColCount(); ++c)
        out << grid.Cells(c, row);
    return out;
}

} // namespace

class TstEditGridFiles : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.isValid()); }

    void savedBytes();
    void scheduleFixtureIsWhatTheGridWrites();
    void savedTitleLine();
    void saveWithoutFileNameWritesNothing();
    void failedSaveKeepsOldFileAndGrid_data();
    void failedSaveKeepsOldFileAndGrid();

    void lineEnds_data();
    void lineEnds();
    void fewerLinesThanRows();
    void emptyAndMissingFiles();
    void titleLineAndCSV();
    void delimiterInsideACellRoundTrips();
    void lineBreakInsideACellKeepsTheRow();
    void unreadableFileChangesNothing();
    void badInputLoadsAsText();

private:
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

void TstEditGridFiles::savedBytes() {
    auto grid = MakeGrid(4, 5);
    grid->SetCells(0, 1, "fixed"); // the fixed column is never written
    grid->SetCells(1, 1, "x");
    grid->SetCells(3, 1, "y");
    grid->SetCells(0, 2, "fixed only"); // a row with only blanks or nothing is left out
    grid->SetCells(2, 3, "say \"hi\""); // quotes inside are not doubled
    grid->SetCells(1, 4, " ");          // a blank is text: the row is written
    grid->SetCells(1, 0, "Title");      // no title line asked for
    const QString file = path("sched.dat");
    grid->SaveToDelimitedFile(file, '\t', false);
    QCOMPARE(ReadAll(file), QByteArray("\"x\"\t\t\"y\"\r\n"
                                       "\t\"say \"hi\"\"\t\r\n"
                                       "\" \"\t\t\r\n"));
    QCOMPARE(grid->Modified(), false);

    // No text in the data rows: an empty file.
    auto empty = MakeGrid(4, 3);
    empty->SetCells(1, 0, "Title");
    empty->SaveToDelimitedFile(file, '\t', false);
    QCOMPARE(ReadAll(file), QByteArray());
}

// The scheduler's table as the window's grid holds it; the fixture is shared with the
// schedule file's test, which reads it without Qt and writes it back.
void TstEditGridFiles::scheduleFixtureIsWhatTheGridWrites() {
    auto grid = MakeGrid(4, 6);
    const QStringList cells[] = {{"Nightly", "/data/a.cfg", "d|1|2026-12-05"},
                                 {"", "/data/b b.cfg", ""},
                                 {"", "", ""},
                                 {"B\u00fcro, 2. Stock", "/srv/B\u00fcro/w.cfg", "w|2|2026-11-30"},
                                 {"two\nlines", "/x\ty.cfg", "m|1|2026-01-31"}};
    for (int row = 1; row <= 5; ++row)
        for (int col = 1; col <= 3; ++col)
            grid->SetCells(col, row, cells[row - 1][col - 1]);
    const QString file = path("schedfile.dat");
    grid->SaveToDelimitedFile(file, '\t', false);
    const QByteArray fixture = ReadAll(QStringLiteral(SCHEDULE_FIXTURE));
    QCOMPARE(ReadAll(file), fixture);

    auto loaded = MakeGrid(4, 2);
    loaded->LoadFromDelimitedFile(QStringLiteral(SCHEDULE_FIXTURE), '\t', false);
    QCOMPARE(loaded->RowCount(), 5);
    QCOMPARE(loaded->Cells(1, 3), QString("B\u00fcro, 2. Stock"));
    loaded->SaveToDelimitedFile(file, '\t', false);
    QCOMPARE(ReadAll(file), fixture);
}

void TstEditGridFiles::savedTitleLine() {
    auto grid = MakeGrid(4, 2);
    grid->SetCells(0, 0, "corner");
    grid->SetCells(2, 0, "B");
    grid->SetCells(3, 0, "C");
    grid->SetCells(2, 1, "b,1");
    const QString file = path("t.csv");
    grid->SaveToCSVFile(file, true);
    QCOMPARE(ReadAll(file), QByteArray("B,C\r\n,\"b,1\",\r\n"));
    // Empty titles between others keep their place; an all-empty title line is written.
    grid->SetCells(1, 0, "A");
    grid->SetCells(2, 0, "");
    grid->SaveToDelimitedFile(file, ';', true);
    QCOMPARE(ReadAll(file), QByteArray("A;;C\r\n;\"b,1\";\r\n"));
    auto untitled = MakeGrid(3, 2);
    untitled->SaveToCSVFile(file, true);
    QCOMPARE(ReadAll(file), QByteArray("\r\n"));
}

void TstEditGridFiles::saveWithoutFileNameWritesNothing() {
    auto grid = MakeGrid(3, 2);
    grid->SetCells(1, 1, "x");
    grid->SaveToDelimitedFile(QString(), '\t', false);
    QCOMPARE(grid->Cells(1, 1), QString("x"));
}

void TstEditGridFiles::failedSaveKeepsOldFileAndGrid_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("read-only file") << "readonly";
    QTest::newRow("missing folder") << "nofolder";
    QTest::newRow("folder in the way") << "folder";
}

void TstEditGridFiles::failedSaveKeepsOldFileAndGrid() {
    QFETCH(QString, kind);
    QString file = path("old.dat");
    WriteAll(file, "\"old\"\r\n");
    if (kind == "readonly")
        QVERIFY(QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    else if (kind == "nofolder")
        file = path("no/such/folder/new.dat");
    else
        file = dir.path();
    auto grid = MakeGrid(3, 3);
    grid->SetCells(1, 1, "new");
    grid->SetModified(true);
    try {
        grid->SaveToDelimitedFile(file, '\t', false);
        QFAIL("no error");
    } catch (const EFCreateError& e) {
        // The file, then the system's reason.
        const QString message = QString::fromStdString(e.what());
        QVERIFY2(message.startsWith("Cannot create file " + file + ". ") &&
                     message.size() > file.size() + 22, qPrintable(message));
    }
    QCOMPARE(ReadAll(path("old.dat")), QByteArray("\"old\"\r\n"));
    QCOMPARE(grid->Cells(1, 1), QString("new"));
    QCOMPARE(grid->Modified(), true);
    // No temporary file is left behind.
    QCOMPARE(QDir(dir.path()).entryList({".~*"}, QDir::Files | QDir::Hidden), QStringList());
    QFile::setPermissions(path("old.dat"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

void TstEditGridFiles::lineEnds_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("CR LF") << QByteArray("a\tb\r\nc\r\n\r\nd");
    QTest::newRow("lone CR") << QByteArray("a\tb\rc\r\rd\r");
    QTest::newRow("lone LF") << QByteArray("a\tb\nc\n\nd\n");
    QTest::newRow("mixed") << QByteArray("a\tb\r\nc\n\rd\r\n");
}

void TstEditGridFiles::lineEnds() {
    QFETCH(QByteArray, bytes);
    const QString file = path("in.dat");
    WriteAll(file, bytes);
    auto grid = MakeGrid(4, 2);
    grid->LoadFromDelimitedFile(file, '\t', false);
    QCOMPARE(grid->RowCount(), 5);
    QCOMPARE(Row(*grid, 1), (QStringList{"", "a", "b", ""}));
    QCOMPARE(grid->Cells(1, 2), QString("c"));
    QCOMPARE(Row(*grid, 3), (QStringList{"", "", "", ""})); // an empty line is an empty row
    QCOMPARE(grid->Cells(1, 4), QString("d"));
    QVERIFY(grid->Modified());
}

void TstEditGridFiles::fewerLinesThanRows() {
    const QString file = path("in.dat");
    WriteAll(file, "\"one\"\t\" two \"\r\n\"x\"\r\n");
    auto grid = MakeGrid(4, 6);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 4; ++c)
            grid->SetCells(c, r, "old");
    grid->SetCurrentCell(2, 5);
    grid->LoadFromDelimitedFile(file, '\t', false);
    QCOMPARE(grid->RowCount(), 3);
    QCOMPARE(Row(*grid, 0), (QStringList{"", "", "", ""})); // titles too, and the fixed column
    QCOMPARE(Row(*grid, 1), (QStringList{"", "one", "two", ""}));
    QCOMPARE(Row(*grid, 2), (QStringList{"", "x", "", ""}));
    QCOMPARE(grid->Row(), 2); // brought back within the grid
    // Rows cut off by the load come back empty.
    grid->AddRow();
    QCOMPARE(Row(*grid, 3), (QStringList{"", "", "", ""}));
}

void TstEditGridFiles::emptyAndMissingFiles() {
    auto grid = MakeGrid(3, 4);
    grid->SetCells(1, 2, "keep");
    grid->LoadFromDelimitedFile(path("missing.dat"), '\t', false);
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Cells(1, 2), QString("keep"));
    QCOMPARE(grid->Modified(), false);
    // A folder of that name counts as missing.
    grid->LoadFromDelimitedFile(dir.path(), '\t', false);
    QCOMPARE(grid->Modified(), false);

    WriteAll(path("empty.dat"), "");
    grid->LoadFromDelimitedFile(path("empty.dat"), '\t', true);
    QCOMPARE(grid->RowCount(), 2);
    QCOMPARE(grid->Cells(1, 1), QString());
    QVERIFY(grid->Modified());
}

void TstEditGridFiles::titleLineAndCSV() {
    const QString file = path("t.csv");
    WriteAll(file, "Name,Path\r\n\"a\",\"b\"\r\nc,d,ignored\r\n");
    auto grid = MakeGrid(3, 2);
    grid->LoadFromCSVFile(file);
    QCOMPARE(grid->RowCount(), 3);
    QCOMPARE(Row(*grid, 0), (QStringList{"", "Name", "Path"}));
    QCOMPARE(Row(*grid, 1), (QStringList{"", "a", "b"}));
    QCOMPARE(Row(*grid, 2), (QStringList{"", "c", "d"}));
    grid->SaveToCSVFile(file, true);
    QCOMPARE(ReadAll(file), QByteArray("Name,Path\r\n\"a\",\"b\"\r\n\"c\",\"d\"\r\n"));
    grid->LoadFromCSVFile(file);
    grid->LoadFromCSVFile(file);
    QCOMPARE(grid->RowCount(), 3);
}

void TstEditGridFiles::delimiterInsideACellRoundTrips() {
    auto grid = MakeGrid(4, 3);
    grid->SetCells(1, 1, "a\tb");
    grid->SetCells(2, 1, "  padded  ");
    grid->SetCells(3, 2, QString::fromUtf8("C:\\D\xc3\xa4ten\\x.cfg"));
    const QString file = path("rt.dat");
    grid->SaveToDelimitedFile(file, '\t', false);
    auto back = MakeGrid(4, 2);
    back->LoadFromDelimitedFile(file, '\t', false);
    QCOMPARE(back->Cells(1, 1), QString("a\tb"));
    QCOMPARE(back->Cells(2, 1), QString("padded")); // blanks at the ends do not survive
    QCOMPARE(back->Cells(3, 2), QString::fromUtf8("C:\\D\xc3\xa4ten\\x.cfg"));
}

// The whole file is read before the grid is emptied.
// A lone CR or LF stays in an edited cell, but the file cannot hold it: written as is, it
// would split the row and move its later cells into a row of their own.
void TstEditGridFiles::lineBreakInsideACellKeepsTheRow() {
    auto grid = MakeGrid(4, 3);
    grid->SetCells(1, 0, "Multi\nline");
    grid->SetCells(1, 1, "two\nlines");
    grid->SetCells(2, 1, "/p.cfg");
    grid->SetCells(3, 1, "d|1|2026-12-05");
    grid->SetCells(1, 2, "cr\rhere\r\n");
    const QString file = path("breaks.dat");
    grid->SaveToDelimitedFile(file, '\t', true);
    QCOMPARE(ReadAll(file), QByteArray("Multi line\t\t\r\n"
                                       "\"two lines\"\t\"/p.cfg\"\t\"d|1|2026-12-05\"\r\n"
                                       "\"cr here  \"\t\t\r\n"));
    grid->LoadFromDelimitedFile(file, '\t', true);
    QCOMPARE(grid->RowCount(), 3);
    QCOMPARE(grid->Cells(2, 1), QString("/p.cfg"));
    QCOMPARE(grid->Cells(3, 1), QString("d|1|2026-12-05"));
    // The cells themselves keep their text.
    auto kept = MakeGrid(3, 2);
    kept->SetCells(1, 1, "a\nb");
    kept->SaveToDelimitedFile(file, ',', false);
    QCOMPARE(kept->Cells(1, 1), QString("a\nb"));
}

void TstEditGridFiles::unreadableFileChangesNothing() {
    // A file that exists but whose first read fails.
    const QString file = "/proc/self/mem";
    if (!QFileInfo(file).isFile())
        QSKIP("no file here that exists and cannot be read");
    auto grid = MakeGrid(3, 4);
    grid->SetCells(1, 3, "keep");
    try {
        grid->LoadFromDelimitedFile(file, '\t', false);
        QFAIL("no error");
    } catch (const EFOpenError&) {
    }
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->Cells(1, 3), QString("keep"));
    QCOMPARE(grid->Modified(), false);
}

void TstEditGridFiles::badInputLoadsAsText() {
    auto grid = MakeGrid(4, 2);
    const QString file = path("bad.dat");

    QRandomGenerator random(5);
    QByteArray garbage(256 * 1024, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random.bounded(256));
    WriteAll(file, garbage);
    grid->LoadFromDelimitedFile(file, '\t', true);
    QVERIFY(grid->RowCount() >= 2);
    grid->SortByColumn(1, true);
    grid->SaveToDelimitedFile(path("out.dat"), '\t', true);

    // NUL bytes are text; at the ends of a field they are blanks and trimmed.
    WriteAll(file, QByteArray("a\0b\t\"c\0d\0\"\r\n", 12));
    grid->LoadFromDelimitedFile(file, '\t', false);
    QCOMPARE(grid->Cells(1, 1), QString::fromLatin1("a\0b", 3));
    QCOMPARE(grid->Cells(2, 1), QString::fromLatin1("c\0d", 3));

    // Unbalanced quotes: the rest of the line is one field.
    WriteAll(file, "\"open\tstill\r\nnext\t\"x\r\n");
    grid->LoadFromDelimitedFile(file, '\t', false);
    QCOMPARE(grid->Cells(1, 1), QString("\"open\tstill"));
    QCOMPARE(grid->Cells(2, 1), QString());
    QCOMPARE(grid->Cells(1, 2), QString("next"));
    QCOMPARE(grid->Cells(2, 2), QString("\"x"));

    // Lines of a megabyte.
    QByteArray longLine(1024 * 1024, 'x');
    WriteAll(file, longLine + "\t" + longLine + "\"\r\n" + longLine);
    grid->LoadFromDelimitedFile(file, '\t', false);
    QCOMPARE(grid->RowCount(), 3);
    QCOMPARE(grid->Cells(1, 1).size(), qsizetype(1024 * 1024));
    QCOMPARE(grid->Cells(2, 1).size(), qsizetype(1024 * 1024 + 1));
    grid->SaveToDelimitedFile(path("out.dat"), '\t', false);
    QCOMPARE(QFileInfo(path("out.dat")).size(), qint64(3 * 1024 * 1024 + 15));
}

QTEST_MAIN(TstEditGridFiles)
#include "tst_editgrid_files.moc"
