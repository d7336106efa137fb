// The salvage's new database file.
#pragma once

#include "standin/PageReader.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <sqlite3.h>

namespace quillet::standin {

// Writes the rows it is given into a new SQLite file: tables first, as the schema
// has them, then the rows, then indexes, views and triggers, so that no trigger
// fires on a salvaged row.
class SalvageWriter final : public SalvageSink {
public:
    explicit SalvageWriter(const std::string& path);
    ~SalvageWriter() override;
    SalvageWriter(const SalvageWriter&) = delete;
    SalvageWriter& operator=(const SalvageWriter&) = delete;

    bool failed() const { return rc_ != SQLITE_OK; }
    int code() const { return rc_; }
    std::string message() const { return message_.empty() && db_ ? sqlite3_errmsg(db_) : message_; }
    std::vector<std::string>& notes() { return notes_; }

    void schema(const Header& header, const std::vector<SchemaEntry>& entries, const std::vector<TableCount>&) override;
    bool row(std::uint32_t root, std::int64_t rowid, const std::vector<Value>& values) override;
    // Everything after the rows; false when the file could not be completed.
    bool finish();

private:
    struct TableOut {
        std::string name;
        bool withoutRowid = false, generic = false, sequence = false, skip = false, prepared = false;
        std::vector<std::string> columns; // in the record's order; empty: not written
        std::string rowidName;
        std::map<std::size_t, sqlite3_stmt*> inserts;
    };

    int textEncoding() const {
        return header_.textEncoding == 2 ? SQLITE_UTF16LE : header_.textEncoding == 3 ? SQLITE_UTF16BE : SQLITE_UTF8;
    }

    void fail(int rc);
    void exec(const std::string& sql);
    bool try_exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK; }

    std::vector<std::vector<std::string>> query(const std::string& sql, const std::string& arg);

    bool exists(const std::string& name) {
        return !query("SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = ?1", name).empty();
    }
    bool IsWithoutRowidTable(const std::string& name) {
        return !query("SELECT 1 FROM pragma_table_list WHERE schema = 'main' AND name = ?1 AND wr", name).empty();
    }

    // The columns a record fills, in its order: a WITHOUT ROWID table's key first.
    void describe(TableOut& t, std::size_t count);

    sqlite3_stmt* insertFor(TableOut& t, std::size_t count);

    sqlite3* db_ = nullptr;
    int rc_ = SQLITE_OK;
    std::string message_;
    Header header_;
    std::vector<SchemaEntry> entries_;
    std::map<std::uint32_t, TableOut> tables_;
    std::vector<std::pair<std::string, std::int64_t>> sequence_;
    std::vector<std::string> notes_;
};

} // namespace quillet::standin
