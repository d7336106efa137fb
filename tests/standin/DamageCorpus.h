// Damaged copies of one database for the salvage's tests: each kind of damage
// applied to a fresh copy, and where every row lay before (from the dbstat table of
// the undamaged file), so that a result can be scored against the rows on intact pages.
#pragma once

#include "SqliteFiles.h"

#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::test {

enum class Damage {
    None, IndexPage, InteriorPage, LeafPage, GarbledCells, Truncated, CountTooLow, CountTooHigh,
    FreelistTrunk, SchemaText, SchemaHeader, OverflowPage,
    // Kinds with page sizes of their own (CasePageSizes).
    KeyedInteriorPage, SchemaPointers, CrossLinkedOverflow, GarbledValues, CutOffGarbled, PointerMapPage,
    PageSizeField
};

inline const char* DamageName(Damage d) {
    static const char* const names[] = {"none", "index page zeroed", "interior table page zeroed",
                                        "leaf table page zeroed", "bytes garbled in a leaf's cells",
                                        "file cut at 90%", "header page count too low",
                                        "header page count too high", "freelist trunk damaged",
                                        "schema text garbled", "schema page header zeroed",
                                        "overflow page zeroed", "WITHOUT ROWID interior page zeroed",
                                        "schema page header and pointers zeroed", "overflow chains cross-linked",
                                        "bytes flipped in indexed values", "cut-off leaf with garbled cells",
                                        "pointer-map page zeroed", "header page size garbled"};
    return names[static_cast<int>(d)];
}

// Rowid tables with and without an INTEGER PRIMARY KEY, a WITHOUT ROWID table, an
// index, rows with overflow pages, a view, and free pages left by a dropped table of
// the same shape as "notes" and by deleted rows: stale rows a salvage must not bring back.
inline void MakeCorpusDatabase(const std::string& path, int pageSize, bool secureDelete) {
    Db db(path);
    // The small pages with incremental auto-vacuum, 8 KB ones with full: pointer-map
    // pages among the others.
    const char* vacuum = pageSize < 4096 ? "INCREMENTAL" : pageSize == 8192 ? "FULL" : "NONE";
    db.must("PRAGMA page_size = " + std::to_string(pageSize) + "; PRAGMA secure_delete = " +
            (secureDelete ? "ON" : "OFF") + "; PRAGMA auto_vacuum = " + vacuum +
            "; PRAGMA user_version = 42; PRAGMA application_id = 7");
    db.must("CREATE TABLE orders(id INTEGER PRIMARY KEY, customer TEXT, amount REAL, note BLOB);"
            "CREATE INDEX orders_customer ON orders(customer);"
            "CREATE TABLE notes(line TEXT, n INT);"
            "CREATE TABLE old_notes(line TEXT, n INT);"
            "CREATE TABLE kv(k TEXT PRIMARY KEY, v) WITHOUT ROWID;"
            "CREATE VIEW big_orders AS SELECT * FROM orders WHERE amount > 100;");
    db.must("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 1500) "
            "INSERT INTO orders(customer, amount, note) SELECT 'customer ' || (x % 37), x * 1.25, "
            "CASE WHEN x % 50 = 0 THEN randomblob(9000 + x) WHEN x % 10 = 0 THEN randomblob(2600 + x % 700) ELSE randomblob(20 + x % 40) END FROM n;"
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 1500) "
            "INSERT INTO old_notes SELECT 'stale note ' || x, x FROM n;"
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 1500) "
            "INSERT INTO notes SELECT 'note ' || x || ' ' || hex(randomblob(x % 30)), x FROM n;"
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 900) "
            "INSERT INTO kv SELECT printf('key %05d', x * 7919 % 900), x FROM n;");
    db.must("DROP TABLE old_notes; DELETE FROM orders WHERE id % 7 = 3;");
}

inline std::uint32_t Get32At(const std::string& bytes, std::size_t at) {
    return std::uint32_t{static_cast<unsigned char>(bytes[at])} << 24 |
           std::uint32_t{static_cast<unsigned char>(bytes[at + 1])} << 16 |
           std::uint32_t{static_cast<unsigned char>(bytes[at + 2])} << 8 | static_cast<unsigned char>(bytes[at + 3]);
}
inline void Put32At(std::string& bytes, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

struct PageInfo {
    std::string name, path, type;
    std::uint32_t page = 0;
    int cells = 0;
};

inline std::vector<PageInfo> Pages(const std::string& path) {
    Db db(path);
    std::vector<PageInfo> pages;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db.get(), "SELECT name, path, pagetype, pageno, ncell FROM dbstat ORDER BY name, path", -1, &st,
                       nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        PageInfo p;
        p.name = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        p.path = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        p.type = reinterpret_cast<const char*>(sqlite3_column_text(st, 2));
        p.page = static_cast<std::uint32_t>(sqlite3_column_int64(st, 3));
        p.cells = sqlite3_column_int(st, 4);
        pages.push_back(p);
    }
    sqlite3_finalize(st);
    return pages;
}

