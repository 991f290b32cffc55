// For tests: writes key rows straight into a hive file, the way a damaged or
// forged file may hold them, past every check of the registry calls. The
// store sees them at its next call, as it sees another process's writes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>

// The id of the root key of every hive file.
constexpr std::int64_t kHiveRootRow = 1;

// Adds a key called name below the key of row parent; answers the new row.
inline std::int64_t InsertKeyRow(const std::string& hiveFile, std::int64_t parent, const std::string& name)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(hiveFile.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + hiveFile);
    }
    sqlite3_busy_timeout(db, 10000);
    sqlite3_stmt* st = nullptr;
    std::string lower = name;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    std::int64_t id = -1;
    if (sqlite3_prepare_v2(db, "INSERT INTO keys(parent, name, lname, class) VALUES(?, ?, ?, '')", -1, &st, nullptr) ==
        SQLITE_OK) {
        sqlite3_bind_int64(st, 1, parent);
        sqlite3_bind_text(st, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, lower.data(), static_cast<int>(lower.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_DONE)
            id = sqlite3_last_insert_rowid(db);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    if (id < 0)
        throw std::runtime_error("cannot add a key row to " + hiveFile);
    return id;
}

// The row of the first key of that name (any case); -1 when there is none.
inline std::int64_t KeyRowNamed(const std::string& hiveFile, const std::string& name)
{
    sqlite3* db = nullptr;
    std::int64_t id = -1;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_open(hiveFile.c_str(), &db) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT id FROM keys WHERE lname = lower(?) ORDER BY id", -1, &st, nullptr) ==
            SQLITE_OK) {
        sqlite3_bind_text(st, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW)
            id = sqlite3_column_int64(st, 0);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return id;
}

// Adds the path's names one below the other from row parent; answers the
// row of the last.
inline std::int64_t InsertKeyPath(const std::string& hiveFile, std::int64_t parent, const std::string& path)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('\\', start);
        parent = InsertKeyRow(hiveFile, parent, path.substr(start, end - start));
        if (end == std::string::npos)
            return parent;
        start = end + 1;
    }
}
