#include "standin/Connection.h"

#include "standin/DatabaseBytes.h"
#include "standin/SqlText.h"
#include "core/Include.h"

#include <cstdlib>
#include <sys/stat.h>

namespace quillet::standin {

Connection::Connection(const std::string& path, int flags) {
    rc_ = sqlite3_open_v2(path.c_str(), &db_, flags | SQLITE_OPEN_EXRESCODE, nullptr);
}

int Connection::query(const char* sql, std::vector<std::string>* rows) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        if (rows) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            rows->push_back(text ? reinterpret_cast<const char*>(text) : "");
        }
    }
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

long long Connection::number(const char* sql) {
    std::vector<std::string> rows;
    if (query(sql, &rows) != SQLITE_OK || rows.empty())
        return -1;
    return std::atoll(rows.front().c_str());
}

long long FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

bool InLogMode(Connection& db, const std::string& path) {
    std::vector<std::string> mode;
    if (db.query("PRAGMA journal_mode", &mode) == SQLITE_OK && !mode.empty())
        return LowerAscii(mode.front()) == "wal";
    unsigned char head[20] = {};
    return (HandleSource(db.get()).read(0, head, sizeof head) && head[18] == 2) || FileSize(path + "-wal") > 0;
}

} // namespace quillet::standin
