#include "platform/Registry.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace {

// Marks a database file as one of our hives, so that a stray file at a
// hive's path is refused instead of being written over.
constexpr int kApplicationId = 0x5A565247;  // "ZVRG"
constexpr std::int64_t kRootId = 1;
constexpr int kBusyTimeoutMs = 10000;

constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | REG_DELETE | WRITE_DAC | WRITE_OWNER;

std::string Lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

struct Value
{
    std::string name;
    std::string lname;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Node
{
    std::int64_t id = 0;
    Node* parent = nullptr;
    DWORD depth = 0;  // names between the root and this key
    std::string name;
    std::string cls;
    std::map<std::string, Node*> children;  // by lower-case name: enumeration order
    std::vector<Value> values;              // in the order first written

    Value* FindValue(const std::string& lname)
    {
        for (auto& v : values) {
            if (v.lname == lname)
                return &v;
        }
        return nullptr;
    }
};

// One prepared statement, reset after each use.
class Stmt
{
public:
    Stmt(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &st_, nullptr); }
    ~Stmt() { sqlite3_finalize(st_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    bool ok() const { return rc_ == SQLITE_OK && st_ != nullptr; }
    sqlite3_stmt* get() { return st_; }
    int step() { return sqlite3_step(st_); }

private:
    sqlite3_stmt* st_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

// Creates the folders above a file; returns why the first one that could not
// be made failed, or an empty text.
std::string MakeParentDirs(const std::string& path)
{
    for (std::size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1)) {
        const std::string folder = path.substr(0, pos);
        if (::mkdir(folder.c_str(), 0755) == 0)
            continue;
        if (errno != EEXIST)
            return folder + ": " + std::strerror(errno);
        struct stat st
        {};
        if (::stat(folder.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
            return folder + ": " + std::strerror(ENOTDIR);
    }
    return {};
}

// Held while a hive file is looked at and, when new, made: a process that
// finds the file empty then knows no other is still making it.
class CFolderLock
{
public:
    explicit CFolderLock(const std::string& folder) : m_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        if (m_fd >= 0)
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~CFolderLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);  // releases the lock
    }
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;

private:
    int m_fd;
};

bool IsEmptyFile(const std::string& path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

bool IsNonEmptyFile(const std::string& path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
}

// A file path as an SQLite URI: everything but unreserved characters and
// "/" percent-encoded, so that "?", "#" or "%" in a folder name stay part of
// the path.
std::string FileUri(const std::string& path, const char* query)
{
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        }
    }
    return uri + "?" + query;
}

class Hive
{
public:
    enum class Mode { Writable, ReadOnly, Absent, Broken, InMemory };

    explicit Hive(std::string path) : path_(std::move(path)) { Open(); }
    ~Hive() { CloseDb(); }
    Hive(const Hive&) = delete;
    Hive& operator=(const Hive&) = delete;

    Mode mode() const { return mode_; }
    bool writable() const { return mode_ == Mode::Writable || mode_ == Mode::InMemory; }
    const std::string& path() const { return path_; }
    // Why the hive is not writable on disk; empty when it is.
    const std::string& reason() const { return reason_; }

    // Renames the file (with its write-ahead log and index) to a free name
    // beside it and opens a new, empty hive at the path.
    LONG SetAside(std::string& movedTo)
    {
        CloseDb();
        const std::string stamp = [] {
            const std::time_t now = std::time(nullptr);
            std::tm local{};
            char text[32] = "";
            if (localtime_r(&now, &local))
                std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
            return std::string(text);
        }();
        std::string target = path_ + ".damaged-" + stamp;
        for (int n = 2; ::access(target.c_str(), F_OK) == 0; ++n)
            target = path_ + ".damaged-" + stamp + "-" + std::to_string(n);
        if (std::rename(path_.c_str(), target.c_str()) != 0) {
            reason_ = target + ": " + std::strerror(errno);
            return ERROR_ACCESS_DENIED;
        }
        for (const char* side : {"-wal", "-shm"})
            std::rename((path_ + side).c_str(), (target + side).c_str());
        movedTo = target;
        Open();
        return writable() ? ERROR_SUCCESS : ERROR_CANTWRITE;
    }

    // Goes on with a copy in memory: of the file when it can be read, else
    // empty. Nothing of it reaches the disk.
    LONG KeepInMemory()
    {
        const std::string why = reason_;
        const bool readable = mode_ == Mode::ReadOnly;
        CloseDb();
        ResetToEmptyRoot();
        if (!OpenWith(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, false))
            return ERROR_CANTWRITE;
        if (readable)
            CopyFileIntoMemory();
        if (!PrepareSchema(true) && (!ClearMemory() || !PrepareSchema(true))) {
            CloseDb();
            return ERROR_CANTWRITE;
        }
        if (!Reload() || !DataVersion(dataVersion_)) {
            CloseDb();
            return ERROR_CANTREAD;
        }
        mode_ = Mode::InMemory;
        reason_ = why;
        return ERROR_SUCCESS;
    }

    // Brings the in-memory copy up to date with what other processes have
    // committed. Cheap when nothing changed: one look at the shared WAL index.
    LONG Refresh()
    {
        if (mode_ == Mode::Broken)
            return ERROR_CANTREAD;
        if (!db_)
            return ERROR_SUCCESS;
        std::int64_t version = 0;
        if (!DataVersion(version))
            return ERROR_CANTREAD;
        if (version == dataVersion_ && !stale_)
            return ERROR_SUCCESS;
        if (!Reload())
            return ERROR_CANTREAD;
        dataVersion_ = version;
        return ERROR_SUCCESS;
    }

