// The schema: page 1's tree walked as any other, and when it is damaged its rows
// looked for on page 1 itself and among the pages that no tree reaches.
#pragma once

#include "standin/TreeWalk.h"

#include <string>

namespace quillet::standin::reader {

// Fills `r.survey.schema`; sets `schemaDamaged` when the tree had to be recovered.
void ReadSchema(Reading& r);

// From a table's or index's SQL as SQLite stores it.
bool IsWithoutRowid(const std::string& sql);
bool IsPartialIndex(const std::string& sql);

} // namespace quillet::standin::reader
