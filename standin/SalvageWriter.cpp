#include "standin/SalvageWriter.h"

#include "standin/SqlText.h"

namespace quillet::standin {

SalvageWriter::SalvageWriter(const std::string& path) {
    rc_ = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
}

SalvageWriter::~SalvageWriter() {
    for (auto& [root, t] : tables_)
        for (auto& [count, stmt] : t.inserts)
            sqlite3_finalize(stmt);
    sqlite3_close_v2(db_);
}

void SalvageWriter::schema(const Header& header, const std::vector<SchemaEntry>& entries, const std::vector<TableCount>&) {
    if (failed())
        return;
    header_ = header;
    entries_ = entries;
    static const char* const encodings[] = {"", "UTF-8", "UTF-16le", "UTF-16be"};
    exec("PRAGMA page_size = " + std::to_string(header.pageSize));
    exec(std::string("PRAGMA encoding = '") + encodings[header.textEncoding] + "'");
    exec(std::string("PRAGMA auto_vacuum = ") +
         (header.incrementalVacuum ? "INCREMENTAL" : header.autoVacuum ? "FULL" : "NONE"));
    // A crash mid-way throws the whole file away: no journal, no syncs until the end.
    exec("PRAGMA journal_mode = OFF");
    exec("PRAGMA synchronous = OFF");
    exec("PRAGMA locking_mode = EXCLUSIVE");
    exec("PRAGMA cache_size = -16384");
    exec("BEGIN");
    for (const SchemaEntry& e : entries) {
        if (e.type != "table" || failed())
            continue;
        TableOut& t = tables_[e.root];
        t.name = e.name;
        if (Upper(e.name) == "SQLITE_SEQUENCE") {
            t.sequence = true;
            continue;
        }
        if (e.root == 0) { // a virtual table: its shadow tables hold the rows
            if (!try_exec(e.sql))
                notes_.push_back("virtual table " + e.name + " not made again: " + sqlite3_errmsg(db_));
            continue;
        }
        if (Upper(e.name).rfind("SQLITE_", 0) == 0) {
            t.skip = true; // statistics: ANALYZE makes them again
            continue;
        }
        if (!e.sql.empty() && try_exec(e.sql)) {
            t.withoutRowid = IsWithoutRowidTable(e.name);
        } else if (exists(e.name)) {
            try_exec("DELETE FROM " + QuoteName(e.name)); // a virtual table's shadow table
        } else {
            t.generic = true;
            notes_.push_back("table " + e.name + ": its CREATE text is unreadable; rows salvaged into columns c1, c2, ...");
        }
    }
}

bool SalvageWriter::row(std::uint32_t root, std::int64_t rowid, const std::vector<Value>& values) {
    if (failed())
        return false;
    auto found = tables_.find(root);
    if (found == tables_.end())
        return false;
    TableOut& t = found->second;
    if (t.skip)
        return true;
    if (t.sequence) {
        if (values.size() == 2 && values[0].kind == Value::Text && values[1].kind == Value::Integer)
            sequence_.emplace_back(std::string(reinterpret_cast<const char*>(values[0].bytes), values[0].length),
                                   values[1].integer);
        return true;
    }
    sqlite3_stmt* stmt = insertFor(t, values.size());
    if (!stmt)
        return false;
    int n = 1;
    if (!t.withoutRowid)
        sqlite3_bind_int64(stmt, n++, rowid);
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i < t.columns.size() && t.columns[i].empty())
            continue;
        const Value& v = values[i];
        switch (v.kind) {
        case Value::Null:
            sqlite3_bind_null(stmt, n);
            break;
        case Value::Integer:
            sqlite3_bind_int64(stmt, n, v.integer);
            break;
        case Value::Real:
            sqlite3_bind_double(stmt, n, v.real);
            break;
        case Value::Text:
            sqlite3_bind_text64(stmt, n, reinterpret_cast<const char*>(v.bytes), v.length, SQLITE_STATIC,
                                static_cast<unsigned char>(textEncoding()));
            break;
        case Value::Blob:
            sqlite3_bind_blob64(stmt, n, v.bytes ? static_cast<const void*>(v.bytes) : "", v.length, SQLITE_STATIC);
            break;
        }
        ++n;
    }
    const int rc = sqlite3_step(stmt);
    sqlite3_reset(stmt);
    if (rc == SQLITE_DONE)
        return true;
    if ((rc & 0xff) != SQLITE_CONSTRAINT && (rc & 0xff) != SQLITE_MISMATCH)
        fail(rc);
    return false;
}