    Node* Find(std::int64_t id)
    {
        auto it = nodes_.find(id);
        return it == nodes_.end() ? nullptr : it->second.get();
    }

    // Runs body inside one write transaction on a fresh copy; body changes
    // both the database and the copy. When anything fails the transaction
    // is rolled back and the copy reloaded, so the two never disagree.
    // Inside a transaction of several calls (JoinTransaction) the write is a
    // savepoint of that transaction, which is begun with the first write and
    // ended by EndTransaction.
    template <class Body>
    LONG Write(std::int64_t keyId, Body&& body)
    {
        if (!writable())
            return ERROR_ACCESS_DENIED;
        if (joined_ && !begun_) {
            if (!Exec("BEGIN IMMEDIATE"))
                return ERROR_CANTWRITE;
            begun_ = true;
        }
        if (!Exec(begun_ ? "SAVEPOINT call" : "BEGIN IMMEDIATE"))
            return ERROR_CANTWRITE;
        LONG rc = Refresh();
        Node* node = nullptr;
        if (rc == ERROR_SUCCESS) {
            node = Find(keyId);
            if (!node)
                rc = ERROR_KEY_DELETED;
        }
        if (rc == ERROR_SUCCESS)
            rc = body(*node);
        if (rc == ERROR_SUCCESS && !Exec(begun_ ? "RELEASE call" : "COMMIT"))
            rc = ERROR_CANTWRITE;
        if (rc != ERROR_SUCCESS) {
            if (begun_) {
                Exec("ROLLBACK TO call");
                Exec("RELEASE call");
            } else {
                Exec("ROLLBACK");
            }
            stale_ = true;
        }
        return rc;
    }

    // Holds the writes that follow in one transaction until EndTransaction.
    void JoinTransaction() { joined_ = true; }
    // Commits or rolls back what was written since JoinTransaction.
    LONG EndTransaction(bool commit)
    {
        const bool begun = begun_;
        joined_ = begun_ = false;
        if (!begun)
            return ERROR_SUCCESS;
        if (commit && Exec("COMMIT"))
            return ERROR_SUCCESS;
        Exec("ROLLBACK");
        stale_ = true;
        return commit ? ERROR_CANTWRITE : ERROR_SUCCESS;
    }

