// One SQLite connection of the engine's, closed on every path, and the few facts about
// the database file that the stages ask for beside it.
#pragma once

#include <string>
#include <vector>

#include <sqlite3.h>

namespace quillet::standin {

class Connection {
public:
    // Without SQLITE_OPEN_CREATE: a file that vanished meanwhile is not created anew.
    explicit Connection(const std::string& path, int flags = SQLITE_OPEN_READWRITE);
    ~Connection() { sqlite3_close_v2(db_); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int openResult() const { return rc_; }
    sqlite3* get() const { return db_; }
    std::string message() const { return db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc_); }

    // Runs one statement; the rows' first columns as text.
    int query(const char* sql, std::vector<std::string>* rows = nullptr);
    int query(const std::string& sql, std::vector<std::string>* rows = nullptr) { return query(sql.c_str(), rows); }
    // The first row's first column as a number; -1 when there is none.
    long long number(const char* sql);
    long long number(const std::string& sql) { return number(sql.c_str()); }

private:
    sqlite3* db_ = nullptr;
    int rc_ = SQLITE_OK;
};

// The file's size in bytes; -1 when it cannot be looked at.
long long FileSize(const std::string& path);

// WAL mode, from SQLite or, in a file it cannot read, from the header and a log beside it.
bool InLogMode(Connection& db, const std::string& path);

} // namespace quillet::standin
