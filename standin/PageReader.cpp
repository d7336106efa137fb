#include "standin/PageReader.h"

#include "standin/Orphans.h"
#include "standin/Rows.h"
#include "standin/SchemaRecovery.h"
#include "standin/TreeWalk.h"

#include <algorithm>
#include <cstring>

namespace quillet::standin {

bool Survey::rowsLost() const {
    for (const TableCount& t : tables)
        if (t.dropped > 0 || t.pagesLost > 0)
            return true;
    // Rows that fit no table after a damaged schema or beside a tree cut by a damaged
    // page belong, most likely, to a table whose schema row or pages are gone.
    return (schemaDamaged || treesCut) && (orphanRows > 0 || orphanPages > 0);
}

namespace {

using namespace reader;

// The size whose page starts look like b-tree pages most often, as a share of the
// starts tried: a multiple of the true size scores about as well, a part of it about
// half as well or less, so the smallest size near the best share wins. 0 for none.
std::uint32_t GuessPageSize(const PageSource& source) {
    double shares[8] = {};
    double best = 0;
    unsigned char b[8] = {};
    // A b-tree page's header: its type, a free block and the cell content inside the
    // page, room for its cell pointers.
    const auto looksLikePage = [&b](std::uint32_t size) {
        const std::uint32_t cells = Get16(b + 3), content = Get16(b + 5) ? Get16(b + 5) : 65536;
        const std::uint32_t freeblock = Get16(b + 1);
        return IsPageType(b[0]) && content <= size && content >= 8 + 2 * cells && freeblock < size;
    };
    for (int i = 0; i < 8; ++i) {
        const std::uint32_t size = 512u << i;
        int hits = 0, tried = 0;
        for (std::uint64_t k = 1; k <= 64 && (k + 1) * size <= source.size(); ++k, ++tried)
            if (source.read(k * size, b, sizeof b) && looksLikePage(size))
                ++hits;
        shares[i] = tried ? static_cast<double>(hits) / tried : 0;
        best = std::max(best, shares[i]);
    }
    for (int i = 0; i < 8 && best > 0; ++i)
        if (shares[i] >= 0.8 * best)
            return 512u << i;
    return 0;
}

// The page size from the header, or guessed from the pages when it is unreadable; 0
// when neither gives one.
std::uint32_t PageSizeOf(Reading& r, const unsigned char* h) {
    std::uint32_t size = Get16(h + 16);
    if (size == 1)
        size = 65536;
    if (size >= 512 && size <= 65536 && !(size & (size - 1)))
        return size;
    size = GuessPageSize(r.source);
    if (size)
        r.problem("the header's page size is unreadable; " + std::to_string(size) + " fits the pages");
    return size;
}

// The header's fields, checked against the file's size. False when the file is no
// database this reader can read; the survey is then not `readable`.
bool ReadHeader(Reading& r) {
    unsigned char h[100];
    static const char magic[] = "SQLite format 3";
    if (!r.source.read(0, h, sizeof h) || std::memcmp(h, magic, 16) != 0)
        return false;
    Header& hd = r.survey.header;
    const std::uint32_t size = PageSizeOf(r, h);
    if (!size)
        return false;
    hd.pageSize = size;
    const std::uint32_t reserved = h[20];
    hd.usable = size - reserved;
    if (hd.usable < 480) {
        hd.usable = size;
        r.problem("the header's reserved space is impossible");
    }
    hd.pageCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(r.source.size() / size, 0xfffffffeu));
    hd.headerPageCount = Get32(h + 28);
    hd.headerCountTrusted = hd.headerPageCount != 0 && Get32(h + 24) == Get32(h + 92);
    hd.wal = h[18] == 2 && h[19] == 2;
    // A check takes a trusted count for the database's size, as SQLite does: bytes
    // after its pages (an interrupted write-back's) are no part of it. A salvage
    // reads every page the file holds.
    const bool counted = hd.headerCountTrusted && !hd.wal;
    if (counted && !r.sink && hd.headerPageCount <= hd.pageCount) {
        hd.pageCount = hd.headerPageCount;
    } else {
        if (r.source.size() % size)
            r.problem("the file ends inside a page");
        if (counted && hd.headerPageCount != hd.pageCount)
            r.problem("the header gives " + std::to_string(hd.headerPageCount) + " pages, the file holds " +
                      std::to_string(hd.pageCount));
    }
    hd.textEncoding = static_cast<int>(Get32(h + 56));
    if (hd.textEncoding < 1 || hd.textEncoding > 3) {
        hd.textEncoding = 1;
        r.problem("the header's text encoding is unreadable; UTF-8 assumed");
    }
    hd.userVersion = Get32(h + 60);
    hd.applicationId = Get32(h + 68);
    hd.autoVacuum = Get32(h + 52) != 0;
    hd.incrementalVacuum = hd.autoVacuum && Get32(h + 64) != 0;
    r.survey.readable = hd.pageCount >= 1;
    r.geometry = {hd.usable, hd.pageCount, hd.textEncoding};
    r.state.assign(std::size_t{hd.pageCount} + 1, Unseen);
    return r.survey.readable;
}

// One trunk page of the freelist: its leaves marked free. False, with the problem
// said, when it fails a check; `count` gets the pages it holds.
bool ReadTrunk(Reading& r, std::uint32_t trunk, std::vector<unsigned char>& page, std::uint32_t& next,
               std::uint32_t& count) {
    if (trunk > r.geometry.pageCount || r.state[trunk] != Unseen || !r.readPage(trunk, page)) {
        r.problem("freelist trunk page " + std::to_string(trunk) + " is missing or used twice");
        return false;
    }
    next = Get32(page.data());
    count = Get32(page.data() + 4);
    bool ok = count <= r.geometry.usable / 4 - 2;
    for (std::uint32_t i = 0; ok && i < count; ++i) {
        const std::uint32_t leaf = Get32(page.data() + 8 + 4 * i);
        ok = leaf >= 2 && leaf <= r.geometry.pageCount && r.state[leaf] == Unseen && leaf != trunk;
    }
    if (!ok) {
        r.problem("freelist trunk page " + std::to_string(trunk) + " is damaged");
        return false;
    }
    r.state[trunk] = FreePage;
    for (std::uint32_t i = 0; i < count; ++i)
        r.state[Get32(page.data() + 8 + 4 * i)] = FreePage;
    return true;
}

// Free pages hold stale rows: they are marked so that no tree and no scan takes them.
// A trunk that fails a check is not believed at all.
void ReadFreelist(Reading& r) {
    unsigned char h[100];
    if (!r.source.read(0, h, sizeof h))
        return;
    std::uint32_t trunk = Get32(h + 32);
    const std::uint32_t expected = Get32(h + 36);
    std::uint64_t found = 0;
    std::vector<unsigned char> page;
    while (trunk != 0) {
        std::uint32_t next = 0, count = 0;
        if (!ReadTrunk(r, trunk, page, next, count)) {
            r.survey.freelistComplete = false;
            return;
        }
        found += 1 + count;
        trunk = next;
    }
    if (found != expected) {
        r.problem("the freelist holds " + std::to_string(found) + " pages, the header says " +
                  std::to_string(expected));
        r.survey.freelistComplete = false;
    }
}

} // namespace

Survey ReadDatabase(const PageSource& source, SalvageSink* sink, bool stopAtTableDamage) {
    Reading r(source, sink, stopAtTableDamage);
    if (!ReadHeader(r))
        return std::move(r.survey);
    ReadFreelist(r);
    ReadSchema(r);
    Tables tables = ListTables(r);
    if (sink)
        sink->schema(r.survey.header, r.survey.schema, r.survey.tables);
    WalkTables(r, tables);
    WalkIndexes(r, tables);
    if (!r.halted())
        AdoptOrphans(r, tables);
    CountLosses(r, tables);
    return std::move(r.survey);
}

} // namespace quillet::standin