    // Creates a child of parent inside a write transaction.
    LONG InsertKey(Node& parent, const std::string& name, const std::string& cls, Node*& created)
    {
        Stmt st(db_, "INSERT INTO keys(parent, name, lname, class) VALUES(?, ?, ?, ?)");
        if (!st.ok())
            return ERROR_CANTWRITE;
        const std::string lname = Lower(name);
        sqlite3_bind_int64(st.get(), 1, parent.id);
        sqlite3_bind_text(st.get(), 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st.get(), 3, lname.data(), static_cast<int>(lname.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st.get(), 4, cls.data(), static_cast<int>(cls.size()), SQLITE_TRANSIENT);
        if (st.step() != SQLITE_DONE)
            return ERROR_CANTWRITE;
        created = AddNode(sqlite3_last_insert_rowid(db_), &parent, name, cls);
        return ERROR_SUCCESS;
    }

    LONG UpsertValue(Node& node, const std::string& name, DWORD type, const BYTE* data, DWORD size)
    {
        Stmt st(db_, "INSERT INTO vals(key, name, lname, type, data) VALUES(?, ?, ?, ?, ?) "
                     "ON CONFLICT(key, lname) DO UPDATE SET type = excluded.type, data = excluded.data");
        if (!st.ok())
            return ERROR_CANTWRITE;
        const std::string lname = Lower(name);
        sqlite3_bind_int64(st.get(), 1, node.id);
        sqlite3_bind_text(st.get(), 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st.get(), 3, lname.data(), static_cast<int>(lname.size()), SQLITE_TRANSIENT);
        sqlite3_bind_int64(st.get(), 4, type);
        if (size == 0) {
            sqlite3_bind_zeroblob(st.get(), 5, 0);
        } else {
            sqlite3_bind_blob(st.get(), 5, data, static_cast<int>(size), SQLITE_TRANSIENT);
        }
        if (st.step() != SQLITE_DONE)
            return ERROR_CANTWRITE;
        Value* v = node.FindValue(lname);
        if (!v) {
            node.values.push_back(Value{name, lname, type, {}});
            v = &node.values.back();
        }
        v->type = type;
        v->data.assign(data, data + size);
        return ERROR_SUCCESS;
    }

    LONG RemoveValue(Node& node, const std::string& name)
    {
        const std::string lname = Lower(name);
        auto it =
            std::find_if(node.values.begin(), node.values.end(), [&](const Value& v) { return v.lname == lname; });
        if (it == node.values.end())
            return ERROR_FILE_NOT_FOUND;
        Stmt st(db_, "DELETE FROM vals WHERE key = ? AND lname = ?");
        if (!st.ok())
            return ERROR_CANTWRITE;
        sqlite3_bind_int64(st.get(), 1, node.id);
        sqlite3_bind_text(st.get(), 2, lname.data(), static_cast<int>(lname.size()), SQLITE_TRANSIENT);
        if (st.step() != SQLITE_DONE)
            return ERROR_CANTWRITE;
        node.values.erase(it);
        return ERROR_SUCCESS;
    }

    LONG RemoveLeaf(Node& node)
    {
        if (!node.parent)
            return ERROR_ACCESS_DENIED;
        if (!node.children.empty())
            return ERROR_ACCESS_DENIED;
        Stmt sv(db_, "DELETE FROM vals WHERE key = ?");
        Stmt sk(db_, "DELETE FROM keys WHERE id = ?");
        if (!sv.ok() || !sk.ok())
            return ERROR_CANTWRITE;
        sqlite3_bind_int64(sv.get(), 1, node.id);
        sqlite3_bind_int64(sk.get(), 1, node.id);
        if (sv.step() != SQLITE_DONE || sk.step() != SQLITE_DONE)
            return ERROR_CANTWRITE;
        node.parent->children.erase(Lower(node.name));
        nodes_.erase(node.id);
        return ERROR_SUCCESS;
    }

    LONG Flush()
    {
        if (mode_ != Mode::Writable)
            return ERROR_SUCCESS;
        // A full checkpoint syncs the write-ahead log and the database file,
        // which makes every commit so far durable.
        Stmt st(db_, "PRAGMA wal_checkpoint(FULL)");
        if (!st.ok() || st.step() != SQLITE_ROW)
            return ERROR_CANTWRITE;
        return ERROR_SUCCESS;
    }

private:
    bool Exec(const char* sql) { return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

    bool DataVersion(std::int64_t& version)
    {
        if (!versionStmt_) {
            if (sqlite3_prepare_v2(db_, "PRAGMA data_version", -1, &versionStmt_, nullptr) != SQLITE_OK) {
                return false;
            }
        }
        const bool ok = sqlite3_step(versionStmt_) == SQLITE_ROW;
        if (ok)
            version = sqlite3_column_int64(versionStmt_, 0);
        sqlite3_reset(versionStmt_);
        return ok;
    }

    Node* AddNode(std::int64_t id, Node* parent, const std::string& name, const std::string& cls)
    {
        auto node = std::make_unique<Node>();
        node->id = id;
        node->parent = parent;
        node->depth = parent ? parent->depth + 1 : 0;
        node->name = name;
        node->cls = cls;
        Node* raw = node.get();
        nodes_[id] = std::move(node);
        if (parent)
            parent->children[Lower(name)] = raw;
        return raw;
    }

    void ResetToEmptyRoot()
    {
        nodes_.clear();
        AddNode(kRootId, nullptr, "", "");
    }

    // Reads the whole hive. Keys come in id order, so a parent is always
    // read before its children.
    bool Reload()
    {
        const bool ownTransaction = sqlite3_get_autocommit(db_) != 0;
        if (ownTransaction && !Exec("BEGIN"))
            return false;
        bool ok = LoadTables();
        if (ownTransaction)
            Exec(ok ? "COMMIT" : "ROLLBACK");
        stale_ = !ok;
        return ok;
    }

    bool LoadTables()
    {
        ResetToEmptyRoot();
        Stmt keys(db_, "SELECT id, parent, name, class FROM keys WHERE id <> 1 ORDER BY id");
        if (!keys.ok())
            return false;
        int rc;
        while ((rc = keys.step()) == SQLITE_ROW) {
            const auto id = sqlite3_column_int64(keys.get(), 0);
            // A damaged file may give one id twice: the first row stands.
            if (Find(id))
                continue;
            Node* parent = Find(sqlite3_column_int64(keys.get(), 1));
            if (!parent)
                continue;  // orphan of a damaged file: not reachable
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(keys.get(), 2));
            const auto* cls = reinterpret_cast<const char*>(sqlite3_column_text(keys.get(), 3));
            // A row no call could have written (a damaged or forged file) is
            // left out with everything below it: an empty name or one with a
            // separator would name another key when walked, so a walk over
            // the tree would never end, and a key deeper than the bound would
            // take every walk that deep.
            const std::string_view keyName = name ? name : "";
            if (keyName.empty() || keyName.size() > REG_MAX_KEY_NAME || keyName.find('\\') != std::string_view::npos ||
                parent->depth >= REG_MAX_KEY_DEPTH)
                continue;
            AddNode(id, parent, std::string(keyName), cls ? cls : "");
        }
        if (rc != SQLITE_DONE)
            return false;
        Stmt vals(db_, "SELECT key, name, type, data FROM vals ORDER BY id");
        if (!vals.ok())
            return false;
        while ((rc = vals.step()) == SQLITE_ROW) {
            Node* node = Find(sqlite3_column_int64(vals.get(), 0));
            if (!node)
                continue;
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(vals.get(), 1));
            Value v;
            v.name = name ? name : "";
            v.lname = Lower(v.name);
            v.type = static_cast<DWORD>(sqlite3_column_int64(vals.get(), 2));
            const auto* blob = static_cast<const BYTE*>(sqlite3_column_blob(vals.get(), 3));
            const int size = sqlite3_column_bytes(vals.get(), 3);
            if (blob && size > 0)
                v.data.assign(blob, blob + size);
            node->values.push_back(std::move(v));
        }
        return rc == SQLITE_DONE;
    }