inline const PageInfo& PageOf(const std::vector<PageInfo>& pages, const std::string& name, const std::string& type,
                              std::size_t nth) {
    std::vector<const PageInfo*> found;
    for (const PageInfo& p : pages)
        if (p.name == name && p.type == type)
            found.push_back(&p);
    if (found.empty())
        throw std::runtime_error("no " + type + " page of " + name);
    return *found[std::min(nth, found.size() - 1)];
}

// An interior page of a table below its root when the tree is that deep, else the root.
inline const PageInfo& InteriorOf(const std::vector<PageInfo>& pages, const std::string& name) {
    const PageInfo* chosen = nullptr;
    for (const PageInfo& p : pages)
        if (p.name == name && p.type == "internal" && (!chosen || p.path != "/"))
            chosen = &p;
    if (!chosen)
        throw std::runtime_error("no interior page of " + name);
    return *chosen;
}

// Applies one damage to the file; returns the pages it touched (or cut off). `seed`
// varies where the random kinds strike.
inline std::set<std::uint32_t> ApplyDamage(const std::string& path, Damage damage, unsigned seed = 1) {
    const std::vector<PageInfo> pages = Pages(path);
    std::string bytes = ReadBytes(path);
    const std::uint32_t size = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[16]) << 8 |
                                                          static_cast<unsigned char>(bytes[17]));
    const std::uint32_t count = static_cast<std::uint32_t>(bytes.size() / size);
    std::set<std::uint32_t> touched;
    auto zero = [&](std::uint32_t page) {
        std::fill(bytes.begin() + static_cast<long>((page - 1) * size), bytes.begin() + static_cast<long>(page * size), 0);
        touched.insert(page);
    };
    // Junk over the start of every other cell of a leaf, up to cell `last`.
    auto garble = [&](const PageInfo& leaf, int last) {
        const std::size_t base = std::size_t{leaf.page - 1} * size;
        static const unsigned char junk[] = {0x8a, 0x3c, 0xe1, 0x57};
        for (int cell = 1; cell <= last && cell < leaf.cells; cell += 2) {
            const std::size_t at = base + (static_cast<unsigned char>(bytes[base + 8 + 2 * cell]) << 8 |
                                           static_cast<unsigned char>(bytes[base + 9 + 2 * cell]));
            for (std::size_t i = 0; i < sizeof junk; ++i)
                bytes[at + i] = static_cast<char>(junk[i]);
        }
        touched.insert(leaf.page);
    };
    std::mt19937 random(seed);
    switch (damage) {
    case Damage::None:
        break;
    case Damage::IndexPage:
        zero(PageOf(pages, "orders_customer", "leaf", 3).page);
        break;
    case Damage::InteriorPage:
        zero(InteriorOf(pages, "orders").page);
        break;
    case Damage::KeyedInteriorPage:
        zero(InteriorOf(pages, "kv").page);
        break;
    case Damage::LeafPage:
        zero(PageOf(pages, "orders", "leaf", 5).page);
        break;
    case Damage::GarbledCells:
        garble(PageOf(pages, "notes", "leaf", 4), 7);
        break;
    case Damage::CutOffGarbled: {
        // A leaf below the zeroed interior page, so that it comes back only as an orphan;
        // its last cell's rowid garbled upwards, out of every gap, the record still sound.
        const PageInfo& interior = InteriorOf(pages, "orders");
        zero(interior.page);
        for (const PageInfo& p : pages)
            if (p.name == "orders" && p.type == "leaf" && p.path.rfind(interior.path, 0) == 0 && p.cells >= 4) {
                garble(p, 1);
                const std::size_t base = std::size_t{p.page - 1} * size, slot = base + 8 + 2 * (p.cells - 1);
                std::size_t at = base + (static_cast<unsigned char>(bytes[slot]) << 8 | static_cast<unsigned char>(bytes[slot + 1]));
                while (bytes[at] & 0x80) // the payload's size
                    ++at;
                if (bytes[at + 1] & 0x80) // a rowid of two bytes or more: its top bits
                    bytes[at + 1] = static_cast<char>(0xbf);
                break;
            }
        break;
    }
    case Damage::Truncated: {
        const std::uint32_t keep = count * 9 / 10;
        for (std::uint32_t p = keep + 1; p <= count; ++p)
            touched.insert(p);
        bytes.resize(std::size_t{keep} * size);
        break;
    }
    case Damage::CountTooLow:
        Put32At(bytes, 28, count / 2);
        break;
    case Damage::CountTooHigh:
        Put32At(bytes, 28, count * 2);
        break;
    case Damage::FreelistTrunk: {
        const std::uint32_t trunk = Get32At(bytes, 32);
        if (trunk == 0)
            throw std::runtime_error("no freelist");
        std::fill(bytes.begin() + static_cast<long>((trunk - 1) * size),
                  bytes.begin() + static_cast<long>((trunk - 1) * size + 64), '\xee');
        touched.insert(trunk);
        break;
    }
    case Damage::SchemaText: {
        const std::string what = "CREATE TABLE notes(line";
        const std::size_t at = bytes.find(what);
        if (at == std::string::npos || at >= size)
            throw std::runtime_error("schema text not on page 1");
        bytes.replace(at, what.size(), "CR#ATE TA~LE no%es(l(ne");
        touched.insert(1);
        break;
    }
    case Damage::SchemaHeader:
        std::fill(bytes.begin() + 100, bytes.begin() + 108, 0);
        touched.insert(1);
        break;
    case Damage::SchemaPointers: {
        if (bytes[100] != 13)
            throw std::runtime_error("the schema is not on page 1 alone");
        const std::size_t cells = static_cast<unsigned char>(bytes[103]) << 8 | static_cast<unsigned char>(bytes[104]);
        std::fill(bytes.begin() + 100, bytes.begin() + static_cast<long>(108 + 2 * cells), 0);
        touched.insert(1);
        break;
    }
    case Damage::PageSizeField:
        bytes[16] = 0, bytes[17] = 3;
        touched.insert(1);
        break;
    case Damage::PointerMapPage:
        if (Get32At(bytes, 52) == 0)
            throw std::runtime_error("no auto-vacuum");
        zero(2);
        break;
    case Damage::GarbledValues: {
        // Random bytes of a few "customer N" values, which the index also holds: the
        // records still parse.
        std::vector<std::uint32_t> leaves;
        for (const PageInfo& p : pages)
            if (p.name == "orders" && p.type == "leaf")
                leaves.push_back(p.page);
        for (int n = 0; n < 3; ++n) {
            const std::uint32_t page = leaves[random() % leaves.size()];
            const std::size_t base = std::size_t{page - 1} * size;
            const std::string_view text(bytes.data() + base, size);
            const std::size_t at = text.find("customer ", random() % (size / 2));
            if (at == std::string_view::npos)
                continue;
            bytes[base + at + random() % 10] = static_cast<char>(0x21 + random() % 90);
            touched.insert(page);
        }
        if (touched.empty())
            throw std::runtime_error("no value to garble");
        break;
    }
    case Damage::OverflowPage: {
        // The first page of a chain of two or more, so that the chain breaks.
        for (const PageInfo& p : pages) {
            if (p.name == "orders" && p.type == "overflow" && p.path.size() > 7 &&
                p.path.compare(p.path.size() - 7, 7, "+000001") == 0) {
                const std::string first = p.path.substr(0, p.path.size() - 7) + "+000000";
                for (const PageInfo& q : pages)
                    if (q.path == first && q.name == "orders")
                        zero(q.page);
                break;
            }
        }
        if (touched.empty())
            throw std::runtime_error("no overflow chain of two pages");
        break;
    }
    case Damage::CrossLinkedOverflow: {
        // A short chain's first page goes on into the second page of the longest one,
        // so that the short row's chain no longer fits its length.
        std::map<std::string, std::vector<std::uint32_t>> chains; // in order
        for (const PageInfo& p : pages)
            if (p.name == "orders" && p.type == "overflow")
                chains[p.path.substr(0, p.path.find('+'))].push_back(p.page);
        const std::vector<std::uint32_t>* shortest = nullptr;
        const std::vector<std::uint32_t>* longest = nullptr;
        for (const auto& [cell, chain] : chains) {
            if (!shortest || chain.size() < shortest->size())
                shortest = &chain;
            if (!longest || chain.size() > longest->size())
                longest = &chain;
        }
        if (!longest || longest->size() < 2 || shortest->size() == longest->size())
            throw std::runtime_error("no overflow chains of different lengths");
        Put32At(bytes, std::size_t{shortest->front() - 1} * size, (*longest)[1]);
        touched.insert(shortest->begin(), shortest->end());
        break;
    }
    }
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<long>(bytes.size()));
    return touched;
}

