// SQLite files for the stand-in's tests: built with free pages, compared by a dump of
// their schema and every row, and the engine program run on them.
#pragma once

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>

namespace quillet::test {

class Db {
public:
    explicit Db(const std::string& path) {
        if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path);
        sqlite3_busy_timeout(db_, 5000);
    }
    ~Db() { sqlite3_close(db_); }
    Db(const Db&) = delete;
    Db& operator=(const Db&) = delete;

    int exec(const std::string& sql) { return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr); }
    void must(const std::string& sql) {
        if (exec(sql) != SQLITE_OK)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
    }
    long long number(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        long long v = -1;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            v = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        return v;
    }
    sqlite3* get() { return db_; }

private:
    sqlite3* db_ = nullptr;
};

// A database of some hundred KB with every kind of value, an index, many free pages,
// and a table whose rowids have gaps and are its only key.
inline void MakeDatabase(const std::string& path, int rows = 400) {
    Db db(path);
    db.must("CREATE TABLE orders(id INTEGER PRIMARY KEY, customer TEXT, amount REAL, note BLOB, extra);"
            "CREATE INDEX orders_customer ON orders(customer);"
            "CREATE TABLE junk(payload BLOB);");
    db.must("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
            std::to_string(rows) +
            ") INSERT INTO orders(customer, amount, note, extra) SELECT 'customer ' || (x % 37), x * 1.25, "
            "randomblob(200 + x % 300), CASE WHEN x % 3 = 0 THEN NULL ELSE x END FROM n;");
    db.must("WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
            std::to_string(rows * 3) + ") INSERT INTO junk SELECT randomblob(1000) FROM n;");
    db.must("CREATE TABLE notes(line TEXT); WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
            std::to_string(rows) + ") INSERT INTO notes SELECT 'note ' || x FROM n;");
    db.must("DROP TABLE junk; DELETE FROM orders WHERE id % 5 = 0; DELETE FROM notes WHERE rowid % 3 = 0;");
}

// Schema and rows with their rowids as text, in a fixed order.
inline std::string Dump(const std::string& path) {
    Db db(path);
    std::ostringstream out;
    std::vector<std::string> tables;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db.get(), "SELECT type, name, sql FROM sqlite_schema ORDER BY name", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const std::string type = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
        const unsigned char* sql = sqlite3_column_text(st, 2);
        out << type << ' ' << name << ' ' << (sql ? reinterpret_cast<const char*>(sql) : "") << '\n';
        if (type == "table")
            tables.push_back(name);
    }
    sqlite3_finalize(st);
    for (const auto& t : tables) {
        sqlite3_prepare_v2(db.get(), ("SELECT rowid, * FROM \"" + t + "\" ORDER BY rowid").c_str(), -1, &st,
                           nullptr);
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_INTEGER:
                    out << "i" << sqlite3_column_int64(st, c);
                    break;
                case SQLITE_FLOAT: {
                    char buf[40];
                    std::snprintf(buf, sizeof buf, "r%.17g", sqlite3_column_double(st, c));
                    out << buf;
                    break;
                }
                case SQLITE_NULL:
                    out << "n";
                    break;
                default: {
                    const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(st, c));
                    out << "b";
                    for (int i = 0; i < sqlite3_column_bytes(st, c); ++i)
                        out << static_cast<int>(p[i]) << ',';
                }
                }
                out << '|';
            }
            out << '\n';
        }
        sqlite3_finalize(st);
    }
    return out.str();
}

inline long long FreePages(const std::string& path) {
    return Db(path).number("PRAGMA freelist_count");
}
inline long long SizeOf(const std::string& path) {
    return static_cast<long long>(std::filesystem::file_size(path));
}

inline std::string ShellQuote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct EngineResult {
    int code = -1;
    std::string out;
    std::string err;
};

// Runs the stand-in engine with the given arguments; `prefix` is shell text in front
// of the exec, for limits.
inline EngineResult RunEngine(const TempDir& dir, const std::vector<std::string>& args,
                              const std::string& prefix = {}) {
    std::string command = prefix + "exec " + ShellQuote(QUILLET_ENGINE);
    for (const auto& a : args)
        command += " " + ShellQuote(a);
    const std::string outPath = dir.file("engine.out"), errPath = dir.file("engine.err");
    command += " >" + ShellQuote(outPath) + " 2>" + ShellQuote(errPath);
    const int status = std::system(("sh -c " + ShellQuote(command)).c_str());
    EngineResult r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadBytes(outPath);
    r.err = ReadBytes(errPath);
    return r;
}

} // namespace quillet::test