    // Checks that the file is one of ours and, when it may be written,
    // gives a new file its tables.
    bool PrepareSchema(bool mayWrite)
    {
        std::int64_t appId = -1;
        {
            Stmt st(db_, "PRAGMA application_id");
            if (!st.ok() || st.step() != SQLITE_ROW)
                return false;
            appId = sqlite3_column_int64(st.get(), 0);
        }
        if (appId == kApplicationId)
            return true;
        if (!mayWrite)
            return false;
        if (!Exec("BEGIN IMMEDIATE"))
            return false;
        bool empty = false;
        {
            Stmt st(db_, "SELECT count(*) FROM sqlite_master");
            empty = st.ok() && st.step() == SQLITE_ROW && sqlite3_column_int64(st.get(), 0) == 0;
        }
        bool ok = false;
        if (empty) {
            ok = Exec("CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER, "
                      "name TEXT NOT NULL, lname TEXT NOT NULL, class TEXT NOT NULL DEFAULT '', "
                      "UNIQUE(parent, lname))") &&
                 Exec("CREATE TABLE vals(id INTEGER PRIMARY KEY AUTOINCREMENT, key INTEGER NOT NULL, "
                      "name TEXT NOT NULL, lname TEXT NOT NULL, type INTEGER NOT NULL, data BLOB NOT NULL, "
                      "UNIQUE(key, lname))") &&
                 Exec("INSERT INTO keys(id, parent, name, lname) VALUES(1, NULL, '', '')") &&
                 Exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
        } else {
            // Another process may have created it between our two looks.
            Stmt st(db_, "PRAGMA application_id");
            ok = st.ok() && st.step() == SQLITE_ROW && sqlite3_column_int64(st.get(), 0) == kApplicationId;
        }
        if (ok && !Exec("COMMIT"))
            ok = false;
        if (!ok)
            Exec("ROLLBACK");
        return ok;
    }

    // Switching a new file to WAL needs a moment alone with it, and SQLite
    // does not wait for that by itself when another process is doing the
    // same: retry until the busy time-out.
    bool SwitchToWal()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
        auto pause = std::chrono::microseconds(100);
        while (true) {
            Stmt wal(db_, "PRAGMA journal_mode = WAL");
            const int rc = wal.ok() ? wal.step() : SQLITE_ERROR;
            if (rc == SQLITE_ROW) {
                const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(wal.get(), 0));
                return mode && std::strcmp(mode, "wal") == 0;
            }
            if ((rc & 0xFF) != SQLITE_BUSY && (rc & 0xFF) != SQLITE_LOCKED)
                return false;
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::microseconds(20000));
        }
    }

    // The file's contents into the memory database; a file that cannot be
    // copied leaves it empty.
    void CopyFileIntoMemory()
    {
        sqlite3* file = nullptr;
        const std::string uri = FileUri(path_, "immutable=1");
        if (sqlite3_open_v2(uri.c_str(), &file, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX,
                            nullptr) == SQLITE_OK) {
            if (sqlite3_backup* backup = sqlite3_backup_init(db_, "main", file, "main")) {
                sqlite3_backup_step(backup, -1);
                sqlite3_backup_finish(backup);
            }
        }
        sqlite3_close_v2(file);
    }

    bool ClearMemory()
    {
        CloseDb();
        return OpenWith(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, false);
    }

    std::string DbError() const { return db_ ? sqlite3_errmsg(db_) : "cannot open the file"; }

    void CloseDb()
    {
        if (versionStmt_)
            sqlite3_finalize(versionStmt_);
        versionStmt_ = nullptr;
        // The write-ahead log into the file and cut to nothing, so that it
        // neither grows from run to run nor stays behind.
        if (db_ && mode_ == Mode::Writable)
            Exec("PRAGMA wal_checkpoint(TRUNCATE)");
        if (db_)
            sqlite3_close_v2(db_);
        db_ = nullptr;
    }

    // On failure dbError_ says why.
    bool OpenWith(const std::string& name, int flags, bool mayWrite)
    {
        if (sqlite3_open_v2(name.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
            dbError_ = DbError();
            CloseDb();
            return false;
        }
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        if (mayWrite) {
            if (sqlite3_db_readonly(db_, "main") != 0) {
                dbError_ = "the file is read-only";
                CloseDb();
                return false;
            }
            if (!SwitchToWal()) {
                dbError_ = DbError();
                CloseDb();
                return false;
            }
            Exec("PRAGMA synchronous = NORMAL");
        }
        return true;
    }

    // Why a file that cannot be written cannot: the file itself, its
    // folder, or what the database said.
    std::string WriteProblem(const std::string& folderProblem) const
    {
        if (!folderProblem.empty())
            return folderProblem;
        const std::string folder = FolderOf(path_);
        if (::access(folder.c_str(), W_OK) != 0)
            return folder + ": " + std::strerror(errno);
        if (::access(path_.c_str(), F_OK) == 0 && ::access(path_.c_str(), W_OK) != 0)
            return path_ + ": " + std::strerror(errno);
        return path_ + ": " + dbError_;
    }

    void Open()
    {
        ResetToEmptyRoot();
        reason_.clear();
        if (path_.empty()) {
            mode_ = Mode::Absent;
            reason_ = "no file is named for it";
            return;
        }
        const std::string folderProblem = MakeParentDirs(path_);
        const CFolderLock creating(FolderOf(path_));
        // An empty file is what is left of a hive a full disk or a power cut
        // cut short, not a new hive: opening it would silently start every
        // setting afresh.
        if (IsEmptyFile(path_) && !IsNonEmptyFile(path_ + "-wal")) {
            mode_ = Mode::Broken;
            reason_ = path_ + ": the file is empty";
            return;
        }
        if (OpenWith(path_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, true)) {
            if (PrepareSchema(true) && Reload() && DataVersion(dataVersion_)) {
                mode_ = Mode::Writable;
                return;
            }
            // Not a file we may use: refuse rather than write over it.
            dbError_ = DbError();
            CloseDb();
            mode_ = ::access(path_.c_str(), F_OK) == 0 ? Mode::Broken : Mode::Absent;
            reason_ = mode_ == Mode::Broken ? path_ + ": not a settings file of this program" : WriteProblem({});
            return;
        }
        if (::access(path_.c_str(), F_OK) != 0) {
            mode_ = Mode::Absent;
            reason_ = WriteProblem(folderProblem);
            return;
        }
        const std::string writeProblem = WriteProblem(folderProblem);
        // A file we may only read. Where its folder cannot be written either
        // the shared WAL index cannot be made, and the file is read as it
        // stands.
        auto openReadOnly = [this](const std::string& name, int extraFlags) {
            if (OpenWith(name, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX | extraFlags, false) &&
                PrepareSchema(false) && Reload() && DataVersion(dataVersion_)) {
                return true;
            }
            CloseDb();
            return false;
        };
        if (openReadOnly(path_, 0) || openReadOnly(FileUri(path_, "immutable=1"), SQLITE_OPEN_URI)) {
            mode_ = Mode::ReadOnly;
            reason_ = writeProblem;
            return;
        }
        CloseDb();
        ResetToEmptyRoot();
        mode_ = Mode::Broken;
        reason_ = path_ + ": " + dbError_;
    }

    std::string path_;
    std::string reason_;
    std::string dbError_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* versionStmt_ = nullptr;
    Mode mode_ = Mode::Absent;
    std::int64_t dataVersion_ = -1;
    bool stale_ = false;
    bool joined_ = false;  // in a transaction of several calls
    bool begun_ = false;   // and that transaction has been begun on this hive
    std::unordered_map<std::int64_t, std::unique_ptr<Node>> nodes_;
};

