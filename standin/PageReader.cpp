#include "standin/PageReader.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <map>

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

std::uint32_t Get16(const unsigned char* p) { return std::uint32_t{p[0]} << 8 | p[1]; }
std::uint32_t Get32(const unsigned char* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Bytes taken, or 0 when the varint runs past `end`.
int Varint(const unsigned char* p, const unsigned char* end, std::uint64_t& value) {
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i) {
        if (p + i >= end)
            return 0;
        v = v << 7 | (p[i] & 0x7f);
        if (!(p[i] & 0x80)) {
            value = v;
            return i + 1;
        }
    }
    if (p + 8 >= end)
        return 0;
    value = v << 8 | p[8];
    return 9;
}

bool ValidUtf8(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        std::uint32_t cp = 0;
        if ((c & 0xe0) == 0xc0) {
            more = 1;
            cp = c & 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            more = 2;
            cp = c & 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(more) >= n)
            return false;
        for (int k = 1; k <= more; ++k) {
            if ((p[i + k] & 0xc0) != 0x80)
                return false;
            cp = cp << 6 | (p[i + k] & 0x3f);
        }
        if ((more == 1 && cp < 0x80) || (more == 2 && cp < 0x800) || (more == 3 && cp < 0x10000) ||
            cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
            return false;
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

bool ValidUtf16(const unsigned char* p, std::size_t n, bool bigEndian) {
    if (n % 2)
        return false;
    for (std::size_t i = 0; i < n; i += 2) {
        const std::uint32_t u = bigEndian ? Get16(p + i) : (std::uint32_t{p[i + 1]} << 8 | p[i]);
        if (u >= 0xd800 && u <= 0xdbff) {
            if (i + 2 >= n)
                return false;
            const std::uint32_t low = bigEndian ? Get16(p + i + 2) : (std::uint32_t{p[i + 3]} << 8 | p[i + 2]);
            if (low < 0xdc00 || low > 0xdfff)
                return false;
            i += 2;
        } else if (u >= 0xdc00 && u <= 0xdfff) {
            return false;
        }
    }
    return true;
}

bool HasNul(const unsigned char* p, std::size_t n, bool utf16) {
    if (!utf16)
        return std::memchr(p, 0, n) != nullptr;
    for (std::size_t i = 0; i + 1 < n; i += 2)
        if (p[i] == 0 && p[i + 1] == 0)
            return true;
    return false;
}

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

bool IsWithoutRowid(const std::string& sql) {
    const std::string u = Upper(sql);
    const std::size_t close = u.rfind(')');
    if (close == std::string::npos)
        return false;
    const std::size_t w = u.find("WITHOUT", close);
    if (w == std::string::npos)
        return false;
    std::size_t r = w + 7;
    while (r < u.size() && std::isspace(static_cast<unsigned char>(u[r])))
        ++r;
    return u.compare(r, 5, "ROWID") == 0;
}

enum PageState : std::uint8_t { Unseen, InTree, OverflowPage, FreePage, Bad };
enum class Role { Schema, Table, WithoutRowid, Index };
enum class CellResult { Ok, Bad, BadText };

constexpr std::int64_t MinKey = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t MaxKey = std::numeric_limits<std::int64_t>::max();

// Keys a subtree may hold: (lo, hi], lo exclusive unless it is the smallest key.
struct Range {
    std::int64_t lo = MinKey, hi = MaxKey;
    bool open = true; // lo itself allowed (no lower bound)
    bool holds(std::int64_t k) const { return (open ? k >= lo : k > lo) && k <= hi; }
};

struct Hole {
    std::size_t table;
    Range range;
    long long adopted = 0;
};

struct Frame {
    std::uint32_t page;
    Range range;
};

class Walker {
public:
    Walker(const PageSource& source, SalvageSink* sink, bool stop) : source_(source), sink_(sink), stop_(stop) {}

    Survey run() {
        if (!readHeader())
            return std::move(s_);
        readFreelist();
        walkSchema();
        if (sink_)
            sink_->schema(s_.header, s_.schema, s_.tables);
        for (std::size_t t = 0; t < s_.tables.size() && !halted(); ++t)
            walkTree(s_.tables[t].root, roles_[t], t);
        for (const SchemaEntry& e : s_.schema) {
            if (halted())
                break;
            if (e.type == "index" && e.root > 1 && e.root <= s_.header.pageCount) {
                const bool partial = Upper(e.sql).find("WHERE") != std::string::npos;
                indexEntries_ = 0;
                indexDamaged_ = false;
                // The rowids of a cut table: rows on pages taken up later must be among them.
                collectFor_ = partial ? s_.tables.size() : cutTable(e.table);
                indexRowids_.clear();
                walkTree(e.root, Role::Index, 0);
                if (indexDamaged_) {
                    s_.damagedIndexes.push_back(e.name);
                } else if (!partial) {
                    indexCounts_.emplace_back(e.table, indexEntries_); // one entry per row
                    if (collectFor_ < s_.tables.size() && !rowidsOf_.count(collectFor_)) {
                        std::sort(indexRowids_.begin(), indexRowids_.end());
                        rowidsOf_[collectFor_] = std::move(indexRowids_);
                    }
                }
                indexRowids_ = {};
            }
        }
        if (!halted())
            adoptOrphans();
        // A WITHOUT ROWID table's interior pages hold rows too: a lost one loses them
        // even when the pages below it were found again.
        for (const Hole& h : holes_)
            if (h.adopted == 0 || roles_[h.table] == Role::WithoutRowid)
                ++s_.tables[h.table].pagesLost;
        s_.treesCut = !holes_.empty();
        // An index whose tree is whole counts the table's rows: fewer back is a loss.
        for (const auto& [table, entries] : indexCounts_)
            for (TableCount& t : s_.tables)
                if (t.name == table && entries - t.rows > t.dropped)
                    t.dropped = entries - t.rows;
        return std::move(s_);
    }

private:
    bool halted() const { return stop_ && s_.tableDamage; }

    void problem(std::string text, bool table = true) {
        if (s_.problems.size() < 200)
            s_.problems.push_back(std::move(text));
        (table ? s_.tableDamage : s_.indexDamage) = true;
    }

    bool readPage(std::uint32_t page, std::vector<unsigned char>& buffer) {
        buffer.resize(s_.header.pageSize);
        return page >= 1 && page <= s_.header.pageCount &&
               source_.read(std::uint64_t{page - 1} * s_.header.pageSize, buffer.data(), buffer.size());
    }

    bool readHeader() {
        unsigned char h[100];
        static const char magic[] = "SQLite format 3";
        if (!source_.read(0, h, sizeof h) || std::memcmp(h, magic, 16) != 0)
            return false;
        Header& hd = s_.header;
        std::uint32_t size = Get16(h + 16);
        if (size == 1)
            size = 65536;
        if (size < 512 || size > 65536 || (size & (size - 1))) {
            size = guessPageSize();
            if (!size)
                return false;
            problem("the header's page size is unreadable; " + std::to_string(size) + " fits the pages");
        }
        hd.pageSize = size;
        const std::uint32_t reserved = h[20];
        hd.usable = size - reserved;
        if (hd.usable < 480) {
            hd.usable = size;
            problem("the header's reserved space is impossible");
        }
        const std::uint64_t pages = source_.size() / size;
        hd.pageCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(pages, 0xfffffffeu));
        hd.headerPageCount = Get32(h + 28);
        hd.headerCountTrusted = hd.headerPageCount != 0 && Get32(h + 24) == Get32(h + 92);
        hd.wal = h[18] == 2 && h[19] == 2;
        // A check takes a trusted count for the database's size, as SQLite does: bytes
        // after its pages (an interrupted write-back's) are no part of it. A salvage
        // reads every page the file holds.
        const bool counted = hd.headerCountTrusted && !hd.wal;
        if (counted && !sink_ && hd.headerPageCount <= hd.pageCount) {
            hd.pageCount = hd.headerPageCount;
        } else {
            if (source_.size() % size)
                problem("the file ends inside a page");
            if (counted && hd.headerPageCount != hd.pageCount)
                problem("the header gives " + std::to_string(hd.headerPageCount) + " pages, the file holds " +
                        std::to_string(hd.pageCount));
        }
        hd.textEncoding = static_cast<int>(Get32(h + 56));
        if (hd.textEncoding < 1 || hd.textEncoding > 3) {
            hd.textEncoding = 1;
            problem("the header's text encoding is unreadable; UTF-8 assumed");
        }
        hd.userVersion = Get32(h + 60);
        hd.applicationId = Get32(h + 68);
        hd.autoVacuum = Get32(h + 52) != 0;
        hd.incrementalVacuum = hd.autoVacuum && Get32(h + 64) != 0;
        s_.readable = hd.pageCount >= 1;
        state_.assign(std::size_t{hd.pageCount} + 1, Unseen);
        return s_.readable;
    }

    // The size whose page starts look like b-tree pages most often, as a share of the
    // starts tried: a multiple of the true size scores about as well, a part of it about
    // half as well or less, so the smallest size near the best share wins.
    std::uint32_t guessPageSize() {
        double shares[8] = {};
        double best = 0;
        unsigned char b[8] = {};
        // A b-tree page's header: its type, a free block and the cell content inside
        // the page, room for its cell pointers.
        const auto looksLikePage = [&b](std::uint32_t size) {
            const std::uint32_t cells = Get16(b + 3), content = Get16(b + 5) ? Get16(b + 5) : 65536;
            const std::uint32_t freeblock = Get16(b + 1);
            return (b[0] == 2 || b[0] == 5 || b[0] == 10 || b[0] == 13) && content <= size &&
                   content >= 8 + 2 * cells && freeblock < size;
        };
        for (int i = 0; i < 8; ++i) {
            const std::uint32_t size = 512u << i;
            int hits = 0, tried = 0;
            for (std::uint64_t k = 1; k <= 64 && (k + 1) * size <= source_.size(); ++k, ++tried)
                if (source_.read(k * size, b, sizeof b) && looksLikePage(size))
                    ++hits;
            shares[i] = tried ? static_cast<double>(hits) / tried : 0;
            best = std::max(best, shares[i]);
        }
        for (int i = 0; i < 8 && best > 0; ++i)
            if (shares[i] >= 0.8 * best)
                return 512u << i;
        return 0;
    }

    // Free pages hold stale rows: they are marked so that no tree and no scan takes
    // them. A trunk that fails a check is not believed at all.
    void readFreelist() {
        unsigned char h[100];
        if (!source_.read(0, h, sizeof h))
            return;
        std::uint32_t trunk = Get32(h + 32);
        const std::uint32_t expected = Get32(h + 36);
        std::uint64_t found = 0;
        std::vector<unsigned char> page;
        const std::uint32_t maxLeaves = s_.header.usable / 4 - 2;
        while (trunk != 0) {
            if (trunk > s_.header.pageCount || state_[trunk] != Unseen || !readPage(trunk, page)) {
                problem("freelist trunk page " + std::to_string(trunk) + " is missing or used twice");
                s_.freelistComplete = false;
                return;
            }
            const std::uint32_t next = Get32(page.data()), count = Get32(page.data() + 4);
            bool ok = count <= maxLeaves;
            for (std::uint32_t i = 0; ok && i < count; ++i) {
                const std::uint32_t leaf = Get32(page.data() + 8 + 4 * i);
                ok = leaf >= 2 && leaf <= s_.header.pageCount && state_[leaf] == Unseen && leaf != trunk;
            }
            if (!ok) {
                problem("freelist trunk page " + std::to_string(trunk) + " is damaged");
                s_.freelistComplete = false;
                return;
            }
            state_[trunk] = FreePage;
            for (std::uint32_t i = 0; i < count; ++i)
                state_[Get32(page.data() + 8 + 4 * i)] = FreePage;
            found += 1 + count;
            trunk = next;
        }
        if (found != expected) {
            problem("the freelist holds " + std::to_string(found) + " pages, the header says " +
                    std::to_string(expected));
            s_.freelistComplete = false;
        }
    }

    std::uint32_t headerOffset(std::uint32_t page) const { return page == 1 ? 100 : 0; }

    // Local payload bytes of a cell with payload `p` on a table leaf or index page.
    std::uint64_t localSize(std::uint64_t p, bool tableLeaf) const {
        const std::uint64_t u = s_.header.usable;
        const std::uint64_t x = tableLeaf ? u - 35 : (u - 12) * 64 / 255 - 23;
        if (p <= x)
            return p;
        const std::uint64_t m = (u - 12) * 32 / 255 - 23;
        const std::uint64_t k = m + (p - m) % (u - 4);
        return k <= x ? k : m;
    }

    struct Cell {
        std::uint64_t payloadSize = 0, local = 0;
        std::int64_t rowid = 0;
        std::uint32_t child = 0, overflow = 0;
        const unsigned char* local_ = nullptr;
    };

    // Parses the cell at `offset`; false when it does not fit the page.
    bool parseCell(const std::vector<unsigned char>& page, std::uint32_t offset, std::uint8_t type, Cell& c) const {
        const unsigned char* end = page.data() + s_.header.usable;
        const unsigned char* p = page.data() + offset;
        if (offset >= s_.header.usable)
            return false;
        if (type == 5 || type == 2) {
            if (p + 4 > end)
                return false;
            c.child = Get32(p);
            p += 4;
        }
        if (type == 5) {
            std::uint64_t key = 0;
            const int n = Varint(p, end, key);
            c.rowid = static_cast<std::int64_t>(key);
            return n > 0;
        }
        int n = Varint(p, end, c.payloadSize);
        if (!n || c.payloadSize > 0x7fffffff)
            return false;
        p += n;
        if (type == 13) {
            std::uint64_t key = 0;
            n = Varint(p, end, key);
            if (!n)
                return false;
            c.rowid = static_cast<std::int64_t>(key);
            p += n;
        }
        c.local = localSize(c.payloadSize, type == 13);
        if (static_cast<std::uint64_t>(end - p) < c.local + (c.local < c.payloadSize ? 4 : 0))
            return false;
        c.local_ = p;
        if (c.local < c.payloadSize) {
            c.overflow = Get32(p + c.local);
            if (c.overflow < 2 || c.overflow > s_.header.pageCount)
                return false;
        }
        return true;
    }

    // The record's values; with only a prefix (`complete` false) the header is
    // checked as far as it goes.
    CellResult decode(const unsigned char* data, std::uint64_t have, std::uint64_t total, bool complete) {
        values_.clear();
        std::uint64_t headerSize = 0;
        const unsigned char* end = data + have;
        const int n = Varint(data, end, headerSize);
        if (!n || headerSize < static_cast<std::uint64_t>(n) || headerSize > total)
            return CellResult::Bad;
        if (headerSize > have)
            return complete ? CellResult::Bad : CellResult::Ok;
        const unsigned char* h = data + n;
        const unsigned char* hend = data + headerSize;
        std::uint64_t body = headerSize;
        bool textOk = true;
        while (h < hend) {
            std::uint64_t t = 0;
            const int k = Varint(h, hend, t);
            if (!k || t == 10 || t == 11)
                return CellResult::Bad;
            h += k;
            static const int sizes[] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0};
            const std::uint64_t len = t < 10 ? static_cast<std::uint64_t>(sizes[t]) : (t - 12) / 2;
            if (len > total || body + len > total)
                return CellResult::Bad;
            Value v;
            const unsigned char* d = data + body;
            const bool here = body + len <= have;
            if (t == 0) {
                v.kind = Value::Null;
            } else if (t <= 6) {
                v.kind = Value::Integer;
                if (here) {
                    std::uint64_t x = (d[0] & 0x80) ? ~std::uint64_t{0} : 0;
                    for (std::uint64_t i = 0; i < len; ++i)
                        x = x << 8 | d[i];
                    v.integer = static_cast<std::int64_t>(x);
                }
            } else if (t == 7) {
                v.kind = Value::Real;
                if (here) {
                    std::uint64_t x = 0;
                    for (int i = 0; i < 8; ++i)
                        x = x << 8 | d[i];
                    std::memcpy(&v.real, &x, sizeof x);
                }
            } else if (t == 8 || t == 9) {
                v.kind = Value::Integer;
                v.integer = t == 9;
            } else {
                v.kind = t % 2 ? Value::Text : Value::Blob;
                v.bytes = here ? d : nullptr;
                v.length = static_cast<std::size_t>(len);
                if (v.kind == Value::Text && here) {
                    const int enc = s_.header.textEncoding;
                    if (!(enc == 1 ? ValidUtf8(d, v.length) : ValidUtf16(d, v.length, enc == 3)) ||
                        HasNul(d, v.length, enc != 1))
                        textOk = false;
                }
            }
            body += len;
            values_.push_back(v);
        }
        if (body != total)
            return CellResult::Bad;
        return textOk ? CellResult::Ok : CellResult::BadText;
    }

    // The whole payload, overflow chain included; false when the chain breaks.
    bool assemble(const Cell& c, const unsigned char*& data) {
        if (c.local == c.payloadSize) {
            data = c.local_;
            return true;
        }
        payload_.assign(c.local_, c.local_ + c.local);
        std::uint32_t next = c.overflow;
        const std::uint32_t room = s_.header.usable - 4;
        claimed_.clear();
        // A chain that breaks, or runs on past its length, claims none of its pages:
        // one garbled into another row's chain must leave that row its pages.
        const auto broken = [this] {
            for (std::uint32_t p : claimed_)
                state_[p] = Unseen;
            return false;
        };
        while (payload_.size() < c.payloadSize) {
            if (next < 2 || next > s_.header.pageCount || state_[next] != Unseen || !readPage(next, overflow_))
                return broken();
            state_[next] = OverflowPage;
            claimed_.push_back(next);
            const std::size_t take = std::min<std::uint64_t>(room, c.payloadSize - payload_.size());
            payload_.insert(payload_.end(), overflow_.begin() + 4, overflow_.begin() + 4 + static_cast<long>(take));
            next = Get32(overflow_.data());
        }
        if (next != 0)
            return broken();
        data = payload_.data();
        return true;
    }

    // Cell offsets from a page's pointer array; false when the header does not fit.
    bool cellOffsets(const std::vector<unsigned char>& page, std::uint32_t h, bool interior,
                     std::vector<std::uint32_t>& offsets) const {
        const std::uint32_t count = Get16(page.data() + h + 3);
        const std::uint32_t first = h + (interior ? 12 : 8);
        const std::uint32_t arrayEnd = first + 2 * count;
        if (arrayEnd > s_.header.usable)
            return false;
        offsets.clear();
        for (std::uint32_t i = 0; i < count; ++i)
            offsets.push_back(Get16(page.data() + first + 2 * i));
        return true;
    }

    bool validOffset(std::uint32_t offset, std::uint32_t arrayEnd) const {
        return offset >= arrayEnd && offset < s_.header.usable;
    }

    // Rows of a leaf (or index page), checked first as a whole: text that is not
    // valid drops a row only on a page that shows other damage, since an application
    // may have stored such text itself.
    struct Checked {
        std::vector<CellResult> results;
        std::vector<Cell> cells;
        bool damaged = false;
        std::int64_t minKey = MaxKey, maxKey = MinKey;
    };

    Checked checkCells(const std::vector<unsigned char>& page, std::uint32_t h, std::uint8_t type,
                       const Range& range, bool strictText) {
        Checked out;
        std::vector<std::uint32_t> offsets;
        const bool interior = type == 2 || type == 5;
        if (!cellOffsets(page, h, interior, offsets)) {
            out.damaged = true;
            return out;
        }
        const std::uint32_t arrayEnd = h + (interior ? 12 : 8) + 2 * static_cast<std::uint32_t>(offsets.size());
        out.results.assign(offsets.size(), CellResult::Bad);
        out.cells.resize(offsets.size());
        for (std::size_t i = 0; i < offsets.size(); ++i) {
            Cell& c = out.cells[i];
            if (!validOffset(offsets[i], arrayEnd) || !parseCell(page, offsets[i], type, c))
                continue;
            out.results[i] = decode(c.local_, c.local, c.payloadSize, c.local == c.payloadSize);
        }
        if (type == 13) {
            // Keys rise within a page and stay inside what the parent allows; a key
            // garbled upwards is told from its neighbours by the two that follow.
            std::int64_t last = 0;
            bool any = false;
            for (std::size_t i = 0; i < offsets.size(); ++i) {
                if (out.results[i] == CellResult::Bad)
                    continue;
                const std::int64_t k = out.cells[i].rowid;
                bool ok = range.holds(k) && (!any || k > last);
                std::size_t later = 0;
                for (std::size_t j = i + 1; ok && j < offsets.size() && later < 2; ++j) {
                    if (out.results[j] == CellResult::Bad)
                        continue;
                    ++later;
                    if (k < out.cells[j].rowid)
                        break;
                    if (later == 2)
                        ok = false;
                }
                if (!ok) {
                    out.results[i] = CellResult::Bad;
                    continue;
                }
                last = k;
                any = true;
                out.minKey = std::min(out.minKey, k);
                out.maxKey = std::max(out.maxKey, k);
            }
        }
        for (CellResult r : out.results)
            out.damaged = out.damaged || r == CellResult::Bad;
        if (out.damaged || strictText)
            for (CellResult& r : out.results)
                if (r == CellResult::BadText)
                    r = CellResult::Bad;
        return out;
    }

    void walkSchema() {
        walkTree(1, Role::Schema, 0);
        s_.schemaDamaged = schemaDamaged_;
        if (schemaDamaged_)
            recoverSchema();
        for (const SchemaEntry& e : s_.schema) {
            if (e.type != "table" || e.root < 2)
                continue;
            TableCount t;
            t.name = e.name;
            t.root = e.root;
            s_.tables.push_back(t);
            roles_.push_back(IsWithoutRowid(e.sql) ? Role::WithoutRowid : Role::Table);
            classes_.emplace_back();
            counts_.emplace_back();
        }
    }

    std::string text(const Value& v) const {
        if (v.kind != Value::Text || !v.bytes)
            return {};
        if (s_.header.textEncoding == 1)
            return std::string(reinterpret_cast<const char*>(v.bytes), v.length);
        std::string out; // names and SQL of a UTF-16 file, as UTF-8
        const bool be = s_.header.textEncoding == 3;
        for (std::size_t i = 0; i + 1 < v.length; i += 2) {
            std::uint32_t u = be ? Get16(v.bytes + i) : (std::uint32_t{v.bytes[i + 1]} << 8 | v.bytes[i]);
            if (u >= 0xd800 && u <= 0xdbff && i + 3 < v.length) {
                const std::uint32_t lo = be ? Get16(v.bytes + i + 2) : (std::uint32_t{v.bytes[i + 3]} << 8 | v.bytes[i + 2]);
                u = 0x10000 + ((u - 0xd800) << 10) + (lo - 0xdc00);
                i += 2;
            }
            if (u < 0x80) {
                out += static_cast<char>(u);
            } else if (u < 0x800) {
                out += static_cast<char>(0xc0 | u >> 6);
                out += static_cast<char>(0x80 | (u & 0x3f));
            } else if (u < 0x10000) {
                out += static_cast<char>(0xe0 | u >> 12);
                out += static_cast<char>(0x80 | ((u >> 6) & 0x3f));
                out += static_cast<char>(0x80 | (u & 0x3f));
            } else {
                out += static_cast<char>(0xf0 | u >> 18);
                out += static_cast<char>(0x80 | ((u >> 12) & 0x3f));
                out += static_cast<char>(0x80 | ((u >> 6) & 0x3f));
                out += static_cast<char>(0x80 | (u & 0x3f));
            }
        }
        return out;
    }

    bool schemaRow(bool textOk) {
        SchemaEntry e;
        if (!parseSchemaRow(textOk, e))
            return false;
        addSchema(std::move(e));
        return true;
    }

    void addSchema(SchemaEntry e) {
        for (const SchemaEntry& known : s_.schema)
            if (known.name == e.name)
                return;
        s_.schema.push_back(std::move(e));
    }

    // A schema row: type, name, table, root page, SQL.
    bool parseSchemaRow(bool textOk, SchemaEntry& e) {
        if (values_.size() != 5)
            return false;
        const auto isText = [](const Value& v) { return v.kind == Value::Text && v.bytes; };
        if (!isText(values_[0]) || !isText(values_[1]) || !isText(values_[2]) || values_[3].kind != Value::Integer)
            return false;
        e.type = text(values_[0]);
        if (e.type != "table" && e.type != "index" && e.type != "view" && e.type != "trigger")
            return false;
        e.name = text(values_[1]);
        e.table = text(values_[2]);
        if (values_[3].integer < 0 || values_[3].integer > s_.header.pageCount)
            return false;
        e.root = static_cast<std::uint32_t>(values_[3].integer);
        if (values_[4].kind == Value::Text && values_[4].bytes)
            e.sql = text(values_[4]);
        else if (values_[4].kind != Value::Null)
            return false;
        e.sqlReadable = textOk;
        return !(e.root > 1 && state_[e.root] == FreePage); // else a dropped table's row
    }

    // Page 1's tree is damaged: its cells are looked for through the pointer array
    // even when the page's header is gone, then among pages that no tree reaches.
    void recoverSchema() {
        std::vector<unsigned char> page;
        if (readPage(1, page)) {
            bool any = false;
            for (std::uint32_t at = 108; at + 2 <= s_.header.usable; at += 2) {
                const std::uint32_t offset = Get16(page.data() + at);
                Cell c;
                if (offset < at + 2 || !parseCell(page, offset, 13, c) || c.local != c.payloadSize)
                    break;
                const CellResult r = decode(c.local_, c.local, c.payloadSize, true);
                if (r == CellResult::Bad || !schemaRow(r == CellResult::Ok))
                    break;
                any = true;
            }
            if (!any)
                scanSchemaPage(page);
        }
        for (std::uint32_t p = 2; p <= s_.header.pageCount; ++p) {
            if (state_[p] != Unseen || !readPage(p, page) || page[0] != 13)
                continue;
            Checked checked = checkCells(page, 0, 13, Range{}, false);
            if (checked.damaged || checked.cells.empty())
                continue;
            // The shape first, from what lies on the page: a table's overflow pages
            // must stay unclaimed for its own walk.
            bool shaped = true;
            for (std::size_t i = 0; i < checked.cells.size() && shaped; ++i) {
                const Cell& c = checked.cells[i];
                shaped = decode(c.local_, c.local, c.payloadSize, c.local == c.payloadSize) != CellResult::Bad &&
                         values_.size() == 5 && values_[0].kind == Value::Text && values_[0].bytes;
                if (shaped) {
                    const std::string type = text(values_[0]);
                    shaped = type == "table" || type == "index" || type == "view" || type == "trigger";
                }
            }
            if (!shaped)
                continue;
            std::vector<SchemaEntry> found;
            bool all = true;
            for (std::size_t i = 0; i < checked.cells.size() && all; ++i) {
                const Cell& c = checked.cells[i];
                const unsigned char* data = nullptr;
                SchemaEntry e;
                const CellResult r =
                    assemble(c, data) ? decode(data, c.payloadSize, c.payloadSize, true) : CellResult::Bad;
                all = r != CellResult::Bad && parseSchemaRow(r == CellResult::Ok, e);
                found.push_back(std::move(e));
            }
            if (!all)
                continue;
            state_[p] = InTree;
            for (SchemaEntry& e : found)
                addSchema(std::move(e));
        }
    }

    // Page 1 without its pointer array: its cells still lie in its content area. Every
    // offset is tried; a record with a schema row's shape is taken, and the scan goes
    // on after it. A root that an earlier row claims is a dropped table's stale row.
    void scanSchemaPage(const std::vector<unsigned char>& page) {
        std::vector<std::uint32_t> roots;
        for (const SchemaEntry& e : s_.schema)
            roots.push_back(e.root);
        for (std::uint32_t at = 108; at + 4 < s_.header.usable;) {
            Cell c;
            const unsigned char* data = nullptr;
            SchemaEntry e;
            if (parseCell(page, at, 13, c) && c.payloadSize > 6 &&
                decode(c.local_, c.local, c.payloadSize, c.local == c.payloadSize) != CellResult::Bad &&
                values_.size() == 5 && values_[0].kind == Value::Text && values_[0].bytes) {
                const CellResult r = assemble(c, data) ? decode(data, c.payloadSize, c.payloadSize, true) : CellResult::Bad;
                if (r != CellResult::Bad && parseSchemaRow(r == CellResult::Ok, e) &&
                    (e.root == 0 || std::find(roots.begin(), roots.end(), e.root) == roots.end())) {
                    roots.push_back(e.root);
                    addSchema(std::move(e));
                    at = static_cast<std::uint32_t>(c.local_ - page.data() + c.local) + (c.local < c.payloadSize ? 4 : 0);
                    continue;
                }
            }
            ++at;
        }
    }

    // The rowid table of that name whose tree lost a page, or past the end.
    std::size_t cutTable(const std::string& name) const {
        for (const Hole& h : holes_)
            if (s_.tables[h.table].name == name && roles_[h.table] == Role::Table)
                return h.table;
        return s_.tables.size();
    }

    void lost(Role role, std::size_t table, std::uint32_t page, const Range& range, const std::string& why) {
        const bool index = role == Role::Index;
        indexDamaged_ = indexDamaged_ || index;
        problem("page " + std::to_string(page) + (index ? " of an index" : "") + ": " + why, !index);
        if (role == Role::Schema)
            schemaDamaged_ = true;
        else if (!index)
            holes_.push_back({table, range, 0});
    }

    void walkTree(std::uint32_t root, Role role, std::size_t table) {
        const bool indexTree = role == Role::WithoutRowid || role == Role::Index;
        std::vector<Frame> stack{{root, Range{}}};
        std::vector<unsigned char> page;
        while (!stack.empty() && !halted()) {
            const Frame f = stack.back();
            stack.pop_back();
            if (f.page < 1 || f.page > s_.header.pageCount) {
                lost(role, table, f.page, f.range, "beyond the end of the file");
                continue;
            }
            if (state_[f.page] != Unseen) {
                lost(role, table, f.page, f.range,
                     state_[f.page] == FreePage ? "on the freelist" : "reached twice");
                continue;
            }
            if (!readPage(f.page, page)) {
                lost(role, table, f.page, f.range, "cannot be read");
                continue;
            }
            const std::uint32_t h = headerOffset(f.page);
            const std::uint8_t type = page[h];
            const bool fits = indexTree ? (type == 2 || type == 10) : (type == 5 || type == 13);
            if (!fits) {
                state_[f.page] = Bad;
                lost(role, table, f.page, f.range, "not a b-tree page of its tree");
                continue;
            }
            state_[f.page] = InTree;
            if (type == 5) {
                interiorTable(page, h, f, role, table, stack);
                continue;
            }
            Checked checked = checkCells(page, h, type, f.range, false);
            if (type == 2) {
                std::vector<Frame> children;
                bool ok = !checked.damaged;
                for (const Cell& c : checked.cells)
                    children.push_back({c.child, Range{}});
                const std::uint32_t right = Get32(page.data() + h + 8);
                children.push_back({right, Range{}});
                if (ok)
                    for (auto it = children.rbegin(); it != children.rend(); ++it)
                        stack.push_back(*it);
                else {
                    lost(role, table, f.page, f.range, "damaged interior page");
                    continue;
                }
            }
            rows(checked, role, table, f.page, false);
        }
    }

    void interiorTable(const std::vector<unsigned char>& page, std::uint32_t h, const Frame& f, Role role,
                       std::size_t table, std::vector<Frame>& stack) {
        std::vector<std::uint32_t> offsets;
        bool ok = cellOffsets(page, h, true, offsets);
        std::vector<Frame> children;
        std::int64_t last = f.range.lo;
        bool open = f.range.open;
        const std::uint32_t arrayEnd = h + 12 + 2 * static_cast<std::uint32_t>(offsets.size());
        for (std::size_t i = 0; ok && i < offsets.size(); ++i) {
            Cell c;
            ok = validOffset(offsets[i], arrayEnd) && parseCell(page, offsets[i], 5, c) &&
                 (open ? c.rowid >= last : c.rowid > last) && c.rowid <= f.range.hi;
            if (ok) {
                children.push_back({c.child, Range{last, c.rowid, open}});
                last = c.rowid;
                open = false;
            }
        }
        if (!ok) {
            state_[f.page] = Bad;
            lost(role, table, f.page, f.range, "damaged interior page");
            return;
        }
        children.push_back({Get32(page.data() + h + 8), Range{last, f.range.hi, open}});
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }

    // Passes a checked page's rows on; `adopted` when no tree reached the page.
    void rows(Checked& checked, Role role, std::size_t table, std::uint32_t page, bool adopted) {
        long long dropped = 0;
        for (std::size_t i = 0; i < checked.cells.size(); ++i) {
            if (checked.results[i] == CellResult::Bad) {
                ++dropped;
                continue;
            }
            const Cell& c = checked.cells[i];
            const unsigned char* data = nullptr;
            CellResult r = CellResult::Bad;
            if (assemble(c, data))
                r = decode(data, c.payloadSize, c.payloadSize, true);
            if (r == CellResult::Bad || (r == CellResult::BadText && (checked.damaged || adopted))) {
                ++dropped;
                continue;
            }
            if (role == Role::Schema) {
                if (!schemaRow(r == CellResult::Ok)) {
                    schemaDamaged_ = true;
                    if (s_.schemaRowProblem.empty())
                        s_.schemaRowProblem = "page " + std::to_string(page) +
                                              ": a schema row that is no table, index, view or trigger of this file";
                }
                continue;
            }
            if (role == Role::Index) {
                ++indexEntries_;
                if (collectFor_ < s_.tables.size() && !values_.empty() && values_.back().kind == Value::Integer)
                    indexRowids_.push_back(values_.back().integer);
                continue;
            }
            // A row on a page no tree reached whose rowid a whole index does not know:
            // its key was garbled.
            if (adopted && role == Role::Table && rowidsOf_.count(table) &&
                !std::binary_search(rowidsOf_[table].begin(), rowidsOf_[table].end(), c.rowid)) {
                ++dropped;
                continue;
            }
            TableCount& t = s_.tables[table];
            t.maxColumns = std::max(t.maxColumns, values_.size());
            if (!adopted) {
                if (classes_[table].size() < values_.size())
                    classes_[table].resize(values_.size(), 0);
                for (std::size_t k = 0; k < values_.size(); ++k)
                    classes_[table][k] |= static_cast<std::uint8_t>(1u << values_[k].kind);
                if (std::find(counts_[table].begin(), counts_[table].end(), values_.size()) == counts_[table].end())
                    counts_[table].push_back(values_.size());
            }
            if (sink_ && !sink_->row(t.root, c.rowid, values_)) {
                ++dropped;
                continue;
            }
            ++t.rows;
            if (adopted)
                ++t.adopted;
            if (r == CellResult::BadText) {
                if (s_.oddText.size() < 50)
                    s_.oddText.push_back({t.name, c.rowid, role == Role::WithoutRowid});
                ++s_.oddTextRows;
            }
        }
        if (dropped) {
            if (role == Role::Schema)
                schemaDamaged_ = true;
            if (role == Role::Index) {
                indexDamaged_ = true;
                problem("page " + std::to_string(page) + " of an index: " + std::to_string(dropped) + " damaged entries",
                        false);
            }
            else
                problem("page " + std::to_string(page) + ": " + std::to_string(dropped) +
                        (dropped == 1 ? " damaged row" : " damaged rows"));
            if (role == Role::Table || role == Role::WithoutRowid)
                s_.tables[table].dropped += dropped;
        }
    }

    // Whether every row of an orphan page has the table's shape: a column count and
    // kinds of values seen in the rows its tree still reaches.
    bool fitsShape(std::size_t table, const Checked& checked) {
        for (std::size_t i = 0; i < checked.cells.size(); ++i) {
            if (checked.results[i] == CellResult::Bad)
                continue;
            const Cell& c = checked.cells[i];
            if (decode(c.local_, c.local, c.payloadSize, c.local == c.payloadSize) == CellResult::Bad)
                return false;
            if (counts_[table].empty())
                continue;
            if (std::find(counts_[table].begin(), counts_[table].end(), values_.size()) == counts_[table].end())
                return false;
            for (std::size_t k = 0; k < values_.size(); ++k) {
                const bool prefixOnly = values_[k].kind >= Value::Text && !values_[k].bytes;
                if (values_[k].kind != Value::Null && !prefixOnly &&
                    !(classes_[table][k] & (1u << values_[k].kind)))
                    return false;
            }
        }
        return true;
    }

    // Leaf pages that no tree reaches, cut off by a damaged page above them, go to
    // the one table whose gap they fit. Only with a complete freelist: otherwise an
    // orphan may be a free page with stale rows.
    void adoptOrphans() {
        std::vector<unsigned char> page;
        const std::uint32_t ptrmapEvery = s_.header.usable / 5 + 1;
        for (std::uint32_t p = 2; p <= s_.header.pageCount; ++p) {
            // An auto-vacuum file's pointer-map pages start with bytes that may look
            // like a page type.
            if (s_.header.autoVacuum && (p - 2) % ptrmapEvery == 0)
                continue;
            if (state_[p] != Unseen || !readPage(p, page))
                continue;
            const std::uint8_t type = page[0];
            if (type != 13 && type != 10 && type != 2)
                continue;
            Checked checked = checkCells(page, 0, type, Range{}, true);
            long long good = 0;
            for (CellResult r : checked.results)
                good += r != CellResult::Bad;
            if (good == 0) {
                // A leaf's shape without one readable row: beside a cut tree, rows lost.
                if (!holes_.empty() && type == 13) {
                    ++s_.orphanPages;
                    problem("page " + std::to_string(p) + ": a table page cut off from its tree, no row readable");
                }
                continue;
            }
            std::size_t match = 0, found = 0;
            Hole* hole = nullptr;
            if (s_.freelistComplete) {
                for (Hole& h : holes_) {
                    const bool rowid = roles_[h.table] == Role::Table;
                    if (rowid != (type == 13))
                        continue;
                    if (rowid && !(h.range.holds(checked.minKey) && h.range.holds(checked.maxKey)))
                        continue;
                    if (!fitsShape(h.table, checked))
                        continue;
                    if (found == 0 || h.table != match) {
                        ++found;
                        match = h.table;
                        hole = &h;
                    }
                }
            }
            if (found != 1) {
                ++s_.orphanPages;
                s_.orphanRows += good;
                problem("page " + std::to_string(p) + ": " + std::to_string(good) +
                        " rows on a page that no tree reaches; not taken up");
                continue;
            }
            state_[p] = InTree;
            ++hole->adopted;
            rows(checked, roles_[match], match, p, true);
        }
    }

    const PageSource& source_;
    SalvageSink* sink_;
    bool stop_;
    Survey s_;
    std::vector<std::uint8_t> state_;
    std::vector<Role> roles_;
    std::vector<std::vector<std::uint8_t>> classes_;
    std::vector<std::vector<std::size_t>> counts_;
    std::vector<Hole> holes_;
    std::vector<unsigned char> payload_, overflow_;
    std::vector<std::uint32_t> claimed_;
    std::vector<Value> values_;
    bool schemaDamaged_ = false;
    long long indexEntries_ = 0;  // of the index being walked
    std::size_t collectFor_ = 0;  // the rowid table whose rowids it gives, or past the end
    std::vector<std::int64_t> indexRowids_;
    std::map<std::size_t, std::vector<std::int64_t>> rowidsOf_; // cut tables: rowids of a whole index
    bool indexDamaged_ = false;
    std::vector<std::pair<std::string, long long>> indexCounts_; // table, entries of a whole index
};

} // namespace

Survey ReadDatabase(const PageSource& source, SalvageSink* sink, bool stopAtTableDamage) {
    return Walker(source, sink, stopAtTableDamage).run();
}

} // namespace quillet::standin
