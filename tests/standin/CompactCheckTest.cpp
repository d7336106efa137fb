// /compact without /repair on damaged files: refused with exit 6 and one line, the file
// byte for byte as it was and nothing left beside it; sound files of the same shapes
// compact with every row and rowid.
#include "DamageCorpus.h"

#include <algorithm>

namespace quillet::test {
namespace {

// Damage of kinds that a plain compaction used to copy or lose, beside the corpus's own.
enum class Plain { RowidsOutOfOrder, DuplicateRowid, FullTextShadow, CellOffsetOutside, OverflowPastEnd,
                   OverflowPastEndCounted, UnknownSchemaType, FewerColumns, LoggedLeaf };

// The corpus database with a STRICT table and a full-text index of its own.
void MakePlainDatabase(const std::string& path, int pageSize) {
    MakeCorpusDatabase(path, pageSize, false);
    Db db(path);
    db.must("CREATE TABLE strict_t(a INTEGER, b TEXT) STRICT;"
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 600) "
            "INSERT INTO strict_t SELECT x, 'strict ' || x FROM n;"
            "CREATE VIRTUAL TABLE ft USING fts5(body);"
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 600) "
            "INSERT INTO ft SELECT 'word' || (x % 17) || ' text ' || x || ' ' || hex(randomblob(20)) FROM n;");
}

std::size_t PageStart(std::uint32_t page, std::uint32_t size) {
    return std::size_t{page - 1} * size;
}

std::uint32_t Get16At(const std::string& bytes, std::size_t at) {
    return std::uint32_t{static_cast<unsigned char>(bytes[at])} << 8 | static_cast<unsigned char>(bytes[at + 1]);
}

void Put16At(std::string& bytes, std::size_t at, std::uint32_t v) {
    bytes[at] = static_cast<char>(v >> 8);
    bytes[at + 1] = static_cast<char>(v);
}

// In the schema's own leaves: free pages and interior pages may hold stale copies.
void ReplaceInSchema(std::string& bytes, const std::vector<PageInfo>& pages, std::uint32_t size,
                     const std::string& what, const std::string& with) {
    for (const PageInfo& p : pages) {
        const std::string_view page(bytes.data() + PageStart(p.page, size), size);
        const std::size_t at = p.name == "sqlite_schema" && p.type == "leaf" ? page.find(what) : std::string_view::npos;
        if (at != std::string_view::npos && what.size() == with.size()) {
            bytes.replace(PageStart(p.page, size) + at, what.size(), with);
            return;
        }
    }
    throw std::runtime_error("not in the schema's pages: " + what);
}

// Where a table leaf's first cell with overflow keeps its pointer, by the format's
// rule for the payload kept on the page: a search for the pointer's bytes could
// match inside a row instead.
std::size_t FirstOverflowPointer(const std::string& bytes, std::size_t page, std::uint32_t usable) {
    auto varint = [&](std::size_t& at) {
        std::uint64_t v = 0;
        for (int i = 0; i < 9; ++i) {
            const auto b = static_cast<unsigned char>(bytes[at++]);
            if (i == 8)
                return v << 8 | b;
            v = v << 7 | (b & 0x7f);
            if (!(b & 0x80))
                break;
        }
        return v;
    };
    const std::uint32_t most = usable - 35, least = (usable - 12) * 32 / 255 - 23;
    for (std::uint32_t cell = 0; cell < Get16At(bytes, page + 3); ++cell) {
        std::size_t at = page + Get16At(bytes, page + 8 + 2 * cell);
        const std::uint64_t payload = varint(at);
        varint(at); // the rowid
        if (payload <= most)
            continue;
        const std::uint64_t kept = least + (payload - least) % (usable - 4);
        return at + (kept <= most ? kept : least);
    }
    return std::string::npos;
}