constexpr int kHiveCount = 3;

int PredefinedIndex(HKEY h)
{
    if (h == HKEY_CLASSES_ROOT)
        return 0;
    if (h == HKEY_CURRENT_USER)
        return 1;
    if (h == HKEY_LOCAL_MACHINE)
        return 2;
    return -1;
}

std::string EnvOr(const char* name, const std::string& fallback)
{
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : fallback;
}

std::string ConfigHome()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg)
        return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config";
}

std::string HivePath(int index)
{
    switch (index) {
    case 0:
        return EnvOr("ZELVAR_CLASSES_HIVE", ConfigHome() + "/zelvar/classes.db");
    case 1:
        return EnvOr("ZELVAR_USER_HIVE", ConfigHome() + "/zelvar/user.db");
    case 2:
        return EnvOr("ZELVAR_MACHINE_HIVE", "/etc/zelvar/machine.db");
    default:
        return {};
    }
}

// Splits a key path into names. A leading separator or an empty name inside
// the path is refused; one trailing separator is allowed.
LONG SplitPath(const char* path, std::vector<std::string>& parts)
{
    parts.clear();
    if (!path)
        return ERROR_SUCCESS;
    std::string_view rest(path);
    if (rest.empty())
        return ERROR_SUCCESS;
    if (rest.front() == '\\')
        return ERROR_BAD_PATHNAME;
    if (rest.back() == '\\')
        rest.remove_suffix(1);
    while (true) {
        const auto pos = rest.find('\\');
        const std::string_view part = rest.substr(0, pos);
        if (part.empty())
            return ERROR_BAD_PATHNAME;
        if (part.size() > REG_MAX_KEY_NAME)
            return ERROR_INVALID_PARAMETER;
        parts.emplace_back(part);
        if (pos == std::string_view::npos)
            break;
        rest.remove_prefix(pos + 1);
    }
    return ERROR_SUCCESS;
}

Node* Walk(Node* from, const std::vector<std::string>& parts, std::size_t& matched)
{
    matched = 0;
    Node* node = from;
    for (const auto& part : parts) {
        auto it = node->children.find(Lower(part));
        if (it == node->children.end())
            break;
        node = it->second;
        ++matched;
    }
    return node;
}

// Copies a name into a caller's character buffer of *cch characters
// (terminator included); on success *cch becomes the length.
LONG CopyName(const std::string& name, char* buffer, DWORD* cch)
{
    if (!buffer || !cch)
        return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *cch)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, name.data(), name.size());
    buffer[name.size()] = '\0';
    *cch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

LONG CopyData(const Value& v, DWORD* type, BYTE* data, DWORD* cb)
{
    if (data && !cb)
        return ERROR_INVALID_PARAMETER;
    if (type)
        *type = v.type;
    if (!cb)
        return ERROR_SUCCESS;
    const auto size = static_cast<DWORD>(v.data.size());
    if (data && size > *cb) {
        *cb = size;
        return ERROR_MORE_DATA;
    }
    if (data && size > 0)
        std::memcpy(data, v.data.data(), size);
    *cb = size;
    return ERROR_SUCCESS;
}

class Store
{
public:
    struct Handle
    {
        int hive = -1;
        std::int64_t keyId = 0;
        REGSAM access = 0;
    };

    // Resolves a handle to its hive and key with an up-to-date copy. The
    // caller holds the lock.
    LONG Resolve(HKEY h, Handle& handle, Hive*& hive, Node*& node)
    {
        const int pre = PredefinedIndex(h);
        if (pre >= 0) {
            handle.hive = pre;
            handle.keyId = kRootId;
            handle.access = KEY_ALL_ACCESS;
        } else {
            auto it = handles_.find(reinterpret_cast<std::uintptr_t>(h));
            if (it == handles_.end())
                return ERROR_INVALID_HANDLE;
            handle = it->second;
        }
        hive = HiveAt(handle.hive);
        if (pre >= 0 && !hive->writable())
            handle.access &= ~kWriteRights;
        if (const LONG rc = hive->Refresh(); rc != ERROR_SUCCESS)
            return rc;
        node = hive->Find(handle.keyId);
        return node ? ERROR_SUCCESS : ERROR_KEY_DELETED;
    }

    Hive* HiveAt(int index)
    {
        if (!hives_[index]) {
            hives_[index] = std::make_unique<Hive>(HivePath(index));
            if (transaction_)
                hives_[index]->JoinTransaction();
        }
        return hives_[index].get();
    }

