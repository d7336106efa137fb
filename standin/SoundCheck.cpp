#include "standin/SoundCheck.h"

#include "standin/DatabaseBytes.h"

#include <sqlite3.h>

#include <algorithm>

namespace quillet::standin {

namespace {

std::uint32_t Get32(const unsigned char* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// integrity_check's first finding; `failure` set when it could not run to its end.
Soundness Integrity(sqlite3* db) {
    Soundness verdict;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA integrity_check(1)", -1, &stmt, nullptr);
    std::string first;
    if (rc == SQLITE_OK) {
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            if (first.empty() && text)
                first = reinterpret_cast<const char*>(text);
        }
        if (rc == SQLITE_DONE)
            rc = SQLITE_OK;
    }
    const std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(stmt);
    const int primary = rc & 0xff;
    if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED || primary == SQLITE_IOERR || primary == SQLITE_NOMEM ||
        primary == SQLITE_INTERRUPT) {
        verdict.failure = rc;
        verdict.found = message;
    } else if (rc != SQLITE_OK) {
        verdict = {true, "integrity check: " + message, 0};
    } else if (first != "ok") {
        verdict = {true, "integrity check: " + (first.empty() ? std::string("no answer") : first), 0};
    }
    return verdict;
}

// A record never holds more values than its table has stored columns: SQLite's
// VACUUM would fail on it ("... values were supplied") or copy what no query reads.
std::string ColumnProblem(sqlite3* db, const Survey& survey) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT count(*) FROM pragma_table_xinfo(?1) WHERE hidden <> 2", -1, &stmt, nullptr) !=
        SQLITE_OK)
        return {};
    std::string problem;
    for (const TableCount& t : survey.tables) {
        sqlite3_bind_text(stmt, 1, t.name.c_str(), -1, SQLITE_TRANSIENT);
        const long long columns = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : 0;
        sqlite3_reset(stmt);
        if (columns > 0 && t.maxColumns > static_cast<std::size_t>(columns)) {
            problem = "table " + t.name + " has " + std::to_string(columns) + " columns, a row of it " +
                      std::to_string(t.maxColumns) + " values";
            break;
        }
    }
    sqlite3_finalize(stmt);
    return problem;
}

} // namespace

std::string HeaderProblem(const unsigned char* h) {
    const std::uint32_t pageSize = std::uint32_t{h[16]} << 8 | h[17];
    if (pageSize != 1 && (pageSize < 512 || (pageSize & (pageSize - 1)) != 0))
        return "the header's page size is impossible";
    if (static_cast<std::uint32_t>(pageSize == 1 ? 65536 : pageSize) - h[20] < 480)
        return "the header's reserved space leaves too little of a page";
    if ((h[18] != 1 && h[18] != 2) || (h[19] != 1 && h[19] != 2))
        return "the header's file format versions are unknown";
    if (h[21] != 64 || h[22] != 32 || h[23] != 32)
        return "the header's payload fractions are not 64, 32 and 32";
    if (Get32(h + 44) > 4)
        return "the header's schema format is unknown";
    if (Get32(h + 56) > 3)
        return "the header's text encoding is unknown";
    if (Get32(h + 52) == 0 && Get32(h + 64) != 0)
        return "the header asks for incremental vacuum without auto-vacuum";
    for (int i = 72; i < 92; ++i)
        if (h[i] != 0)
            return "the header's reserved bytes are not zero";
    return {};
}

Soundness SoundnessOf(const Survey& survey) {
    if (!survey.readable)
        return {true, "no page of it can be read", 0};
    if (!survey.problems.empty() && (survey.tableDamage || survey.indexDamage))
        return {true, survey.problems.front(), 0};
    if (survey.damaged())
        return {true, "a damaged page", 0};
    if (!survey.schemaRowProblem.empty())
        return {true, survey.schemaRowProblem, 0};
    if (survey.schemaDamaged)
        return {true, "the schema's page is damaged", 0};
    return {};
}

Soundness CheckSoundness(sqlite3* db, const std::string& path, sqlite3* checker) {
    const DatabaseBytes bytes(db, path);
    if (!bytes.open())
        return {false, "SQLite gave no handle of the file", SQLITE_IOERR};
    unsigned char header[100];
    if (!bytes.file().read(0, header, sizeof header))
        return {true, "the file is shorter than its header", 0};
    if (std::string problem = HeaderProblem(header); !problem.empty())
        return {true, problem, 0};
    const Survey survey = ReadDatabase(bytes.pages(), nullptr, true);
    if (Soundness walked = SoundnessOf(survey); walked.damaged)
        return walked;
    if (std::string problem = ColumnProblem(checker, survey); !problem.empty())
        return {true, problem, 0};
    return Integrity(checker);
}

std::string DamagedLine(const std::string& found) {
    // One line, as the history keeps the last one: integrity_check names the database first.
    std::string brief = found;
    for (const std::string heading : {"*** in database main ***\n", "*** in database main ***"})
        if (const std::size_t at = brief.find(heading); at != std::string::npos)
            brief.erase(at, heading.size());
    std::replace(brief.begin(), brief.end(), '\n', ' ');
    if (brief.size() > 160) {
        std::size_t cut = 157;
        while (cut > 0 && (static_cast<unsigned char>(brief[cut]) & 0xc0) == 0x80)
            --cut;
        brief = brief.substr(0, cut) + "...";
    }
    return "damaged (" + brief + "); not compacted, the file is as it was; tick Repair to salvage it";
}

} // namespace quillet::standin
