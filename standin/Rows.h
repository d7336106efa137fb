// The rows of every table tree and the entries of every index, walked from their roots:
// what each table's rows look like and where its tree was cut, for the pages that no
// tree reaches.
#pragma once

#include "standin/TreeWalk.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace quillet::standin::reader {

// A table's tree lost the subtree of `range` there.
struct Hole {
    std::size_t table;
    Range range;
    long long adopted = 0;
};

// What the walk learns of the tables of `Survey::tables`, by their place there.
struct Tables {
    std::vector<bool> withoutRowid;
    std::vector<std::vector<std::uint8_t>> kinds;  // per column: a bit per Value::Kind seen
    std::vector<std::vector<std::size_t>> widths;  // column counts seen
    std::vector<Hole> holes;
    std::map<std::size_t, std::vector<std::int64_t>> rowidsOf; // cut tables: rowids of a whole index, sorted
    std::vector<std::pair<std::string, long long>> indexCounts; // table, entries of a whole index
};

// The schema's tables, added to `r.survey.tables`.
Tables ListTables(Reading& r);

// Every table's tree, its rows to the sink.
void WalkTables(Reading& r, Tables& tables);

// Every index's tree: damaged indexes named in the survey, whole ones counted, and
// the rowids of a cut table kept for the rows found again later.
void WalkIndexes(Reading& r, Tables& tables);

// Passes the rows of a checked page of table `table` on; `adopted` when no tree reached the page.
void TakeRows(Reading& r, Tables& tables, const CheckedPage& checked, std::size_t table, std::uint32_t page,
              bool adopted);

// Losses the walks can only tell at the end: pages of cut trees, rows an index counts.
void CountLosses(Reading& r, const Tables& tables);

} // namespace quillet::standin::reader
