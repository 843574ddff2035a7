// Connection and recordset wrappers over the SQLite 3 C API. They never throw: every engine
// error becomes a false result. Neither class is thread-safe; the store serialises them.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace pontiq {

// A bound parameter: NULL, an integer, a real or a text. Texts are bound with their explicit
// length, so NUL bytes inside them are kept; the viewed bytes must outlive the call.
using SqlValue = std::variant<std::monostate, int64_t, double, std::string_view>;

class CADODatabase;

namespace detail {

struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// One compiled statement with its column-name lookup, built once per statement.
class PreparedStatement {
public:
    explicit PreparedStatement(sqlite3_stmt* stmt) : m_stmt(stmt) {}
    ~PreparedStatement() { Finalize(); }
    PreparedStatement(const PreparedStatement&) = delete;
    PreparedStatement& operator=(const PreparedStatement&) = delete;

    // Null once finalized: a lease that outlives its connection then fails instead of crashing.
    sqlite3_stmt* Handle() const { return m_stmt; }
    void Finalize();
    int ColumnIndex(std::string_view name);  // -1 when the result has no such column

    bool inUse = false;

private:
    sqlite3_stmt* m_stmt;
    bool m_indexed = false;
    std::unordered_map<std::string, int, TextHash, std::equal_to<>> m_columns;
};

// Exclusive use of a prepared statement for one run; resets it and clears its bindings
// when released, so a cached statement is clean for the next caller.
class StatementLease {
public:
    StatementLease() = default;
    explicit StatementLease(std::shared_ptr<PreparedStatement> statement);
    ~StatementLease() { Release(); }
    StatementLease(StatementLease&& other) noexcept = default;
    StatementLease& operator=(StatementLease&& other) noexcept;
    StatementLease(const StatementLease&) = delete;
    StatementLease& operator=(const StatementLease&) = delete;

    explicit operator bool() const { return Handle() != nullptr; }
    PreparedStatement* Get() const { return m_statement.get(); }
    sqlite3_stmt* Handle() const { return m_statement ? m_statement->Handle() : nullptr; }
    bool Bind(std::span<const SqlValue> params);
    void Release();

private:
    std::shared_ptr<PreparedStatement> m_statement;
};

}  // namespace detail

// The connection. The connection string is the path of the database file.
class CADODatabase final {
public:
    CADODatabase() = default;
    ~CADODatabase();
    CADODatabase(const CADODatabase&) = delete;
    CADODatabase& operator=(const CADODatabase&) = delete;

    // Creates an empty database file at the path; true when the file exists afterwards.
    static bool CreateDatabase(const std::string& connection);

    // Closes an open connection, then opens the existing file as a scratch store.
    bool Open(const std::string& connection);
    bool IsOpen() const { return m_db != nullptr; }
    void Close();

    // Runs one statement that returns no rows; text after the first statement is refused.
    bool Execute(std::string_view sql, std::span<const SqlValue> params);
    bool Execute(std::string_view sql, std::initializer_list<SqlValue> params = {})
    {
        return Execute(sql, std::span<const SqlValue>(params.begin(), params.size()));
    }
    int64_t GetRecordsAffected() const { return m_affected; }
    const std::string& GetConnectionString() const { return m_connection; }
    std::string GetLastError() const;

    // Statements are compiled once per text and kept for the life of the connection.
    detail::StatementLease Prepare(std::string_view sql);
    sqlite3* Handle() const { return m_db; }

private:
    sqlite3* m_db = nullptr;
    std::string m_connection;
    int64_t m_affected = 0;
    std::unordered_map<std::string, std::shared_ptr<detail::PreparedStatement>, detail::TextHash,
                       std::equal_to<>>
        m_statements;
};

// A forward-only result with ADO-style editing: AddNew or Edit, SetFieldValue by column name,
// then Update writes the row with one INSERT or UPDATE (by the row's ID column).
class CADORecordset final {
public:
    enum EditMode { dbEditNone = 0, dbEditNew = 1, dbEditInProgress = 2 };

    explicit CADORecordset(CADODatabase* connection = nullptr) : m_connection(connection) {}
    ~CADORecordset() { Close(); }
    CADORecordset(const CADORecordset&) = delete;
    CADORecordset& operator=(const CADORecordset&) = delete;

    void SetConnection(CADODatabase* connection);

    // Closes a previous result, then runs the query; true when it ran (with or without rows).
    bool Open(std::string_view sql, std::span<const SqlValue> params);
    bool Open(std::string_view sql, std::initializer_list<SqlValue> params = {})
    {
        return Open(sql, std::span<const SqlValue>(params.begin(), params.size()));
    }
    bool IsOpen() const { return static_cast<bool>(m_statement); }
    bool IsEOF() const { return !m_hasRow; }
    // Rows of the whole result, counted by stepping to the end; back on the first row after.
    int64_t GetRecordCount();
    bool MoveFirst();
    bool MoveNext();
    const std::string& GetQuery() const { return m_query; }

    // NULL or an empty text reads as 0 or the empty text.
    bool GetFieldValue(std::string_view column, int32_t& value);
    bool GetFieldValue(std::string_view column, uint32_t& value);
    bool GetFieldValue(std::string_view column, int64_t& value);
    bool GetFieldValue(std::string_view column, double& value);
    bool GetFieldValue(std::string_view column, std::string& value);

    bool AddNew(std::string_view table);
    bool Edit(std::string_view table);  // the current row, found again by its ID column
    bool SetFieldValue(std::string_view column, int32_t value);
    bool SetFieldValue(std::string_view column, uint32_t value);
    bool SetFieldValue(std::string_view column, int64_t value);
    bool SetFieldValue(std::string_view column, double value);
    bool SetFieldValue(std::string_view column, std::string_view text);  // an empty text stays empty
    bool Update();
    void CancelUpdate();
    int GetEditMode() const { return m_editMode; }

    void Close();

private:
    using PendingValue = std::variant<std::monostate, int64_t, double, std::string>;

    bool Step();
    int Column(std::string_view name);
    bool SetPending(std::string_view column, PendingValue value);

    CADODatabase* m_connection;
    detail::StatementLease m_statement;
    std::string m_query;
    bool m_hasRow = false;
    int m_editMode = dbEditNone;
    std::string m_editTable;
    int64_t m_editId = 0;
    std::vector<std::pair<std::string, PendingValue>> m_pending;
    std::string m_updateSql;
};

}  // namespace pontiq