void ApplyPlainDamage(const std::string& path, Plain kind) {
    if (kind == Plain::LoggedLeaf) {
        Db(path).must("PRAGMA journal_mode = WAL");
        ApplyDamage(path, Damage::LeafPage);
        return;
    }
    const std::vector<PageInfo> pages = Pages(path);
    std::string bytes = ReadBytes(path);
    const std::uint32_t size = Get16At(bytes, 16) == 1 ? 65536 : Get16At(bytes, 16);
    const std::uint32_t count = static_cast<std::uint32_t>(bytes.size() / size);
    switch (kind) {
    case Plain::RowidsOutOfOrder: { // the first two cells of a leaf change places
        const std::size_t slots = PageStart(PageOf(pages, "notes", "leaf", 2).page, size) + 8;
        const std::uint32_t first = Get16At(bytes, slots);
        Put16At(bytes, slots, Get16At(bytes, slots + 2));
        Put16At(bytes, slots + 2, first);
        break;
    }
    case Plain::DuplicateRowid: { // a STRICT leaf's second cell pointer names the first cell again
        const std::size_t slots = PageStart(PageOf(pages, "strict_t", "leaf", 1).page, size) + 8;
        Put16At(bytes, slots + 2, Get16At(bytes, slots));
        break;
    }
    case Plain::FullTextShadow: { // junk over cells of the index's shadow table
        const PageInfo& leaf = PageOf(pages, "ft_content", "leaf", 1);
        const std::size_t base = PageStart(leaf.page, size);
        for (int cell = 1; cell < leaf.cells; cell += 3)
            bytes.replace(base + Get16At(bytes, base + 8 + 2 * cell), 3, "\xf3\x9a\x41");
        break;
    }
    case Plain::CellOffsetOutside:
        Put16At(bytes, PageStart(PageOf(pages, "orders", "leaf", 3).page, size) + 10, 0);
        break;
    case Plain::OverflowPastEnd:
    case Plain::OverflowPastEndCounted: { // a row's first overflow pointer, in its leaf, past the file's end
        std::size_t at = std::string::npos;
        for (const PageInfo& leaf : pages)
            if (at == std::string::npos && leaf.name == "orders" && leaf.type == "leaf")
                at = FirstOverflowPointer(bytes, PageStart(leaf.page, size), size - static_cast<unsigned char>(bytes[20]));
        const std::uint32_t pointed = at == std::string::npos ? 0 : Get32At(bytes, at);
        if (std::none_of(pages.begin(), pages.end(), [&](const PageInfo& p) { return p.page == pointed && p.type == "overflow"; }))
            throw std::runtime_error("no overflow pointer found in a leaf");
        Put32At(bytes, at, count + 1);
        if (kind == Plain::OverflowPastEndCounted)
            Put32At(bytes, 28, count + 1);
        break;
    }
    case Plain::UnknownSchemaType:
        ReplaceInSchema(bytes, pages, size, "tablenotesnotes", "tablxnotesnotes");
        break;
    case Plain::FewerColumns:
        ReplaceInSchema(bytes, pages, size, "CREATE TABLE notes(line TEXT, n INT)", "CREATE TABLE notes(line TEXT       )");
        break;
    case Plain::LoggedLeaf:
        break;
    }
    WriteBytes(path, bytes);
}

