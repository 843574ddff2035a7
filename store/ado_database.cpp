#include "store/ado_database.h"

#include <sqlite3.h>

#include <cmath>
#include <filesystem>
#include <limits>

namespace pontiq {

namespace {

// An outside reader (the sqlite3 shell) may hold a read lock for a moment; writes wait this
// long for it instead of failing at once. Bounded, because callers hold the store's lock.
constexpr int kBusyTimeoutMs = 500;

// The statement texts are our own, but a runaway caller must not grow the cache without end.
constexpr size_t kMaxCachedStatements = 256;

bool IsIdentifier(std::string_view name)
{
    if (name.empty()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        if (!alpha && !(i > 0 && c >= '0' && c <= '9')) return false;
    }
    return true;
}

bool OnlyBlanks(const char* begin, const char* end)
{
    for (const char* p = begin; p < end; ++p) {
        if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n' && *p != ';') return false;
    }
    return true;
}

}  // namespace

namespace detail {

void PreparedStatement::Finalize()
{
    if (m_stmt) sqlite3_finalize(m_stmt);
    m_stmt = nullptr;
    m_columns.clear();
    m_indexed = false;
}

int PreparedStatement::ColumnIndex(std::string_view name)
{
    if (!m_stmt) return -1;
    if (!m_indexed) {
        const int n = sqlite3_column_count(m_stmt);
        for (int i = 0; i < n; ++i) {
            const char* column = sqlite3_column_name(m_stmt, i);
            if (column) m_columns.emplace(column, i);  // first of equal names wins
        }
        m_indexed = true;
    }
    const auto it = m_columns.find(name);
    return it == m_columns.end() ? -1 : it->second;
}

StatementLease::StatementLease(std::shared_ptr<PreparedStatement> statement)
    : m_statement(std::move(statement))
{
    if (m_statement) m_statement->inUse = true;
}

StatementLease& StatementLease::operator=(StatementLease&& other) noexcept
{
    if (this != &other) {
        Release();
        m_statement = std::move(other.m_statement);
    }
    return *this;
}

bool StatementLease::Bind(std::span<const SqlValue> params)
{
    sqlite3_stmt* stmt = Handle();
    if (!stmt || params.size() > static_cast<size_t>(sqlite3_bind_parameter_count(stmt))) return false;
    int index = 1;
    for (const SqlValue& value : params) {
        int rc = SQLITE_OK;
        if (const auto* i = std::get_if<int64_t>(&value)) {
            rc = sqlite3_bind_int64(stmt, index, *i);
        } else if (const auto* d = std::get_if<double>(&value)) {
            rc = sqlite3_bind_double(stmt, index, *d);
        } else if (const auto* t = std::get_if<std::string_view>(&value)) {
            if (t->size() > static_cast<size_t>(std::numeric_limits<int>::max())) return false;
            // The explicit length keeps NUL bytes: "a\0b" never equals "a". An empty view may
            // hold a null pointer, which the engine would bind as NULL instead of an empty text.
            const char* text = t->data() ? t->data() : "";
            rc = sqlite3_bind_text(stmt, index, text, static_cast<int>(t->size()), SQLITE_TRANSIENT);
        } else {
            rc = sqlite3_bind_null(stmt, index);
        }
        if (rc != SQLITE_OK) return false;
        ++index;
    }
    return true;
}

void StatementLease::Release()
{
    if (!m_statement) return;
    if (sqlite3_stmt* stmt = m_statement->Handle()) {
        sqlite3_reset(stmt);
        sqlite3_clear_bindings(stmt);
    }
    m_statement->inUse = false;
    m_statement.reset();
}

}  // namespace detail

CADODatabase::~CADODatabase()
{
    Close();
}

bool CADODatabase::CreateDatabase(const std::string& connection)
{
    if (connection.empty()) return false;
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(connection.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // Reading the header makes the engine create the (empty, zero-length) file now.
    const bool ok =
        rc == SQLITE_OK && sqlite3_exec(db, "PRAGMA schema_version", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(db);
    std::error_code ec;
    return ok && std::filesystem::is_regular_file(connection, ec);
}

bool CADODatabase::Open(const std::string& connection)
{
    Close();
    m_connection = connection;
    if (connection.empty()) return false;  // the engine would open a temporary database instead
    sqlite3* db = nullptr;
    // The store's lock serialises every use of the connection, so the engine's own mutex is not needed.
    if (sqlite3_open_v2(connection.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
        sqlite3_close_v2(db);
        return false;
    }
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    // A scratch store never needs to survive a crash: no journal file, no syncs, and a page cache
    // that holds the whole table. Locking stays normal so that the sqlite3 shell can read the
    // tables while the program runs. Reading the schema proves that the file is a database at all.
    if (sqlite3_exec(db,
                     "PRAGMA journal_mode=MEMORY;PRAGMA synchronous=OFF;PRAGMA cache_size=-16384;"
                     "SELECT count(*) FROM sqlite_schema",
                     nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return false;
    }
    m_db = db;
    return true;
}

void CADODatabase::Close()
{
    for (auto& [sql, statement] : m_statements) statement->Finalize();
    m_statements.clear();
    if (m_db) sqlite3_close_v2(m_db);  // defers until statements still leased elsewhere are gone
    m_db = nullptr;
}

std::string CADODatabase::GetLastError() const
{
    return m_db ? sqlite3_errmsg(m_db) : "not open";
}

detail::StatementLease CADODatabase::Prepare(std::string_view sql)
{
    if (!m_db || sql.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return {};
    const auto found = m_statements.find(sql);
    if (found != m_statements.end() && !found->second->inUse && found->second->Handle()) {
        return detail::StatementLease(found->second);
    }
    // A text already in use (a nested query) gets a statement of its own for this one run.
    const bool cache = found == m_statements.end() && m_statements.size() < kMaxCachedStatements;
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v3(m_db, sql.data(), static_cast<int>(sql.size()),
                                      cache ? SQLITE_PREPARE_PERSISTENT : 0, &stmt, &tail);
    if (rc != SQLITE_OK || !stmt) {
        sqlite3_finalize(stmt);
        return {};
    }
    auto statement = std::make_shared<detail::PreparedStatement>(stmt);
    if (!OnlyBlanks(tail, sql.data() + sql.size())) return {};  // a second statement is never run
    if (cache) m_statements.emplace(std::string(sql), statement);
    return detail::StatementLease(std::move(statement));
}

bool CADODatabase::Execute(std::string_view sql, std::span<const SqlValue> params)
{
    m_affected = 0;
    detail::StatementLease statement = Prepare(sql);
    if (!statement || !statement.Bind(params)) return false;
    int rc;
    while ((rc = sqlite3_step(statement.Handle())) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) return false;
    m_affected = sqlite3_changes64(m_db);
    return true;
}

void CADORecordset::SetConnection(CADODatabase* connection)
{
    Close();
    m_connection = connection;
}

bool CADORecordset::Open(std::string_view sql, std::span<const SqlValue> params)
{
    Close();
    m_query.assign(sql);
    if (!m_connection || !m_connection->IsOpen()) return false;
    m_statement = m_connection->Prepare(sql);
    if (!m_statement || !m_statement.Bind(params) || !Step()) {
        m_statement.Release();
        return false;
    }
    return true;
}

bool CADORecordset::Step()
{
    m_hasRow = false;
    sqlite3_stmt* stmt = m_statement.Handle();
    if (!stmt) return false;
    const int rc = sqlite3_step(stmt);
    m_hasRow = rc == SQLITE_ROW;
    return rc == SQLITE_ROW || rc == SQLITE_DONE;
}

bool CADORecordset::MoveFirst()
{
    CancelUpdate();
    sqlite3_stmt* stmt = m_statement.Handle();
    if (!stmt) return false;
    sqlite3_reset(stmt);  // bindings stay
    return Step();
}

bool CADORecordset::MoveNext()
{
    CancelUpdate();
    if (!m_hasRow) return false;
    return Step();
}

int64_t CADORecordset::GetRecordCount()
{
    sqlite3_stmt* stmt = m_statement.Handle();
    if (!stmt) return -1;
    sqlite3_reset(stmt);
    int64_t count = 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) ++count;
    if (rc != SQLITE_DONE || !MoveFirst()) {
        m_hasRow = false;
        return -1;
    }
    return count;
}

int CADORecordset::Column(std::string_view name)
{
    if (!m_hasRow || !m_statement) return -1;
    return m_statement.Get()->ColumnIndex(name);
}

bool CADORecordset::GetFieldValue(std::string_view column, int64_t& value)
{
    const int index = Column(column);
    if (index < 0) return false;
    sqlite3_stmt* stmt = m_statement.Handle();
    switch (sqlite3_column_type(stmt, index)) {
        case SQLITE_NULL:
            value = 0;
            break;
        case SQLITE_FLOAT: {
            const double d = sqlite3_column_double(stmt, index);
            value = std::isfinite(d) && std::fabs(d) < 9.2e18 ? static_cast<int64_t>(d) : 0;
            break;
        }
        default:
            value = sqlite3_column_int64(stmt, index);  // an empty or non-numeric text gives 0
            break;
    }
    return true;
}

bool CADORecordset::GetFieldValue(std::string_view column, int32_t& value)
{
    int64_t wide = 0;
    if (!GetFieldValue(column, wide)) return false;
    value = static_cast<int32_t>(wide);
    return true;
}

bool CADORecordset::GetFieldValue(std::string_view column, uint32_t& value)
{
    int64_t wide = 0;
    if (!GetFieldValue(column, wide)) return false;
    value = static_cast<uint32_t>(wide);
    return true;
}

bool CADORecordset::GetFieldValue(std::string_view column, double& value)
{
    const int index = Column(column);
    if (index < 0) return false;
    value = sqlite3_column_double(m_statement.Handle(), index);
    return true;
}

bool CADORecordset::GetFieldValue(std::string_view column, std::string& value)
{
    const int index = Column(column);
    if (index < 0) return false;
    sqlite3_stmt* stmt = m_statement.Handle();
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
    const int bytes = sqlite3_column_bytes(stmt, index);  // after the text call, as the API requires
    if (text && bytes > 0) {
        value.assign(text, static_cast<size_t>(bytes));
    } else {
        value.clear();
    }
    return true;
}

bool CADORecordset::AddNew(std::string_view table)
{
    CancelUpdate();
    if (!m_connection || !m_connection->IsOpen() || !IsIdentifier(table)) return false;
    m_editTable.assign(table);
    m_editMode = dbEditNew;
    return true;
}

bool CADORecordset::Edit(std::string_view table)
{
    CancelUpdate();
    int64_t id = 0;
    if (!IsIdentifier(table) || !GetFieldValue("ID", id)) return false;
    m_editTable.assign(table);
    m_editId = id;
    m_editMode = dbEditInProgress;
    return true;
}

bool CADORecordset::SetPending(std::string_view column, PendingValue value)
{
    if (m_editMode == dbEditNone || !IsIdentifier(column)) return false;
    for (auto& [name, pending] : m_pending) {
        if (name == column) {
            pending = std::move(value);
            return true;
        }
    }
    m_pending.emplace_back(std::string(column), std::move(value));
    return true;
}

bool CADORecordset::SetFieldValue(std::string_view column, int32_t value)
{
    return SetPending(column, int64_t{value});
}

bool CADORecordset::SetFieldValue(std::string_view column, uint32_t value)
{
    return SetPending(column, int64_t{value});  // 64-bit storage: values above 2^31 stay positive
}

bool CADORecordset::SetFieldValue(std::string_view column, int64_t value)
{
    return SetPending(column, value);
}

bool CADORecordset::SetFieldValue(std::string_view column, double value)
{
    return SetPending(column, value);
}

bool CADORecordset::SetFieldValue(std::string_view column, std::string_view text)
{
    return SetPending(column, std::string(text));
}

bool CADORecordset::Update()
{
    if (m_editMode == dbEditNone) return false;
    if (m_pending.empty() && m_editMode == dbEditInProgress) {
        CancelUpdate();
        return true;  // nothing changed
    }
    std::vector<SqlValue> params;
    params.reserve(m_pending.size() + 1);
    for (const auto& [name, value] : m_pending) {
        if (const auto* i = std::get_if<int64_t>(&value)) {
            params.emplace_back(*i);
        } else if (const auto* d = std::get_if<double>(&value)) {
            params.emplace_back(*d);
        } else if (const auto* t = std::get_if<std::string>(&value)) {
            params.emplace_back(std::string_view(*t));
        } else {
            params.emplace_back(std::monostate{});
        }
    }
    std::string& sql = m_updateSql;
    sql.clear();
    if (m_editMode == dbEditNew) {
        sql.append("INSERT INTO ").append(m_editTable);
        if (m_pending.empty()) {
            sql.append(" DEFAULT VALUES");
        } else {
            sql.append("(");
            for (size_t i = 0; i < m_pending.size(); ++i) sql.append(i ? "," : "").append(m_pending[i].first);
            sql.append(") VALUES(");
            for (size_t i = 0; i < m_pending.size(); ++i) sql.append(i ? ",?" : "?");
            sql.append(")");
        }
    } else {
        sql.append("UPDATE ").append(m_editTable).append(" SET ");
        for (size_t i = 0; i < m_pending.size(); ++i)
            sql.append(i ? "," : "").append(m_pending[i].first).append("=?");
        sql.append(" WHERE ID=?");
        params.emplace_back(m_editId);
    }
    const bool ok =
        m_connection && m_connection->Execute(sql, params) && m_connection->GetRecordsAffected() == 1;
    CancelUpdate();
    return ok;
}

void CADORecordset::CancelUpdate()
{
    m_pending.clear();
    m_editMode = dbEditNone;
    m_editId = 0;
}

void CADORecordset::Close()
{
    CancelUpdate();
    m_statement.Release();
    m_hasRow = false;
}

}  // namespace pontiq
