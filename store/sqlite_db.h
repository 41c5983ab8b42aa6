#pragma once
// Thin wrappers over one SQLite connection, one prepared statement and one
// transaction. Every failure is a result code or false; nothing throws.
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace brumkey {

class SQLiteStatement;

class SQLiteDB {
 public:
  SQLiteDB() = default;
  virtual ~SQLiteDB();
  SQLiteDB(const SQLiteDB&) = delete;
  SQLiteDB& operator=(const SQLiteDB&) = delete;

  // Replaces any held connection. The connection runs in WAL mode with
  // synchronous = NORMAL so that a crash or power loss cannot corrupt it.
  bool Open(const char* path, int flags);
  // False (handle kept) while statements are still alive.
  bool Close();
  // Closes even with statements alive; SQLite frees it when they finish.
  void CloseDeferred();

  // Finalises what the statement held, then prepares sql into it.
  // A negative length means the whole zero-terminated text.
  int Prepare(SQLiteStatement& statement, const char* sql, int length = -1);
  int Exec(const char* sql);
  int64_t LastInsertRowId() const;
  bool IsOpen() const { return handle_ != nullptr; }
  sqlite3* Handle() const { return handle_; }

 private:
  sqlite3* handle_ = nullptr;
};

class SQLiteStatement {
 public:
  SQLiteStatement() = default;
  virtual ~SQLiteStatement();
  SQLiteStatement(const SQLiteStatement&) = delete;
  SQLiteStatement& operator=(const SQLiteStatement&) = delete;

  int BindInt(int index, int value);
  // The bytes are copied, so they need not outlive the step.
  int BindText(int index, const char* bytes, int length);
  int BindText(int index, std::wstring_view text);
  int Step();
  // Makes the statement ready for the next set of parameters.
  int Reset();
  int ColumnInt(int index) const;
  // Never null: a NULL column or no statement reads as "".
  const char* ColumnText(int index) const;
  std::wstring ColumnWide(int index) const;

  bool IsPrepared() const { return stmt_ != nullptr; }
  int ResetFlag() const { return reset_; }

 private:
  friend class SQLiteDB;
  int Finalize();

  int reset_ = 1;
  sqlite3_stmt* stmt_ = nullptr;
};

class SQLiteAutoTransaction {
 public:
  explicit SQLiteAutoTransaction(SQLiteDB* db);
  virtual ~SQLiteAutoTransaction();
  SQLiteAutoTransaction(const SQLiteAutoTransaction&) = delete;
  SQLiteAutoTransaction& operator=(const SQLiteAutoTransaction&) = delete;

  bool Begin();
  bool End();
  // Undoes everything since BEGIN; the destructor then has nothing to end.
  bool Rollback();
  bool IsBegun() const { return begun_; }

 private:
  SQLiteDB* db_ = nullptr;
  bool begun_ = false;
};

// True for the results a write counts as success: OK, ROW, DONE.
bool IsStepSuccess(int result);

}  // namespace brumkey
