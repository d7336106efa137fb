#include "standin/Rows.h"

#include "standin/SchemaRecovery.h"

#include <algorithm>

namespace quillet::standin::reader {

namespace {

// A table's tree: losses are holes that adopted pages may fill.
class TableVisitor final : public TreeVisitor {
public:
    TableVisitor(Reading& r, Tables& tables, std::size_t table) : r_(r), tables_(tables), table_(table) {}
    void cells(const CheckedPage& checked, std::uint32_t page) override {
        TakeRows(r_, tables_, checked, table_, page, false);
    }
    void lost(std::uint32_t page, const Range& range, const std::string& why) override {
        r_.problem("page " + std::to_string(page) + ": " + why);
        tables_.holes.push_back({table_, range, 0});
    }

private:
    Reading& r_;
    Tables& tables_;
    std::size_t table_;
};

// What one index's walk found.
struct IndexWalk {
    long long entries = 0;
    bool damaged = false;
    std::vector<std::int64_t> rowids; // with `collect`: each entry's last value, the row's rowid
};

class IndexVisitor final : public TreeVisitor {
public:
    IndexVisitor(Reading& r, bool collect) : r_(r), collect_(collect) {}
    void cells(const CheckedPage& checked, std::uint32_t page) override {
        const long long dropped = ForEachRecord(r_, checked, false, [this](const Cell&, CellResult, const std::vector<Value>& v) {
            ++found_.entries;
            if (collect_ && !v.empty() && v.back().kind == Value::Integer)
                found_.rowids.push_back(v.back().integer);
            return true;
        });
        if (dropped) {
            found_.damaged = true;
            r_.problem("page " + std::to_string(page) + " of an index: " + std::to_string(dropped) + " damaged entries",
                       false);
        }
    }
    void lost(std::uint32_t page, const Range&, const std::string& why) override {
        found_.damaged = true;
        r_.problem("page " + std::to_string(page) + " of an index: " + why, false);
    }
    IndexWalk result() { return std::move(found_); }

private:
    Reading& r_;
    bool collect_;
    IndexWalk found_;
};

// The rowid table of that name whose tree lost a page, or past the end.
std::size_t CutTable(const Reading& r, const Tables& tables, const std::string& name) {
    for (const Hole& h : tables.holes)
        if (r.survey.tables[h.table].name == name && !tables.withoutRowid[h.table])
            return h.table;
    return r.survey.tables.size();
}

// The kinds and column count of a row its tree reaches: the shape adopted rows must have.
void NoteShape(Tables& tables, std::size_t table, const std::vector<Value>& values) {
    std::vector<std::uint8_t>& kinds = tables.kinds[table];
    if (kinds.size() < values.size())
        kinds.resize(values.size(), 0);
    for (std::size_t k = 0; k < values.size(); ++k)
        kinds[k] |= static_cast<std::uint8_t>(1u << values[k].kind);
    std::vector<std::size_t>& widths = tables.widths[table];
    if (std::find(widths.begin(), widths.end(), values.size()) == widths.end())
        widths.push_back(values.size());
}

} // namespace

Tables ListTables(Reading& r) {
    Tables tables;
    for (const SchemaEntry& e : r.survey.schema) {
        if (e.type != "table" || e.root < 2)
            continue;
        TableCount t;
        t.name = e.name;
        t.root = e.root;
        r.survey.tables.push_back(t);
        tables.withoutRowid.push_back(IsWithoutRowid(e.sql));
    }
    tables.kinds.resize(r.survey.tables.size());
    tables.widths.resize(r.survey.tables.size());
    return tables;
}

void WalkTables(Reading& r, Tables& tables) {
    for (std::size_t t = 0; t < r.survey.tables.size() && !r.halted(); ++t) {
        TableVisitor visitor(r, tables, t);
        WalkTree(r, r.survey.tables[t].root, tables.withoutRowid[t], visitor);
    }
}

void WalkIndexes(Reading& r, Tables& tables) {
    for (const SchemaEntry& e : r.survey.schema) {
        if (r.halted())
            break;
        if (e.type != "index" || e.root <= 1 || e.root > r.survey.header.pageCount)
            continue;
        const bool partial = IsPartialIndex(e.sql);
        // The rowids of a cut table: rows on pages taken up later must be among them.
        const std::size_t collectFor = partial ? r.survey.tables.size() : CutTable(r, tables, e.table);
        IndexVisitor visitor(r, collectFor < r.survey.tables.size());
        WalkTree(r, e.root, true, visitor);
        IndexWalk found = visitor.result();
        if (found.damaged) {
            r.survey.damagedIndexes.push_back(e.name);
        } else if (!partial) {
            tables.indexCounts.emplace_back(e.table, found.entries); // one entry per row
            if (collectFor < r.survey.tables.size() && !tables.rowidsOf.count(collectFor)) {
                std::sort(found.rowids.begin(), found.rowids.end());
                tables.rowidsOf[collectFor] = std::move(found.rowids);
            }
        }
    }
}

void TakeRows(Reading& r, Tables& tables, const CheckedPage& checked, std::size_t table, std::uint32_t page,
              bool adopted) {
    TableCount& t = r.survey.tables[table];
    const bool withoutRowid = tables.withoutRowid[table];
    const auto known = tables.rowidsOf.find(table);
    const auto take = [&](const Cell& c, CellResult result, const std::vector<Value>& values) {
        // A row on a page no tree reached whose rowid a whole index does not know: its
        // key was garbled.
        if (adopted && !withoutRowid && known != tables.rowidsOf.end() &&
            !std::binary_search(known->second.begin(), known->second.end(), c.rowid))
            return false;
        t.maxColumns = std::max(t.maxColumns, values.size());
        if (!adopted)
            NoteShape(tables, table, values);
        if (r.sink && !r.sink->row(t.root, c.rowid, values))
            return false;
        ++t.rows;
        if (adopted)
            ++t.adopted;
        if (result == CellResult::BadText) {
            if (r.survey.oddText.size() < 50)
                r.survey.oddText.push_back({t.name, c.rowid, withoutRowid});
            ++r.survey.oddTextRows;
        }
        return true;
    };
    const long long dropped = ForEachRecord(r, checked, adopted, take);
    if (dropped) {
        r.problem("page " + std::to_string(page) + ": " + std::to_string(dropped) +
                  (dropped == 1 ? " damaged row" : " damaged rows"));
        t.dropped += dropped;
    }
}

void CountLosses(Reading& r, const Tables& tables) {
    // A WITHOUT ROWID table's interior pages hold rows too: a lost one loses them even
    // when the pages below it were found again.
    for (const Hole& h : tables.holes)
        if (h.adopted == 0 || tables.withoutRowid[h.table])
            ++r.survey.tables[h.table].pagesLost;
    r.survey.treesCut = !tables.holes.empty();
    // An index whose tree is whole counts the table's rows: fewer back is a loss.
    for (const auto& [table, entries] : tables.indexCounts)
        for (TableCount& t : r.survey.tables)
            if (t.name == table && entries - t.rows > t.dropped)
                t.dropped = entries - t.rows;
}

} // namespace quillet::standin::reader
