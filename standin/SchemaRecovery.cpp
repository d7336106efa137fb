#include "standin/SchemaRecovery.h"

#include "standin/SqlText.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace quillet::standin::reader {

namespace {

bool IsSchemaType(const std::string& type) {
    return type == "table" || type == "index" || type == "view" || type == "trigger";
}

// Five values, the first a text: what a schema row looks like before it is read.
bool HasSchemaShape(const std::vector<Value>& values) {
    return values.size() == 5 && values[0].kind == Value::Text && values[0].bytes;
}

// A schema row: type, name, table, root page, SQL; nothing when the values are no
// row of this file's schema (a dropped table's row names a free page as its root).
std::optional<SchemaEntry> SchemaRowOf(const Reading& r, const std::vector<Value>& values, bool textOk) {
    if (values.size() != 5)
        return {};
    const auto isText = [](const Value& v) { return v.kind == Value::Text && v.bytes; };
    if (!isText(values[0]) || !isText(values[1]) || !isText(values[2]) || values[3].kind != Value::Integer)
        return {};
    SchemaEntry e;
    e.type = TextOf(r.geometry, values[0]);
    if (!IsSchemaType(e.type))
        return {};
    e.name = TextOf(r.geometry, values[1]);
    e.table = TextOf(r.geometry, values[2]);
    if (values[3].integer < 0 || values[3].integer > r.survey.header.pageCount)
        return {};
    e.root = static_cast<std::uint32_t>(values[3].integer);
    if (values[4].kind == Value::Text && values[4].bytes)
        e.sql = TextOf(r.geometry, values[4]);
    else if (values[4].kind != Value::Null)
        return {};
    e.sqlReadable = textOk;
    if (e.root > 1 && r.state[e.root] == FreePage)
        return {};
    return e;
}

// The first row of a name counts.
void AddSchema(Survey& survey, SchemaEntry e) {
    for (const SchemaEntry& known : survey.schema)
        if (known.name == e.name)
            return;
    survey.schema.push_back(std::move(e));
}

// Page 1's tree. True when it showed damage.
class SchemaVisitor final : public TreeVisitor {
public:
    explicit SchemaVisitor(Reading& r) : r_(r) {}
    void cells(const CheckedPage& checked, std::uint32_t page) override {
        const long long dropped = ForEachRecord(r_, checked, false, [&](const Cell&, CellResult result, const std::vector<Value>& v) {
            if (auto e = SchemaRowOf(r_, v, result == CellResult::Ok)) {
                AddSchema(r_.survey, std::move(*e));
            } else {
                damaged_ = true;
                if (r_.survey.schemaRowProblem.empty())
                    r_.survey.schemaRowProblem = "page " + std::to_string(page) +
                                                 ": a schema row that is no table, index, view or trigger of this file";
            }
            return true;
        });
        if (dropped) {
            damaged_ = true;
            r_.problem("page " + std::to_string(page) + ": " + std::to_string(dropped) +
                       (dropped == 1 ? " damaged row" : " damaged rows"));
        }
    }
    void lost(std::uint32_t page, const Range&, const std::string& why) override {
        damaged_ = true;
        r_.problem("page " + std::to_string(page) + ": " + why);
    }
    bool damaged() const { return damaged_; }

private:
    Reading& r_;
    bool damaged_ = false;
};

// Page 1's cells through its pointer array, even when the page's header is gone; up
// to the first that is no schema row. True when one was found.
bool ReadPointedCells(Reading& r, const std::vector<unsigned char>& page) {
    bool any = false;
    for (std::uint32_t at = 108; at + 2 <= r.geometry.usable; at += 2) {
        const std::uint32_t offset = Get16(page.data() + at);
        Cell c;
        if (offset < at + 2 || !ParseCell(r.geometry, page.data(), offset, PageType::LeafTable, c) || !c.whole())
            break;
        const CellResult result = DecodeLocal(r.geometry, c, r.values);
        if (result == CellResult::Bad)
            break;
        auto e = SchemaRowOf(r, r.values, result == CellResult::Ok);
        if (!e)
            break;
        AddSchema(r.survey, std::move(*e));
        any = true;
    }
    return any;
}

// The whole record of `c` as a schema row, its overflow pages taken.
std::optional<SchemaEntry> WholeSchemaRow(Reading& r, const Cell& c) {
    const unsigned char* data = AssemblePayload(r, c);
    const CellResult result =
        data ? DecodeRecord(r.geometry, data, c.payloadSize, c.payloadSize, true, r.values) : CellResult::Bad;
    if (result == CellResult::Bad)
        return {};
    return SchemaRowOf(r, r.values, result == CellResult::Ok);
}

// Page 1 without its pointer array: its cells still lie in its content area. Every
// offset is tried; a record with a schema row's shape is taken, and the scan goes on
// after it. A root that an earlier row claims is a dropped table's stale row.
void ScanSchemaPage(Reading& r, const std::vector<unsigned char>& page) {
    std::vector<std::uint32_t> roots;
    for (const SchemaEntry& e : r.survey.schema)
        roots.push_back(e.root);
    for (std::uint32_t at = 108; at + 4 < r.geometry.usable;) {
        Cell c;
        if (ParseCell(r.geometry, page.data(), at, PageType::LeafTable, c) && c.payloadSize > 6 &&
            DecodeLocal(r.geometry, c, r.values) != CellResult::Bad && HasSchemaShape(r.values)) {
            auto e = WholeSchemaRow(r, c);
            if (e && (e->root == 0 || std::find(roots.begin(), roots.end(), e->root) == roots.end())) {
                roots.push_back(e->root);
                AddSchema(r.survey, std::move(*e));
                at = static_cast<std::uint32_t>(c.payload - page.data() + c.local) + (c.whole() ? 0 : 4);
                continue;
            }
        }
        ++at;
    }
}

// A leaf that no tree reaches and whose every row is a schema row: a page of the
// schema's tree cut off from it. The shape is checked first, from what lies on the
// page, so that a table's overflow pages stay unclaimed for its own walk.
void TakeSchemaLeaf(Reading& r, std::uint32_t p, const std::vector<unsigned char>& page) {
    const CheckedPage checked = CheckCells(r, page, 0, PageType::LeafTable, Range{}, false);
    if (checked.damaged || checked.cells.empty())
        return;
    for (const Cell& c : checked.cells)
        if (DecodeLocal(r.geometry, c, r.values) == CellResult::Bad || !HasSchemaShape(r.values) ||
            !IsSchemaType(TextOf(r.geometry, r.values[0])))
            return;
    std::vector<SchemaEntry> found;
    for (const Cell& c : checked.cells) {
        auto e = WholeSchemaRow(r, c);
        if (!e)
            return;
        found.push_back(std::move(*e));
    }
    r.state[p] = InTree;
    for (SchemaEntry& e : found)
        AddSchema(r.survey, std::move(e));
}

// Page 1's tree is damaged: its rows are looked for on page 1, then among the leaves
// that no tree reaches.
void RecoverSchema(Reading& r) {
    std::vector<unsigned char> page;
    if (r.readPage(1, page) && !ReadPointedCells(r, page))
        ScanSchemaPage(r, page);
    for (std::uint32_t p = 2; p <= r.geometry.pageCount; ++p)
        if (r.state[p] == Unseen && r.readPage(p, page) && page[0] == static_cast<std::uint8_t>(PageType::LeafTable))
            TakeSchemaLeaf(r, p, page);
}

} // namespace

void ReadSchema(Reading& r) {
    SchemaVisitor visitor(r);
    WalkTree(r, 1, false, visitor);
    r.survey.schemaDamaged = visitor.damaged();
    if (visitor.damaged())
        RecoverSchema(r);
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

bool IsPartialIndex(const std::string& sql) { return Upper(sql).find("WHERE") != std::string::npos; }

} // namespace quillet::standin::reader