// The page sizes each kind is tried at: the first kinds at two, the others where they
// can happen (a schema on page 1 alone, pointer maps, a keyed table deep enough).
inline std::vector<int> CasePageSizes(Damage d) {
    switch (d) {
    case Damage::KeyedInteriorPage:
        return {512, 1024, 2048};
    case Damage::SchemaPointers:
        return {4096, 8192, 65536};
    case Damage::CrossLinkedOverflow:
        return {1024, 2048};
    case Damage::GarbledValues:
        return {512, 2048, 16384};
    case Damage::CutOffGarbled:
        return {512, 1024};
    case Damage::PointerMapPage:
        return {1024, 8192};
    case Damage::PageSizeField:
        return {1024, 4096, 32768};
    default:
        return {1024, 4096};
    }
}

// The pages each row lies on (its b-tree page and its overflow pages), by the row's
// key in the undamaged file: an in-order walk of dbstat's paths.
inline std::map<std::string, std::set<std::uint32_t>> RowPages(const std::string& path, const std::string& table,
                                                               const std::string& keySql) {
    const std::vector<PageInfo> pages = Pages(path);
    std::map<std::string, const PageInfo*> byPath;
    std::map<std::string, std::set<std::uint32_t>> overflowOf; // "<page path><cell>" -> pages
    for (const PageInfo& p : pages) {
        if (p.name != table)
            continue;
        const std::size_t plus = p.path.find('+');
        if (plus == std::string::npos)
            byPath[p.path] = &p;
        else
            overflowOf[p.path.substr(0, plus)].insert(p.page);
    }
    std::vector<std::set<std::uint32_t>> slots;
    char cell[16];
    // In order: child 0, cell 0, child 1, ... (table interior cells hold no rows).
    std::function<void(const std::string&)> walk = [&](const std::string& at) {
        const auto found = byPath.find(at);
        if (found == byPath.end())
            return;
        const PageInfo& p = *found->second;
        const bool interior = p.type == "internal";
        for (int i = 0; i <= p.cells; ++i) {
            std::snprintf(cell, sizeof cell, "%03x", i);
            if (interior)
                walk(at + cell + "/");
            if (i == p.cells || (interior && table != "kv"))
                continue;
            std::set<std::uint32_t> on{p.page};
            const auto o = overflowOf.find(at + cell);
            if (o != overflowOf.end())
                on.insert(o->second.begin(), o->second.end());
            slots.push_back(on);
        }
    };
    walk("/");
    Db db(path);
    std::map<std::string, std::set<std::uint32_t>> out;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db.get(), keySql.c_str(), -1, &st, nullptr);
    for (std::size_t i = 0; sqlite3_step(st) == SQLITE_ROW; ++i)
        out[reinterpret_cast<const char*>(sqlite3_column_text(st, 0))] = i < slots.size() ? slots[i] : std::set<std::uint32_t>{};
    sqlite3_finalize(st);
    return out;
}

// Every row of a table as text, by key.
inline std::map<std::string, std::string> TableRows(const std::string& path, const std::string& sql) {
    Db db(path);
    std::map<std::string, std::string> rows;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
        return rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::string text;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            const int type = sqlite3_column_type(st, c);
            text += std::to_string(type) + ":";
            if (type == SQLITE_FLOAT) {
                char buf[40];
                std::snprintf(buf, sizeof buf, "%.17g", sqlite3_column_double(st, c));
                text += buf;
            } else if (type != SQLITE_NULL) {
                text.append(static_cast<const char*>(sqlite3_column_blob(st, c)),
                            static_cast<std::size_t>(sqlite3_column_bytes(st, c)));
            }
            text += '|';
        }
        rows[reinterpret_cast<const char*>(sqlite3_column_text(st, 0))] = text;
    }
    sqlite3_finalize(st);
    return rows;
}

} // namespace quillet::test
