#include "store/sqlite_db.h"

#include <sqlite3.h>

#include "util/text.h"

namespace brumkey {

bool IsStepSuccess(int result) {
  return result == SQLITE_OK || result == SQLITE_ROW || result == SQLITE_DONE;
}

SQLiteDB::~SQLiteDB() {
  if (handle_) {
    sqlite3_interrupt(handle_);
    sqlite3_close_v2(handle_);
    handle_ = nullptr;
  }
}

bool SQLiteDB::Open(const char* path, int flags) {
  if (handle_) {
    sqlite3_interrupt(handle_);
    CloseDeferred();
  }
  if (!path) return false;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path, &db, flags, nullptr) != SQLITE_OK) {
    sqlite3_close_v2(db);
    return false;
  }
  // The editing pages and the worker may briefly overlap with another
  // process (brumkeyctl) on the same file.
  sqlite3_busy_timeout(db, 2000);
  // A file that is not a database fails here rather than on every later call.
  if (sqlite3_exec(db, "PRAGMA journal_mode = WAL;", nullptr, nullptr, nullptr) == SQLITE_NOTADB) {
    sqlite3_close_v2(db);
    return false;
  }
  sqlite3_exec(db, "PRAGMA synchronous = NORMAL;", nullptr, nullptr, nullptr);
  handle_ = db;
  return true;
}

bool SQLiteDB::Close() {
  if (!handle_) return true;
  if (sqlite3_close(handle_) != SQLITE_OK) return false;
  handle_ = nullptr;
  return true;
}

void SQLiteDB::CloseDeferred() {
  if (!handle_) return;
  sqlite3_close_v2(handle_);
  handle_ = nullptr;
}

int SQLiteDB::Prepare(SQLiteStatement& statement, const char* sql, int length) {
  statement.Finalize();
  if (!handle_ || !sql) return SQLITE_MISUSE;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(handle_, sql, length, &stmt, nullptr);
  statement.stmt_ = stmt;
  statement.reset_ = 1;
  return rc;
}

int SQLiteDB::Exec(const char* sql) {
  if (!handle_ || !sql) return SQLITE_MISUSE;
  return sqlite3_exec(handle_, sql, nullptr, nullptr, nullptr);
}

int64_t SQLiteDB::LastInsertRowId() const {
  if (!handle_) return -1;
  return sqlite3_last_insert_rowid(handle_);
}

SQLiteStatement::~SQLiteStatement() { Finalize(); }

int SQLiteStatement::Finalize() {
  if (!stmt_) return SQLITE_OK;
  int rc = sqlite3_finalize(stmt_);
  // finalize always frees the statement; its result repeats the last error.
  stmt_ = nullptr;
  reset_ = 1;
  return rc;
}

int SQLiteStatement::BindInt(int index, int value) {
  if (!stmt_) return SQLITE_MISUSE;
  return sqlite3_bind_int(stmt_, index, value);
}

int SQLiteStatement::BindText(int index, const char* bytes, int length) {
  if (!stmt_) return SQLITE_MISUSE;
  if (!bytes) {
    bytes = "";
    length = 0;
  }
  return sqlite3_bind_text(stmt_, index, bytes, length, SQLITE_TRANSIENT);
}

int SQLiteStatement::BindText(int index, std::wstring_view text) {
  std::string utf8 = WideToUtf8(text);
  return BindText(index, utf8.data(), static_cast<int>(utf8.size()));
}

int SQLiteStatement::Step() {
  if (!stmt_) return SQLITE_MISUSE;
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_DONE) reset_ = 1;
  return rc;
}

int SQLiteStatement::Reset() {
  if (!stmt_) return SQLITE_MISUSE;
  int rc = sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
  reset_ = 1;
  return rc;
}

int SQLiteStatement::ColumnInt(int index) const {
  if (!stmt_) return 0;
  return sqlite3_column_int(stmt_, index);
}

const char* SQLiteStatement::ColumnText(int index) const {
  if (!stmt_) return "";
  const unsigned char* text = sqlite3_column_text(stmt_, index);
  return text ? reinterpret_cast<const char*>(text) : "";
}

std::wstring SQLiteStatement::ColumnWide(int index) const {
  if (!stmt_) return {};
  const unsigned char* text = sqlite3_column_text(stmt_, index);
  if (!text) return {};
  int bytes = sqlite3_column_bytes(stmt_, index);
  return Utf8ToWide(std::string_view(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes)));
}

SQLiteAutoTransaction::SQLiteAutoTransaction(SQLiteDB* db) : db_(db) {
  if (db_ && db_->IsOpen()) begun_ = db_->Exec("BEGIN") == SQLITE_OK;
}

SQLiteAutoTransaction::~SQLiteAutoTransaction() {
  if (begun_ && db_ && db_->IsOpen()) db_->Exec("END");
  begun_ = false;
}

bool SQLiteAutoTransaction::Begin() {
  if (!db_ || begun_) return false;
  if (!db_->IsOpen()) return false;
  begun_ = db_->Exec("BEGIN") == SQLITE_OK;
  return begun_;
}

bool SQLiteAutoTransaction::End() {
  if (!db_ || !db_->IsOpen() || !begun_) return false;
  begun_ = false;
  if (db_->Exec("END") == SQLITE_OK) return true;
  // A commit that failed (busy) must not leave the transaction open.
  db_->Exec("ROLLBACK");
  return false;
}

bool SQLiteAutoTransaction::Rollback() {
  if (!db_ || !db_->IsOpen() || !begun_) return false;
  begun_ = false;
  return db_->Exec("ROLLBACK") == SQLITE_OK;
}

}  // namespace brumkey