std::vector<std::string> Listing(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Case {
    std::string name;
    std::function<void(const std::string&)> damage;
    int pageSize;
    bool plainDatabase = false; // with the STRICT table and the full-text index
};

std::vector<Case> DamagedCases() {
    std::vector<Case> cases;
    for (int d = 1; d <= static_cast<int>(Damage::PageSizeField); ++d)
        for (int size : CasePageSizes(static_cast<Damage>(d)))
            cases.push_back({DamageName(static_cast<Damage>(d)),
                             [d](const std::string& path) { ApplyDamage(path, static_cast<Damage>(d)); }, size, false});
    const char* const names[] = {"rowids out of order", "duplicate rowid in a STRICT table", "full-text shadow table",
                                 "cell offset outside the page", "overflow past the end",
                                 "overflow past the end, counted in the header", "schema row of an unknown type",
                                 "fewer columns than the rows hold", "leaf zeroed in WAL mode"};
    for (int k = 0; k <= static_cast<int>(Plain::LoggedLeaf); ++k)
        for (int size : {512, 1024, 4096, 16384}) // rows of 16 KB pages have no overflow pages
            if (size < 16384 || (k != static_cast<int>(Plain::OverflowPastEnd) &&
                                 k != static_cast<int>(Plain::OverflowPastEndCounted)))
                cases.push_back({names[k], [k](const std::string& path) { ApplyPlainDamage(path, static_cast<Plain>(k)); },
                             size, true});
    return cases;
}

TEST(CompactCheck, DamagedFilesAreRefusedWithExitSixAndLeftByteForByte) {
    const std::string tail = "; not compacted, the file is as it was; tick Repair to salvage it\n";
    for (const Case& c : DamagedCases()) {
        SCOPED_TRACE(c.name + " at " + std::to_string(c.pageSize));
        TempDir dir;
        std::filesystem::create_directories(dir.path() / "data");
        const std::string db = dir.file("data/shop.db");
        if (c.plainDatabase)
            MakePlainDatabase(db, c.pageSize);
        else
            MakeCorpusDatabase(db, c.pageSize, false);
        c.damage(db);
        const std::string bytes = ReadBytes(db);
        const std::vector<std::string> files = Listing(dir.path() / "data");

        const EngineResult r = RunEngine(dir, {db, "/compact"});
        EXPECT_EQ(r.code, 6) << r.err;
        EXPECT_EQ(r.err.rfind("QuilletEngine: " + db + ": damaged (", 0), 0u) << r.err;
        EXPECT_TRUE(r.err.size() > tail.size() && r.err.compare(r.err.size() - tail.size(), tail.size(), tail) == 0)
            << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(ReadBytes(db) == bytes);
        EXPECT_EQ(Listing(dir.path() / "data"), files);
    }
}

TEST(CompactCheck, SoundFilesOfTheSameShapesCompactWithEveryRowAndRowid) {
    for (int size : {512, 1024, 4096, 8192, 65536}) {
        SCOPED_TRACE(size);
        TempDir dir;
        const std::string db = dir.file("shop.db");
        MakePlainDatabase(db, size);
        const std::string before = Dump(db);
        const long long sizeBefore = SizeOf(db);

        const EngineResult r = RunEngine(dir, {db, "/compact"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(Dump(db), before);
        EXPECT_LT(SizeOf(db), sizeBefore);
        EXPECT_EQ(FreePages(db), 0);
        EXPECT_EQ(Db(db).number("SELECT count(*) FROM pragma_integrity_check WHERE integrity_check <> 'ok'"), 0);
    }
}

// A large file is checked on a second thread while its copy is made: the same verdicts.
TEST(CompactCheck, LargeFilesCheckedBesideTheCopyGetTheSameVerdicts) {
    for (const bool damaged : {false, true}) {
        SCOPED_TRACE(damaged ? "damaged" : "sound");
        TempDir dir;
        const std::string db = dir.file("large.db");
        MakeCorpusDatabase(db, 4096, false);
        Db(db).must("CREATE TABLE pad(b BLOB); WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
                    "WHERE x < 40) INSERT INTO pad SELECT randomblob(1 << 20) FROM n; DELETE FROM pad WHERE rowid % 4 = 0");
        ASSERT_GT(SizeOf(db), 36LL << 20);
        if (damaged)
            ApplyDamage(db, Damage::LeafPage);
        const std::string bytes = ReadBytes(db);
        const auto rows = TableRows(db, "SELECT rowid, * FROM orders");

        const EngineResult r = RunEngine(dir, {db, "/compact"});
        EXPECT_EQ(r.code, damaged ? 6 : 0) << r.err;
        if (damaged) {
            EXPECT_TRUE(ReadBytes(db) == bytes);
        } else {
            EXPECT_EQ(TableRows(db, "SELECT rowid, * FROM orders"), rows);
            EXPECT_EQ(FreePages(db), 0);
        }
    }
}

} // namespace
} // namespace quillet::test
