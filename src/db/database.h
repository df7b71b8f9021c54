#pragma once
// The connection: one interface over two engines (the program makes one and hands it to its session).
//  - SQL Server through Qt's ODBC driver (production). Statement texts are sent as built.
//  - An embedded SQLite file (demo database and tests). Statement texts are the same T-SQL;
//    the engine translates them (db/tsql_translate.h) before running them.
// Every failure surfaces as db::DbError carrying the database's own error text.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace db {

// Why a piece of work failed, as far as the operations word their messages by it.
enum class Cause {
  Other,
  LockTimeOut,  // a lock another program holds was waited on longer than the lock time-out (SQL Server 1222)
  Deadlock,  // the server chose this work as a deadlock's victim and rolled it back (SQL Server 1205)
  // A foreign key refused the change (SQL Server 547 naming a FOREIGN KEY or REFERENCE constraint;
  // the embedded engine's "FOREIGN KEY constraint failed").
  ForeignKey,
  // A CHECK constraint refused the change (SQL Server 547 naming a CHECK constraint; the embedded
  // engine's "CHECK constraint failed: name", its length checks aside).
  Check,
  Stopped,  // the busy hook stopped the work (取消)
  TransactionEnded,  // the server ended the transaction by itself: nothing of it is committed
  // The database takes no writes: a read-only file or connection (SQLite's SQLITE_READONLY), a
  // database set read-only (SQL Server 3906).
  ReadOnly,
  // A table the work names is not in the database (SQLite's "no such table", SQL Server 208).
  MissingTable,
};

// The cause of SQL Server's native error number (Other for any number not named above); text is the
// error's text, which tells a CHECK constraint's 547 from a foreign key's.
Cause causeOfSqlServerError(int nativeError, const QString& text);

// A failure reported by the database (or the driver). what() is text() (UTF-8): the database's
// text, after the user's sentence when one was given (withLead).
class DbError : public std::runtime_error {
 public:
  explicit DbError(const QString& text, Cause cause = Cause::Other, int nativeError = 0)
      : std::runtime_error(text.toStdString()), text_(text), cause_(cause), nativeError_(nativeError) {}
  // The user's sentence, a line break and the database's text; the database's text alone when
  // no sentence was given.
  QString text() const { return lead_.isEmpty() ? text_ : lead_ + u'\n' + text_; }
  // The database's (or the driver's) own text.
  QString engineText() const { return text_; }
  // The user's sentence said before the database's text; empty when none was given.
  QString lead() const { return lead_; }
  // The same failure with the user's sentence before the database's text.
  DbError withLead(const QString& lead) const {
    DbError e(lead + u'\n' + text_, cause_, nativeError_);
    e.text_ = text_;
    e.lead_ = lead;
    e.statement_ = statement_;
    return e;
  }
  Cause cause() const { return cause_; }
  // The database's own number of the error (SQL Server's native error number); 0 when it gave none.
  int nativeError() const { return nativeError_; }
  // Another program holds what the work needed (a lock time-out or a deadlock): the work ended at
  // once and is rolled back; trying again later may succeed.
  bool heldByOtherProgram() const { return cause_ == Cause::LockTimeOut || cause_ == Cause::Deadlock; }
  // The failure lies in a row the work writes: a duplicate key (SQL Server 2627, 2601), a value
  // longer than its column (8152, 2628), a value that does not convert (245, 248, 8114, 8115), Null
  // where the column takes none (515), and the embedded engine's same failures (SQLite's UNIQUE
  // and NOT NULL constraints, the length check, CONVERT(int, ...)). Sending the work's parts one
  // by one names the row. Any other failure (a full log or filegroup, memory, a trigger's refusal,
  // the connection) is no row's: the work ends at once.
  bool rowLevel() const;
  // The CHECK constraint that refused the change (Cause::Check) as the database's text names it;
  // empty for any other failure.
  QString checkConstraint() const;
  // The table that is not there (Cause::MissingTable) as the database's text names it, without a
  // schema or brackets: "no such table: 员工照片", "Invalid object name 'dbo.员工照片'." give 员工照片;
  // empty for any other failure.
  QString missingTable() const;
  // Which statement of an executed text failed, counted from 0 among the statements that give a
  // result (UPDATE, INSERT, DELETE, SELECT; not SET or DECLARE), so that in a text of plain
  // updates it is the update's place; -1 when unknown. Lets a caller name the failing table or
  // row without sending the work again.
  int statement() const { return statement_; }
  DbError atStatement(int index) const {
    DbError e = *this;
    e.statement_ = index;
    return e;
  }

 private:
  QString text_;
  QString lead_;
  Cause cause_;
  int nativeError_;
  int statement_ = -1;
};

