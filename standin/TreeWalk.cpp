#include "standin/TreeWalk.h"

#include <algorithm>

namespace quillet::standin::reader {

void Reading::problem(std::string text, bool table) {
    if (survey.problems.size() < 200)
        survey.problems.push_back(std::move(text));
    (table ? survey.tableDamage : survey.indexDamage) = true;
}

bool Reading::readPage(std::uint32_t page, std::vector<unsigned char>& buffer) const {
    const Header& h = survey.header;
    buffer.resize(h.pageSize);
    return page >= 1 && page <= h.pageCount &&
           source.read(std::uint64_t{page - 1} * h.pageSize, buffer.data(), buffer.size());
}

long long CheckedPage::good() const {
    return static_cast<long long>(std::count_if(results.begin(), results.end(),
                                                [](CellResult c) { return c != CellResult::Bad; }));
}

namespace {

struct Frame {
    std::uint32_t page;
    Range range;
};

// Cell offsets from a page's pointer array; false when the array does not fit.
bool CellOffsets(const Geometry& g, const std::vector<unsigned char>& page, std::uint32_t h, PageType type,
                 std::vector<std::uint32_t>& offsets) {
    const std::uint32_t count = Get16(page.data() + h + 3);
    const std::uint32_t first = h + PageHeaderSize(type);
    if (first + 2 * count > g.usable)
        return false;
    offsets.clear();
    for (std::uint32_t i = 0; i < count; ++i)
        offsets.push_back(Get16(page.data() + first + 2 * i));
    return true;
}

// A cell starts past the pointer array and inside the usable part of the page.
bool ValidOffset(const Geometry& g, std::uint32_t offset, std::uint32_t arrayEnd) {
    return offset >= arrayEnd && offset < g.usable;
}

// Keys rise within a page and stay inside what the parent allows; a key garbled
// upwards is told from its neighbours by the two that follow.
void CheckKeys(CheckedPage& out, const Range& range) {
    std::int64_t last = 0;
    bool any = false;
    const std::size_t n = out.cells.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (out.results[i] == CellResult::Bad)
            continue;
        const std::int64_t k = out.cells[i].rowid;
        bool ok = range.holds(k) && (!any || k > last);
        std::size_t later = 0;
        for (std::size_t j = i + 1; ok && j < n && later < 2; ++j) {
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

// A table's interior page: children with the key ranges its cells give them, pushed
// so that the leftmost comes off the stack first. False when a cell is damaged.
bool PushTableChildren(const Reading& r, const std::vector<unsigned char>& page, std::uint32_t h, const Frame& f,
                       std::vector<Frame>& stack) {
    std::vector<std::uint32_t> offsets;
    bool ok = CellOffsets(r.geometry, page, h, PageType::InteriorTable, offsets);
    std::vector<Frame> children;
    std::int64_t last = f.range.lo;
    bool open = f.range.open;
    const std::uint32_t arrayEnd = h + 12 + 2 * static_cast<std::uint32_t>(offsets.size());
    for (std::size_t i = 0; ok && i < offsets.size(); ++i) {
        Cell c;
        ok = ValidOffset(r.geometry, offsets[i], arrayEnd) &&
             ParseCell(r.geometry, page.data(), offsets[i], PageType::InteriorTable, c) &&
             (open ? c.rowid >= last : c.rowid > last) && c.rowid <= f.range.hi;
        if (ok) {
            children.push_back({c.child, Range{last, c.rowid, open}});
            last = c.rowid;
            open = false;
        }
    }
    if (!ok)
        return false;
    children.push_back({Get32(page.data() + h + 8), Range{last, f.range.hi, open}});
    stack.insert(stack.end(), children.rbegin(), children.rend());
    return true;
}

// An index's interior page: its cells' children and the right one, leftmost on top.
void PushIndexChildren(const CheckedPage& checked, const std::vector<unsigned char>& page, std::uint32_t h,
                       std::vector<Frame>& stack) {
    stack.push_back({Get32(page.data() + h + 8), Range{}});
    for (auto it = checked.cells.rbegin(); it != checked.cells.rend(); ++it)
        stack.push_back({it->child, Range{}});
}

// Why the page cannot be part of a tree, or nothing when it may be read.
const char* Unreachable(const Reading& r, std::uint32_t page) {
    if (page < 1 || page > r.survey.header.pageCount)
        return "beyond the end of the file";
    if (r.state[page] != Unseen)
        return r.state[page] == FreePage ? "on the freelist" : "reached twice";
    return nullptr;
}

} // namespace

CheckedPage CheckCells(Reading& r, const std::vector<unsigned char>& page, std::uint32_t h, PageType type,
                       const Range& range, bool strictText) {
    CheckedPage out;
    std::vector<std::uint32_t> offsets;
    if (!CellOffsets(r.geometry, page, h, type, offsets)) {
        out.damaged = true;
        return out;
    }
    const std::uint32_t arrayEnd = h + PageHeaderSize(type) + 2 * static_cast<std::uint32_t>(offsets.size());
    out.results.assign(offsets.size(), CellResult::Bad);
    out.cells.resize(offsets.size());
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        Cell& c = out.cells[i];
        if (ValidOffset(r.geometry, offsets[i], arrayEnd) && ParseCell(r.geometry, page.data(), offsets[i], type, c))
            out.results[i] = DecodeLocal(r.geometry, c, r.values);
    }
    if (type == PageType::LeafTable)
        CheckKeys(out, range);
    for (CellResult c : out.results)
        out.damaged = out.damaged || c == CellResult::Bad;
    if (out.damaged || strictText)
        std::replace(out.results.begin(), out.results.end(), CellResult::BadText, CellResult::Bad);
    return out;
}

const unsigned char* AssemblePayload(Reading& r, const Cell& c) {
    if (c.whole())
        return c.payload;
    r.payload.assign(c.payload, c.payload + c.local);
    std::uint32_t next = c.overflow;
    const std::uint32_t room = r.geometry.usable - 4;
    r.claimed.clear();
    // A chain that breaks, or runs on past its length, claims none of its pages: one
    // garbled into another row's chain must leave that row its pages.
    const auto broken = [&r]() -> const unsigned char* {
        for (std::uint32_t p : r.claimed)
            r.state[p] = Unseen;
        return nullptr;
    };
    while (r.payload.size() < c.payloadSize) {
        if (next < 2 || next > r.geometry.pageCount || r.state[next] != Unseen || !r.readPage(next, r.overflow))
            return broken();
        r.state[next] = OverflowPage;
        r.claimed.push_back(next);
        const std::size_t take = std::min<std::uint64_t>(room, c.payloadSize - r.payload.size());
        r.payload.insert(r.payload.end(), r.overflow.begin() + 4, r.overflow.begin() + 4 + static_cast<long>(take));
        next = Get32(r.overflow.data());
    }
    if (next != 0)
        return broken();
    return r.payload.data();
}

void WalkTree(Reading& r, std::uint32_t root, bool indexTree, TreeVisitor& visitor) {
    std::vector<Frame> stack{{root, Range{}}};
    std::vector<unsigned char> page;
    while (!stack.empty() && !r.halted()) {
        const Frame f = stack.back();
        stack.pop_back();
        if (const char* why = Unreachable(r, f.page)) {
            visitor.lost(f.page, f.range, why);
            continue;
        }
        if (!r.readPage(f.page, page)) {
            visitor.lost(f.page, f.range, "cannot be read");
            continue;
        }
        const std::uint32_t h = f.page == 1 ? 100 : 0;
        const auto type = static_cast<PageType>(page[h]);
        if (!IsPageType(page[h]) || IsIndexPage(type) != indexTree) {
            r.state[f.page] = Bad;
            visitor.lost(f.page, f.range, "not a b-tree page of its tree");
            continue;
        }
        r.state[f.page] = InTree;
        if (type == PageType::InteriorTable) {
            if (!PushTableChildren(r, page, h, f, stack)) {
                r.state[f.page] = Bad;
                visitor.lost(f.page, f.range, "damaged interior page");
            }
            continue;
        }
        const CheckedPage checked = CheckCells(r, page, h, type, f.range, false);
        if (type == PageType::InteriorIndex) {
            if (checked.damaged) {
                visitor.lost(f.page, f.range, "damaged interior page");
                continue;
            }
            PushIndexChildren(checked, page, h, stack);
        }
        visitor.cells(checked, f.page);
    }
}

} // namespace quillet::standin::reader
