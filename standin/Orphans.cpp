#include "standin/Orphans.h"

#include <algorithm>

namespace quillet::standin::reader {

namespace {

// Whether every row of an orphan page has the table's shape: a column count and kinds
// of values seen in the rows its tree still reaches.
bool FitsShape(Reading& r, const Tables& tables, std::size_t table, const CheckedPage& checked) {
    const std::vector<std::size_t>& widths = tables.widths[table];
    const std::vector<std::uint8_t>& kinds = tables.kinds[table];
    for (std::size_t i = 0; i < checked.cells.size(); ++i) {
        if (checked.results[i] == CellResult::Bad)
            continue;
        if (DecodeLocal(r.geometry, checked.cells[i], r.values) == CellResult::Bad)
            return false;
        if (widths.empty())
            continue;
        if (std::find(widths.begin(), widths.end(), r.values.size()) == widths.end())
            return false;
        for (std::size_t k = 0; k < r.values.size(); ++k) {
            const Value& v = r.values[k];
            const bool prefixOnly = v.kind >= Value::Text && !v.bytes;
            if (v.kind != Value::Null && !prefixOnly && !(kinds[k] & (1u << v.kind)))
                return false;
        }
    }
    return true;
}

// The one hole whose table the page fits, or nothing when none or several tables do.
Hole* HoleFor(Reading& r, Tables& tables, PageType type, const CheckedPage& checked) {
    if (!r.survey.freelistComplete)
        return nullptr;
    Hole* hole = nullptr;
    std::size_t found = 0;
    for (Hole& h : tables.holes) {
        const bool rowid = !tables.withoutRowid[h.table];
        if (rowid != (type == PageType::LeafTable))
            continue;
        if (rowid && !(h.range.holds(checked.minKey) && h.range.holds(checked.maxKey)))
            continue;
        if (!FitsShape(r, tables, h.table, checked))
            continue;
        if (found == 0 || h.table != hole->table) {
            ++found;
            hole = &h;
        }
    }
    return found == 1 ? hole : nullptr;
}

// An auto-vacuum file's pointer-map pages start with bytes that may look like a page type.
bool IsPointerMap(const Reading& r, std::uint32_t p) {
    const std::uint32_t every = r.geometry.usable / 5 + 1;
    return r.survey.header.autoVacuum && (p - 2) % every == 0;
}

// Page `p`, a leaf or index page that no tree reached: taken up by the one table it
// fits, else counted with its rows.
void Offer(Reading& r, Tables& tables, std::uint32_t p, PageType type, const std::vector<unsigned char>& page) {
    const CheckedPage checked = CheckCells(r, page, 0, type, Range{}, true);
    const long long good = checked.good();
    if (good == 0) {
        // A leaf's shape without one readable row: beside a cut tree, rows lost.
        if (!tables.holes.empty() && type == PageType::LeafTable) {
            ++r.survey.orphanPages;
            r.problem("page " + std::to_string(p) + ": a table page cut off from its tree, no row readable");
        }
        return;
    }
    Hole* hole = HoleFor(r, tables, type, checked);
    if (!hole) {
        ++r.survey.orphanPages;
        r.survey.orphanRows += good;
        r.problem("page " + std::to_string(p) + ": " + std::to_string(good) +
                  " rows on a page that no tree reaches; not taken up");
        return;
    }
    r.state[p] = InTree;
    ++hole->adopted;
    TakeRows(r, tables, checked, hole->table, p, true);
}

} // namespace

void AdoptOrphans(Reading& r, Tables& tables) {
    std::vector<unsigned char> page;
    for (std::uint32_t p = 2; p <= r.geometry.pageCount; ++p) {
        if (IsPointerMap(r, p) || r.state[p] != Unseen || !r.readPage(p, page))
            continue;
        const std::uint8_t type = page[0];
        if (type == static_cast<std::uint8_t>(PageType::LeafTable) ||
            type == static_cast<std::uint8_t>(PageType::LeafIndex) ||
            type == static_cast<std::uint8_t>(PageType::InteriorIndex))
            Offer(r, tables, p, static_cast<PageType>(type), page);
    }
}

} // namespace quillet::standin::reader