    // A transaction of several calls on every hive; the caller holds the
    // lock from Begin to End.
    void BeginTransaction()
    {
        transaction_ = true;
        for (auto& h : hives_) {
            if (h)
                h->JoinTransaction();
        }
    }
    LONG EndTransaction(bool commit)
    {
        transaction_ = false;
        LONG rc = ERROR_SUCCESS;
        for (auto& h : hives_) {
            // Once one hive failed to commit, the others are rolled back.
            if (h && h->EndTransaction(commit && rc == ERROR_SUCCESS) != ERROR_SUCCESS)
                rc = ERROR_CANTWRITE;
        }
        return rc;
    }
    bool InTransaction() const { return transaction_; }

    // Grants the access asked for, or refuses write access to a hive that
    // cannot be written.
    static LONG Grant(const Hive& hive, REGSAM desired, REGSAM& granted)
    {
        if (desired & MAXIMUM_ALLOWED) {
            granted = hive.writable() ? KEY_ALL_ACCESS : KEY_READ;
            return ERROR_SUCCESS;
        }
        if ((desired & kWriteRights) && !hive.writable())
            return ERROR_ACCESS_DENIED;
        granted = desired;
        return ERROR_SUCCESS;
    }

    HKEY NewHandle(int hive, std::int64_t keyId, REGSAM access)
    {
        const std::uintptr_t value = nextHandle_;
        nextHandle_ += 4;
        handles_[value] = Handle{hive, keyId, access};
        return reinterpret_cast<HKEY>(value);
    }

    bool CloseHandle(HKEY h) { return handles_.erase(reinterpret_cast<std::uintptr_t>(h)) > 0; }

    void Reset()
    {
        handles_.clear();
        for (auto& h : hives_)
            h.reset();
    }

    // A hive kept in memory has no file to go back to: it stays.
    void CloseHives()
    {
        for (auto& h : hives_)
            if (h && h->mode() != Hive::Mode::InMemory)
                h.reset();
    }

    // In a forked child the parent's database connections must be neither
    // used nor closed: SQLite's locks belong to the parent. The child leaves
    // them alone and opens the hives afresh; key ids are those of the file,
    // so the handles it inherited stay good.
    void AbandonAfterFork()
    {
        for (auto& h : hives_)
            static_cast<void>(h.release());
    }

    // Held for one call, or across all calls of a transaction; the thread
    // of the transaction makes its calls without taking it again.
    std::mutex mutex;
    std::atomic<std::thread::id> transactionThread{};

    std::unique_lock<std::mutex> Lock()
    {
        if (transactionThread.load() == std::this_thread::get_id())
            return {};
        return std::unique_lock<std::mutex>(mutex);
    }

private:
    std::unique_ptr<Hive> hives_[kHiveCount];
    bool transaction_ = false;
    std::unordered_map<std::uintptr_t, Handle> handles_;
    std::uintptr_t nextHandle_ = 0x1000;  // never reused, so a stale handle stays invalid
};

Store& TheStore()
{
    // Never destroyed: objects torn down at exit may still close their keys.
    static Store* store = [] {
        auto* s = new Store;
        std::atexit(RegistryCloseHives);
        ::pthread_atfork([] { TheStore().mutex.lock(); }, [] { TheStore().mutex.unlock(); },
                         [] {
                             TheStore().AbandonAfterFork();
                             TheStore().mutex.unlock();
                         });
        return s;
    }();
    return *store;
}

// The store locked for one call, with the key a handle names resolved; rc
// tells whether it was.
struct LockedKey
{
    explicit LockedKey(HKEY h) : store(TheStore()), lock(store.Lock()), rc(store.Resolve(h, handle, hive, node)) {}
    Store& store;
    std::unique_lock<std::mutex> lock;
    Store::Handle handle;
    Hive* hive = nullptr;
    Node* node = nullptr;
    const LONG rc;
};

}  // namespace