// The text of the failure thrown when the server has ended a transaction by itself (a deadlock's
// victim, a trigger's ROLLBACK) and the change is found without one at its end.
inline const QString kTransactionEndedByServer =
    QStringLiteral("服务器已自行结束了本次修改的事务（@@TRANCOUNT 为 %1），本次修改没有提交，数据库没有任何修改");

// Puts a text value between single quotes and doubles every single quote inside it.
// sqlQuote("O'Neil") == "'O''Neil'"; for text without a quote it is just '...'.
// Every value that the tool inserts into a statement goes through this function (or sqlQuoteN).
QString sqlQuote(const QString& value);
// The same as a Unicode literal: sqlQuoteN("张三") == "N'张三'". For a text that may hold characters
// beyond ASCII (a name, a kind of record): a plain literal is read in the code page of the
// server's default collation, where Chinese becomes "??" unless that collation is Chinese.
// Employee numbers and codes compared with a column stay plain (sqlQuote): an N literal against a
// varchar column keeps the server from seeking its index.
QString sqlQuoteN(const QString& value);

// A table or column name as a statement spells it: as it is when it is a regular identifier
// (a letter or "_" first, then letters, digits and "_"; Chinese letters count) and no reserved
// word; else bracketed with every "]" doubled: quotedName("Order") == "[Order]",
// quotedName("2号") == "[2号]", quotedName("a]b") == "[a]]b]", quotedName("员工档案temp") == "员工档案temp".
QString quotedName(const QString& name);
// Always bracketed: bracketedName("员工档案") == "[员工档案]".
QString bracketedName(const QString& name);

// A statement text built for the embedded engine only (a catalogue query of SQLite, say) begins
// with this comment; the suite's T-SQL dialect guard passes such texts over. Code that builds one
// sends it only when Database::kind() is EngineKind::Sqlite.
inline const QString kEmbeddedOnly = QStringLiteral("/* embedded engine only */ ");
inline bool embeddedOnly(const QString& sql) { return sql.startsWith(kEmbeddedOnly); }

// Field list for record edits, in the order the fields are written.
using Fields = QList<QPair<QString, QVariant>>;

class Engine;
namespace odbc {
class Connection;
}

// A forward-only, read-only result, read once from first to last row.
// Fields are read by column name (case-insensitive); Null is visible as a null QVariant.
class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(Recordset&&) noexcept;
  Recordset& operator=(Recordset&&) noexcept;

  bool eof() const;  // no current row
  void moveNext();  // throws DbError (a failure on a later row surfaces here)
  QVariant field(const QString& name) const;  // null QVariant for Null; throws DbError for an unknown column
  bool isNull(const QString& name) const;
  // The field as text; nullText when it is Null (each read names its own default for Null).
  QString text(const QString& name, const QString& nullText = QString()) const;
  QStringList columns() const;

  struct Impl;
  explicit Recordset(std::unique_ptr<Impl> impl);

 private:
  std::unique_ptr<Impl> impl_;
};

enum class EngineKind { None, SqlServer, Sqlite };

class Database {
 public:
  Database();
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Opens SQL Server through ODBC with the first installed SQL Server driver (FreeTDS on Linux).
  // Values are brace-quoted; a login time-out of 30 s applies. On failure returns false and
  // puts the driver's description into *error.
  bool openSqlServer(const QString& uid, const QString& pwd, const QString& dbName, const QString& server,
                     QString* error);
  // Opens SQL Server with a ready ODBC connection string (see db/odbc_connection.h) and the given
  // login time-out. Used by openSqlServer, and by tests and tools that name the driver themselves.
  bool openOdbc(const QString& connectionString, int loginTimeoutSeconds, QString* error);
  // Takes an open ODBC connection as the SQL Server engine, as openOdbc does with the one it
  // opens (the session settings are sent first). Lets tests stand a scripted server in for SQL Server.
  // On failure (the session settings are refused) returns false with *error.
  bool openOdbcConnection(std::unique_ptr<odbc::Connection> connection, QString* error);
  // Opens (never creates) the SQLite database file at path. On failure returns false with *error.
  bool openSqlite(const QString& path, QString* error);
  // Creates a new, empty SQLite file (used by the demo generator and the test harness) and opens it.
  bool createSqlite(const QString& path, QString* error);
  void close();
  bool isOpen() const;
  EngineKind kind() const;

