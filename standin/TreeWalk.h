// The walk down one b-tree from its root, and the state that every stage of the
// page reader shares: the file, what each page has been found to be, the survey so far.
#pragma once

#include "standin/PageReader.h"
#include "standin/Record.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace quillet::standin::reader {

enum PageState : std::uint8_t { Unseen, InTree, OverflowPage, FreePage, Bad };

constexpr std::int64_t MinKey = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t MaxKey = std::numeric_limits<std::int64_t>::max();

// Keys a subtree may hold: (lo, hi], lo exclusive unless it is the smallest key.
struct Range {
    std::int64_t lo = MinKey, hi = MaxKey;
    bool open = true; // lo itself allowed (no lower bound)
    bool holds(std::int64_t k) const { return (open ? k >= lo : k > lo) && k <= hi; }
};

// Explicit state of one reading. Damage is sticky: with `stopAtTableDamage`, the first
// damage that needs a salvage halts every stage.
struct Reading {
    Reading(const PageSource& s, SalvageSink* k, bool stop) : source(s), sink(k), stopAtTableDamage(stop) {}

    const PageSource& source;
    SalvageSink* sink;
    bool stopAtTableDamage;
    Survey survey;
    Geometry geometry;
    std::vector<std::uint8_t> state; // a PageState per page, from 1
    // Reused so that no cell allocates; nothing is handed on through them.
    std::vector<unsigned char> payload, overflow;
    std::vector<std::uint32_t> claimed;
    std::vector<Value> values;

    bool halted() const { return stopAtTableDamage && survey.tableDamage; }
    // Records damage in words; `table` false for damage in indexes only.
    void problem(std::string text, bool table = true);
    // False for a page outside the file or a failed read.
    bool readPage(std::uint32_t page, std::vector<unsigned char>& buffer) const;
};

// A page's cells, checked as a whole first: text that is not valid drops a row only
// on a page that shows other damage, since an application may have stored such
// text itself.
struct CheckedPage {
    std::vector<CellResult> results;
    std::vector<Cell> cells;
    bool damaged = false;
    std::int64_t minKey = MaxKey, maxKey = MinKey; // of a table leaf's good cells
    long long good() const;
};

// The cells of the page whose header is at `h`; on a table leaf, keys must rise and
// stay in `range`. `strictText` counts invalid text as damage on any page.
CheckedPage CheckCells(Reading& r, const std::vector<unsigned char>& page, std::uint32_t h, PageType type,
                       const Range& range, bool strictText);

// The whole payload of `c`, its overflow pages marked as taken; nullptr when the
// chain breaks (it then takes none). Valid until the next call.
const unsigned char* AssemblePayload(Reading& r, const Cell& c);

// Decodes every cell of `checked` that reads whole and hands it to
// `take(cell, result, r.values)`, which returns false to drop it. Returns the cells
// dropped; invalid text is dropped on a damaged or `adopted` page.
template <class Take>
long long ForEachRecord(Reading& r, const CheckedPage& checked, bool adopted, Take&& take) {
    long long dropped = 0;
    for (std::size_t i = 0; i < checked.cells.size(); ++i) {
        if (checked.results[i] == CellResult::Bad) {
            ++dropped;
            continue;
        }
        const Cell& c = checked.cells[i];
        const unsigned char* data = AssemblePayload(r, c);
        const CellResult result =
            data ? DecodeRecord(r.geometry, data, c.payloadSize, c.payloadSize, true, r.values) : CellResult::Bad;
        if (result == CellResult::Bad || (result == CellResult::BadText && (checked.damaged || adopted)) ||
            !take(c, result, r.values))
            ++dropped;
    }
    return dropped;
}

// What a walk hands on: each page whose cells hold rows or entries, each page lost.
class TreeVisitor {
public:
    virtual ~TreeVisitor() = default;
    virtual void cells(const CheckedPage& checked, std::uint32_t page) = 0;
    virtual void lost(std::uint32_t page, const Range& range, const std::string& why) = 0;
};

// Walks the tree at `root` depth first, in key order; `indexTree` for index pages
// (an index or a WITHOUT ROWID table), else table pages.
void WalkTree(Reading& r, std::uint32_t root, bool indexTree, TreeVisitor& visitor);

} // namespace quillet::standin::reader