LONG RegOpenKeyEx(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY* phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::vector<std::string> parts;
    if (const LONG rc = SplitPath(lpSubKey, parts); rc != ERROR_SUCCESS)
        return rc;
    LockedKey k(hKey);
    if (k.rc != ERROR_SUCCESS)
        return k.rc;
    std::size_t matched = 0;
    Node* target = Walk(k.node, parts, matched);
    if (matched != parts.size())
        return ERROR_FILE_NOT_FOUND;
    REGSAM granted = 0;
    if (const LONG rc = Store::Grant(*k.hive, samDesired, granted); rc != ERROR_SUCCESS)
        return rc;
    *phkResult = k.store.NewHandle(k.handle.hive, target->id, granted);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyEx(HKEY hKey, const char* lpSubKey, DWORD, const char* lpClass, DWORD, REGSAM samDesired, const void*,
                    HKEY* phkResult, LPDWORD lpdwDisposition)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    std::vector<std::string> parts;
    if (const LONG rc = SplitPath(lpSubKey, parts); rc != ERROR_SUCCESS)
        return rc;
    LockedKey k(hKey);
    if (k.rc != ERROR_SUCCESS)
        return k.rc;
    REGSAM granted = 0;
    if (const LONG rc = Store::Grant(*k.hive, samDesired, granted); rc != ERROR_SUCCESS)
        return rc;
    if (k.node->depth + parts.size() > REG_MAX_KEY_DEPTH)
        return ERROR_INVALID_PARAMETER;

    std::size_t matched = 0;
    Node* target = Walk(k.node, parts, matched);
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    if (matched != parts.size()) {
        if (!(k.handle.access & KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        const std::string cls = lpClass ? lpClass : "";
        std::int64_t createdId = 0;
        const LONG rc = k.hive->Write(k.handle.keyId, [&](Node& start) {
            // Walk again: the copy may have been reloaded inside the transaction.
            std::size_t have = 0;
            Node* at = Walk(&start, parts, have);
            for (std::size_t i = have; i < parts.size(); ++i) {
                Node* created = nullptr;
                const LONG irc = k.hive->InsertKey(*at, parts[i], i + 1 == parts.size() ? cls : std::string(), created);
                if (irc != ERROR_SUCCESS)
                    return irc;
                at = created;
            }
            disposition = have == parts.size() ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
            createdId = at->id;
            return ERROR_SUCCESS;
        });
        if (rc != ERROR_SUCCESS)
            return rc;
        target = k.hive->Find(createdId);
        if (!target)
            return ERROR_CANTWRITE;
    }
    *phkResult = k.store.NewHandle(k.handle.hive, target->id, granted);
    if (lpdwDisposition)
        *lpdwDisposition = disposition;
    return ERROR_SUCCESS;
}

LONG RegSetValueEx(HKEY hKey, const char* lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    if (cbData > 0 && !lpData)
        return ERROR_INVALID_PARAMETER;
    if (cbData > REG_MAX_VALUE_DATA)
        return ERROR_INVALID_PARAMETER;
    const std::string name = lpValueName ? lpValueName : "";
    if (name.size() > REG_MAX_VALUE_NAME)
        return ERROR_INVALID_PARAMETER;
    LockedKey k(hKey);
    if (k.rc != ERROR_SUCCESS)
        return k.rc;
    if (!(k.handle.access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    return k.hive->Write(k.handle.keyId,
                         [&](Node& key) { return k.hive->UpsertValue(key, name, dwType, lpData, cbData); });
}

LONG RegQueryValueEx(HKEY hKey, const char* lpValueName, LPDWORD, LPDWORD lpType, BYTE* lpData, LPDWORD lpcbData)
{
    LockedKey k(hKey);
    if (k.rc != ERROR_SUCCESS)
        return k.rc;
    if (!(k.handle.access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    const Value* v = k.node->FindValue(Lower(lpValueName ? lpValueName : ""));
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    return CopyData(*v, lpType, lpData, lpcbData);
}

LONG RegEnumKeyEx(HKEY hKey, DWORD dwIndex, char* lpName, LPDWORD lpcchName, LPDWORD, char* lpClass, LPDWORD lpcchClass,
                  void*)
{
    LockedKey k(hKey);
    if (k.rc != ERROR_SUCCESS)
        return k.rc;
    if (!(k.handle.access & KEY_ENUMERATE_SUB_KEYS))
        return ERROR_ACCESS_DENIED;
    if (dwIndex >= k.node->children.size())
        return ERROR_NO_MORE_ITEMS;
    const Node* child = std::next(k.node->children.begin(), dwIndex)->second;
    if (const LONG rc = CopyName(child->name, lpName, lpcchName); rc != ERROR_SUCCESS)
        return rc;
    if (lpClass)
        return CopyName(child->cls, lpClass, lpcchClass);
    return ERROR_SUCCESS;
}

LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, LPDWORD lpcchValueName, LPDWORD, LPDWORD lpType,
                  BYTE* lpData, LPDWORD lpcbData)
{
    LockedKey k(hKey);
    if (k.rc != ERROR_SUCCESS)
        return k.rc;
    if (!(k.handle.access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    if (dwIndex >= k.node->values.size())
        return ERROR_NO_MORE_ITEMS;
    const Value& v = k.node->values[dwIndex];
    if (const LONG rc = CopyName(v.name, lpValueName, lpcchValueName); rc != ERROR_SUCCESS)
        return rc;
    return CopyData(v, lpType, lpData, lpcbData);
}

LONG RegDeleteKey(HKEY hKey, const char* lpSubKey)
{
    std::vector<std::string> parts;
    if (const LONG rc = SplitPath(lpSubKey, parts); rc != ERROR_SUCCESS)
        return rc;
    if (parts.empty())
        return ERROR_INVALID_PARAMETER;
    LockedKey k(hKey);
    if (k.rc != ERROR_SUCCESS)
        return k.rc;
    std::size_t matched = 0;
    Walk(k.node, parts, matched);
    if (matched != parts.size())
        return ERROR_FILE_NOT_FOUND;
    if (!k.hive->writable())
        return ERROR_ACCESS_DENIED;
    return k.hive->Write(k.handle.keyId, [&](Node& start) {
        std::size_t have = 0;
        Node* target = Walk(&start, parts, have);
        if (have != parts.size())
            return ERROR_FILE_NOT_FOUND;
        return k.hive->RemoveLeaf(*target);
    });
}

LONG RegDeleteTree(HKEY hKey, const char* lpSubKey)
{
    if (!lpSubKey || !*lpSubKey)
        return ERROR_INVALID_PARAMETER;
    HKEY key = nullptr;
    if (const LONG rc = RegOpenKeyEx(hKey, lpSubKey, 0, KEY_READ | KEY_WRITE, &key); rc != ERROR_SUCCESS)
        return rc;
    LONG rc = ERROR_SUCCESS;
    char name[REG_MAX_KEY_NAME + 1];
    for (;;) {
        // Sub key 0 is the next one left, since the one before is gone.
        DWORD cch = sizeof name;
        rc = RegEnumKeyEx(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            rc = ERROR_SUCCESS;
            break;
        }
        if (rc == ERROR_SUCCESS)
            rc = RegDeleteTree(key, name);
        if (rc != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? RegDeleteKey(hKey, lpSubKey) : rc;
}

LONG RegDeleteValue(HKEY hKey, const char* lpValueName)
{
    const std::string name = lpValueName ? lpValueName : "";
    LockedKey k(hKey);
    if (k.rc != ERROR_SUCCESS)
        return k.rc;
    if (!(k.handle.access & KEY_SET_VALUE))
        return ERROR_ACCESS_DENIED;
    if (!k.node->FindValue(Lower(name)))
        return ERROR_FILE_NOT_FOUND;
    return k.hive->Write(k.handle.keyId, [&](Node& key) { return k.hive->RemoveValue(key, name); });
}

LONG RegCloseKey(HKEY hKey)
{
    if (PredefinedIndex(hKey) >= 0)
        return ERROR_SUCCESS;
    Store& s = TheStore();
    const auto lock = s.Lock();
    return s.CloseHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegFlushKey(HKEY hKey)
{
    LockedKey k(hKey);
    if (k.rc != ERROR_SUCCESS)
        return k.rc;
    return k.hive->Flush();
}

LONG RegQueryInfoKey(HKEY hKey, char* lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                     LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                     LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor, void*)
{
    LockedKey k(hKey);
    if (k.rc != ERROR_SUCCESS)
        return k.rc;
    if (!(k.handle.access & KEY_QUERY_VALUE))
        return ERROR_ACCESS_DENIED;
    if (lpClass) {
        if (const LONG rc = CopyName(k.node->cls, lpClass, lpcchClass); rc != ERROR_SUCCESS)
            return rc;
    } else if (lpcchClass) {
        *lpcchClass = static_cast<DWORD>(k.node->cls.size());
    }
    DWORD maxKey = 0, maxClass = 0, maxName = 0, maxData = 0;
    for (const auto& [lname, child] : k.node->children) {
        maxKey = std::max(maxKey, static_cast<DWORD>(child->name.size()));
        maxClass = std::max(maxClass, static_cast<DWORD>(child->cls.size()));
    }
    for (const auto& v : k.node->values) {
        maxName = std::max(maxName, static_cast<DWORD>(v.name.size()));
        maxData = std::max(maxData, static_cast<DWORD>(v.data.size()));
    }
    if (lpcSubKeys)
        *lpcSubKeys = static_cast<DWORD>(k.node->children.size());
    if (lpcbMaxSubKeyLen)
        *lpcbMaxSubKeyLen = maxKey;
    if (lpcbMaxClassLen)
        *lpcbMaxClassLen = maxClass;
    if (lpcValues)
        *lpcValues = static_cast<DWORD>(k.node->values.size());
    if (lpcbMaxValueNameLen)
        *lpcbMaxValueNameLen = maxName;
    if (lpcbMaxValueLen)
        *lpcbMaxValueLen = maxData;
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = 0;
    return ERROR_SUCCESS;
}

LONG RegistryTransaction(const std::function<LONG()>& body)
{
    Store& s = TheStore();
    const auto lock = s.Lock();
    if (s.InTransaction())
        return body();  // part of the one around it
    s.BeginTransaction();
    s.transactionThread = std::this_thread::get_id();
    LONG rc = ERROR_SUCCESS;
    try {
        rc = body();
    } catch (...) {
        s.transactionThread = std::thread::id();
        s.EndTransaction(false);
        throw;
    }
    s.transactionThread = std::thread::id();
    const LONG end = s.EndTransaction(rc == ERROR_SUCCESS);
    return rc != ERROR_SUCCESS ? rc : end;
}

void RegistryResetStore()
{
    Store& s = TheStore();
    const auto lock = s.Lock();
    s.Reset();
}

void RegistryCloseHives()
{
    Store& s = TheStore();
    std::lock_guard lock(s.mutex);
    s.CloseHives();
}

SHiveStatus RegistryHiveStatus(HKEY hRoot)
{
    SHiveStatus status;
    const int index = PredefinedIndex(hRoot);
    if (index < 0) {
        status.state = EHiveState::Unavailable;
        status.reason = "not a predefined root";
        return status;
    }
    Store& s = TheStore();
    const auto lock = s.Lock();
    const Hive* hive = s.HiveAt(index);
    status.path = hive->path();
    status.reason = hive->reason();
    switch (hive->mode()) {
    case Hive::Mode::Writable:
        status.state = EHiveState::Writable;
        break;
    case Hive::Mode::ReadOnly:
        status.state = EHiveState::ReadOnly;
        break;
    case Hive::Mode::Absent:
        status.state = EHiveState::Unavailable;
        break;
    case Hive::Mode::Broken:
        status.state = EHiveState::Damaged;
        break;
    case Hive::Mode::InMemory:
        status.state = EHiveState::InMemory;
        break;
    }
    return status;
}

LONG RegistrySetHiveAside(HKEY hRoot, std::string* movedTo)
{
    const int index = PredefinedIndex(hRoot);
    if (index < 0)
        return ERROR_INVALID_HANDLE;
    Store& s = TheStore();
    const auto lock = s.Lock();
    std::string target;
    const LONG rc = s.HiveAt(index)->SetAside(target);
    if (movedTo)
        *movedTo = target;
    return rc;
}

LONG RegistryKeepHiveInMemory(HKEY hRoot)
{
    const int index = PredefinedIndex(hRoot);
    if (index < 0)
        return ERROR_INVALID_HANDLE;
    Store& s = TheStore();
    const auto lock = s.Lock();
    return s.HiveAt(index)->KeepInMemory();
}

std::string RegistryHivePath(HKEY hRoot)
{
    const int index = PredefinedIndex(hRoot);
    return index >= 0 ? HivePath(index) : std::string();
}