  // Runs a query and returns its rows. Throws DbError.
  // On the embedded engine rows are read as they are needed, so a failure on a later row (a
  // conversion, say) is thrown by Recordset::moveNext; SQL Server's rows are read when the query
  // is opened. A text of several statements runs them all; the rows are the first result set's
  // on SQL Server and the last statement's on the embedded engine (the tool's reads hold one).
  Recordset open(const QString& sql);
  // Executes a text of one or more statements (" Update a set ... Update b set ..."), in order.
  // A failure in any statement throws DbError; statements before it stay applied unless a
  // transaction is rolled back.
  void execute(const QString& sql);
  // Executes a script whose batches are separated by lines holding only "go" (any case).
  // Each batch is logged and sent on its own, in order. Throws DbError at the first failing batch.
  void executeScript(const QString& script);
  // Splits a script into its batches as SQL Server's command-line client does.
  // A go line is a line holding only "go" in any case, with any blanks or tabs around it; a "go"
  // inside a literal, a quoted name or a block comment is not one. Line breaks are CR LF, LF or CR.
  // A batch is the text before the first go line, between two go lines, or after the last one,
  // exactly as written, except that the line break that ends the line before a go line and the
  // line break that ends the go line belong to no batch (nor do the go line's own blanks).
  // So " a; \r\ngo\r\n b" gives " a; " and " b". Batches holding only white space are dropped.
  static QStringList splitBatches(const QString& script);

  // Record edits (the rule window's recordset edits). openSql is the statement that opens the
  // record (e.g. "SELECT ... From t Where ID=0"); it is logged and run first. The write itself
  // is a parameterised INSERT/UPDATE of the given fields. addRecord returns the new ID.
  // Both texts are logged; the write is logged as "INSERT INTO t (a, b) VALUES (?, ?)" or
  // "UPDATE t SET a=?, b=? WHERE ID=7" (no fields: "INSERT INTO t DEFAULT VALUES"; an update
  // without fields writes nothing). Table and field names must be plain names.
  qint64 addRecord(const QString& openSql, const QString& table, const Fields& fields);
  void updateRecord(const QString& openSql, const QString& table, qint64 id, const Fields& fields);

  // SQLite's own statements, on the embedded engine only: the change journal's file, attached to
  // the host connection or opened as a database of its own. The text begins with kEmbeddedOnly
  // and is sent as it stands (never translated), with one value bound per ?, in order; the
  // observer sees it like every other text. openEmbedded gives the rows (none for a statement
  // without rows, which has then run). Throws DbError, also on SQL Server, where nothing is sent.
  Recordset openEmbedded(const QString& sql, const QVariantList& values = {});
  void executeEmbedded(const QString& sql, const QVariantList& values = {});

  // Transactions, on both engines. Nested begin() is not supported. On SQL Server a transaction
  // is begun and ended by statements ("BEGIN TRANSACTION", "COMMIT TRANSACTION"), and @@TRANCOUNT
  // is read after it begins and before it commits: when the server has ended the transaction by
  // itself, begin() or commit() throws DbError (Cause::TransactionEnded, kTransactionEndedByServer),
  // sends nothing more and leaves no transaction open. commit() returns only after a commit the
  // server confirmed; when it throws otherwise, the transaction stays open, to be rolled back.
  void begin();
  void commit();
  void rollback();
  bool inTransaction() const;

  // An optional observer of every statement text sent, exactly as built (before any
  // translation), in order: tests and the benchmark install one to read or count them.
  using StatementObserver = std::function<void(const QString& sql)>;
  void setStatementObserver(StatementObserver observer);  // an empty one removes it

  // Long work keeps its window answering through a busy hook: while one is set, the engine calls
  // it at the start of each execution and while a statement runs, at most every kBusyIntervalMs
  // (on the embedded engine during the statement's own work and between the statements of a text;
  // on SQL Server the connection's calls run on a thread of their own while this thread calls the
  // hook). The hook may let the event loop run, but must not use this database: a call made from
  // inside it throws DbError. It returns false to stop the work: the embedded engine interrupts
  // the running statement, SQL Server's is cancelled (SQLCancel), and the call then throws DbError
  // with Cause::Stopped (a transaction around it is to be rolled back, as after any failure).
  using BusyHook = std::function<bool()>;
  static constexpr int kBusyIntervalMs = 15;
  void setBusyHook(BusyHook hook);  // an empty one removes it
  void setBusyIntervalMs(int ms);  // kBusyIntervalMs unless set (tests set 0: every chance)

  // The underlying Qt connection name (for tests and tools).
  QString connectionName() const;
  // The number of the open connection: every open in the process (a reconnect too) gives a new
  // one, so what was read about a connection's database can be kept by it; 0 when closed.
  quint64 serial() const;

 private:
  std::unique_ptr<Engine> engine_;
  StatementObserver observer_;
  BusyHook busyHook_;
  bool inBusyHook_ = false;
  qint64 lastBusyCall_ = 0;
  int busyIntervalMs_ = kBusyIntervalMs;
  bool inTransaction_ = false;
  quint64 serial_ = 0;
  bool busy();
  void busyAtStart();
  void checkTransactionCount();
  void adopt(std::unique_ptr<Engine> engine);
  void logStatement(const QString& sql);
  Engine& engine();
};

// Begins a transaction; rolls back on destruction unless commit() was called.
class Transaction {
 public:
  explicit Transaction(Database& db);
  ~Transaction();
  void commit();

 private:
  Database& db_;
  bool done_ = false;
};

}  // namespace db