bool SalvageWriter::finish() {
    if (failed())
        return false;
    // ?1 the sequence's value, ?2 its table's name.
    const auto setSequence = [this](const char* sql, const std::string& name, std::int64_t seq) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &st, nullptr) == SQLITE_OK) {
            sqlite3_bind_int64(st, 1, seq);
            sqlite3_bind_text(st, 2, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(st);
        }
        sqlite3_finalize(st);
    };
    for (const auto& [name, seq] : sequence_) {
        setSequence("UPDATE sqlite_sequence SET seq = max(seq, ?1) WHERE name = ?2", name, seq);
        if (sqlite3_changes(db_) == 0 && exists("sqlite_sequence"))
            setSequence("INSERT INTO sqlite_sequence(name, seq) VALUES(?2, ?1)", name, seq);
    }
    for (const char* type : {"index", "view", "trigger"}) {
        for (const SchemaEntry& e : entries_) {
            if (e.type != type || e.sql.empty() || failed())
                continue;
            if (!try_exec(e.sql))
                notes_.push_back(std::string(type) + " " + e.name + " not made again: " + sqlite3_errmsg(db_));
        }
    }
    exec("PRAGMA user_version = " + std::to_string(static_cast<std::int32_t>(header_.userVersion)));
    exec("PRAGMA application_id = " + std::to_string(static_cast<std::int32_t>(header_.applicationId)));
    exec("COMMIT");
    if (header_.wal)
        exec("PRAGMA journal_mode = WAL");
    return !failed();
}

void SalvageWriter::fail(int rc) {
    if (rc_ == SQLITE_OK) {
        rc_ = rc;
        message_ = sqlite3_errmsg(db_);
    }
}

void SalvageWriter::exec(const std::string& sql) {
    if (!failed()) {
        const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            fail(rc);
    }
}

std::vector<std::vector<std::string>> SalvageWriter::query(const std::string& sql, const std::string& arg) {
    std::vector<std::vector<std::string>> rows;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, arg.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const unsigned char* text = sqlite3_column_text(st, i);
                row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
            }
            rows.push_back(std::move(row));
        }
    }
    sqlite3_finalize(st);
    return rows;
}

void SalvageWriter::describe(TableOut& t, std::size_t count) {
    t.prepared = true;
    if (t.generic) {
        try_exec("CREATE TABLE " + QuoteName(t.name) + "(c1)");
        t.columns = {"c1"};
    } else if (t.withoutRowid) {
        const auto pk = query("SELECT name FROM pragma_index_list(?1) WHERE origin = 'pk'", t.name);
        if (!pk.empty())
            for (const auto& r : query("SELECT name FROM pragma_index_xinfo(?1) WHERE cid >= 0 ORDER BY seqno",
                                       pk.front()[0]))
                t.columns.push_back(r[0]);
    } else {
        const auto cols = query("SELECT name, hidden, pk, upper(type) FROM pragma_table_xinfo(?1) ORDER BY cid", t.name);
        int keys = 0;
        for (const auto& c : cols)
            keys += c[2] != "0";
        for (const auto& c : cols) {
            if (c[1] == "2")
                continue; // computed when read, not stored
            const bool alias = keys == 1 && c[2] == "1" && c[3] == "INTEGER";
            t.columns.push_back(c[1] == "0" && !alias ? c[0] : std::string());
        }
        for (const char* name : {"rowid", "_rowid_", "oid"}) {
            bool taken = false;
            for (const auto& c : cols)
                taken = taken || Upper(c[0]) == Upper(name);
            if (!taken) {
                t.rowidName = name;
                break;
            }
        }
    }
    (void)count;
}

sqlite3_stmt* SalvageWriter::insertFor(TableOut& t, std::size_t count) {
    if (!t.prepared)
        describe(t, count);
    if (t.generic) {
        while (t.columns.size() < count) {
            t.columns.push_back("c" + std::to_string(t.columns.size() + 1));
            try_exec("ALTER TABLE " + QuoteName(t.name) + " ADD COLUMN " + t.columns.back());
            for (auto& [n, stmt] : t.inserts)
                sqlite3_finalize(stmt);
            t.inserts.clear();
        }
    }
    if (count > t.columns.size() || (!t.withoutRowid && t.rowidName.empty() && !t.generic))
        return nullptr;
    if (t.generic && t.rowidName.empty())
        t.rowidName = "rowid";
    auto found = t.inserts.find(count);
    if (found != t.inserts.end())
        return found->second;
    std::string names, marks;
    if (!t.withoutRowid) {
        names = t.rowidName;
        marks = "?";
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (t.columns[i].empty())
            continue;
        names += (names.empty() ? "" : ", ") + QuoteName(t.columns[i]);
        marks += marks.empty() ? "?" : ", ?";
    }
    const std::string sql = "INSERT INTO main." + QuoteName(t.name) + "(" + names + ") VALUES(" + marks + ")";
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        return nullptr;
    t.inserts[count] = stmt;
    return stmt;
}

} // namespace quillet::standin
