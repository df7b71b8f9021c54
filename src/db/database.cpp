#include "db/database.h"

#include <QSet>
#include <chrono>

#include "db/engine.h"
#include "db/odbc_connection.h"
#include "db/sqlite_columns.h"
#include "db/tsql_tokens.h"

namespace db {

QString sqlQuote(const QString& value) {
  QString s = value;
  s.replace(u'\'', QStringLiteral("''"));
  return u'\'' + s + u'\'';
}

QString sqlQuoteN(const QString& value) { return u'N' + sqlQuote(value); }

namespace {

// SQL Server's reserved keywords (every version from 2005 on), and the words the embedded engine
// reserves beyond them: as a name, each must be bracketed.
bool reservedWord(const QString& name) {
  static const QSet<QString> words = [] {
    const QStringView list[] = {
        u"ADD", u"ALL", u"ALTER", u"AND", u"ANY", u"AS", u"ASC", u"AUTHORIZATION", u"BACKUP", u"BEGIN", u"BETWEEN",
        u"BREAK", u"BROWSE", u"BULK", u"BY", u"CASCADE", u"CASE", u"CHECK", u"CHECKPOINT", u"CLOSE", u"CLUSTERED",
        u"COALESCE", u"COLLATE", u"COLUMN", u"COMMIT", u"COMPUTE", u"CONSTRAINT", u"CONTAINS", u"CONTAINSTABLE",
        u"CONTINUE", u"CONVERT", u"CREATE", u"CROSS", u"CURRENT", u"CURRENT_DATE", u"CURRENT_TIME",
        u"CURRENT_TIMESTAMP", u"CURRENT_USER", u"CURSOR", u"DATABASE", u"DBCC", u"DEALLOCATE", u"DECLARE", u"DEFAULT",
        u"DELETE", u"DENY", u"DESC", u"DISK", u"DISTINCT", u"DISTRIBUTED", u"DOUBLE", u"DROP", u"DUMP", u"ELSE", u"END",
        u"ERRLVL", u"ESCAPE", u"EXCEPT", u"EXEC", u"EXECUTE", u"EXISTS", u"EXIT", u"EXTERNAL", u"FETCH", u"FILE",
        u"FILLFACTOR", u"FOR", u"FOREIGN", u"FREETEXT", u"FREETEXTTABLE", u"FROM", u"FULL", u"FUNCTION", u"GOTO",
        u"GRANT", u"GROUP", u"HAVING", u"HOLDLOCK", u"IDENTITY", u"IDENTITY_INSERT", u"IDENTITYCOL", u"IF", u"IN",
        u"INDEX", u"INNER", u"INSERT", u"INTERSECT", u"INTO", u"IS", u"JOIN", u"KEY", u"KILL", u"LEFT", u"LIKE",
        u"LINENO", u"LOAD", u"MERGE", u"NATIONAL", u"NOCHECK", u"NONCLUSTERED", u"NOT", u"NULL", u"NULLIF", u"OF",
        u"OFF", u"OFFSETS", u"ON", u"OPEN", u"OPENDATASOURCE", u"OPENQUERY", u"OPENROWSET", u"OPENXML", u"OPTION",
        u"OR", u"ORDER", u"OUTER", u"OVER", u"PERCENT", u"PIVOT", u"PLAN", u"PRECISION", u"PRIMARY", u"PRINT", u"PROC",
        u"PROCEDURE", u"PUBLIC", u"RAISERROR", u"READ", u"READTEXT", u"RECONFIGURE", u"REFERENCES", u"REPLICATION",
        u"RESTORE", u"RESTRICT", u"RETURN", u"REVERT", u"REVOKE", u"RIGHT", u"ROLLBACK", u"ROWCOUNT", u"ROWGUIDCOL",
        u"RULE", u"SAVE", u"SCHEMA", u"SECURITYAUDIT", u"SELECT", u"SEMANTICKEYPHRASETABLE",
        u"SEMANTICSIMILARITYDETAILSTABLE", u"SEMANTICSIMILARITYTABLE", u"SESSION_USER", u"SET", u"SETUSER", u"SHUTDOWN",
        u"SOME", u"STATISTICS", u"SYSTEM_USER", u"TABLE", u"TABLESAMPLE", u"TEXTSIZE", u"THEN", u"TO", u"TOP", u"TRAN",
        u"TRANSACTION", u"TRIGGER", u"TRUNCATE", u"TRY_CONVERT", u"TSEQUAL", u"UNION", u"UNIQUE", u"UNPIVOT", u"UPDATE",
        u"UPDATETEXT", u"USE", u"USER", u"VALUES", u"VARYING", u"VIEW", u"WAITFOR", u"WHEN", u"WHERE", u"WHILE",
        u"WITH", u"WITHIN", u"WRITETEXT",
        // The embedded engine's own.
        u"AUTOINCREMENT", u"DEFERRABLE", u"FILTER", u"INDEXED", u"ISNULL", u"LIMIT", u"NATURAL", u"NOTHING", u"NOTNULL",
        u"RETURNING", u"USING", u"WINDOW"};
    QSet<QString> set;
    for (QStringView w : list) set.insert(w.toString());
    return set;
  }();
  return words.contains(name.toUpper());
}

// A regular identifier: a letter or "_" first, then letters, decimal digits and "_".
bool regularName(const QString& name) {
  if (name.isEmpty() || !(name[0].isLetter() || name[0] == u'_')) return false;
  for (QChar ch : name)
    if (!ch.isLetter() && !ch.isDigit() && ch != u'_') return false;
  return true;
}

}  // namespace

QString bracketedName(const QString& name) { return u'[' + QString(name).replace(u']', QStringLiteral("]]")) + u']'; }

QString quotedName(const QString& name) {
  return regularName(name) && !reservedWord(name) ? name : bracketedName(name);
}

// ---- Recordset --------------------------------------------------------------------------------

Recordset::Recordset() = default;
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::Recordset(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

bool Recordset::eof() const { return !impl_ || impl_->eof; }

void Recordset::moveNext() {
  if (eof()) throw DbError(QStringLiteral("There is no current record: the end of the result was reached."));
  impl_->fetch();
}

QVariant Recordset::field(const QString& name) const {
  if (eof()) throw DbError(QStringLiteral("There is no current record: the end of the result was reached."));
  const auto indexOf = [&](const QString& column) {
    for (qsizetype k = 0; k < impl_->columns.size(); ++k) {
      if (impl_->columns[k].compare(column, Qt::CaseInsensitive) == 0) return k;
    }
    return qsizetype(-1);
  };
  qsizetype i = indexOf(name);
  if (i < 0 && name.contains(u'.')) i = indexOf(name.section(u'.', -1));  // "员工档案.工号" reads "工号"
  if (i < 0) throw DbError(QStringLiteral("The result has no column named '%1'.").arg(name));
  const QVariant& v = impl_->row.at(i);
  return v.isNull() ? QVariant() : v;
}

bool Recordset::isNull(const QString& name) const { return field(name).isNull(); }

QString Recordset::text(const QString& name, const QString& nullText) const {
  const QVariant v = field(name);
  return v.isNull() ? nullText : v.toString();
}

QStringList Recordset::columns() const { return impl_ ? impl_->columns : QStringList(); }

// ---- Database ---------------------------------------------------------------------------------

Database::Database() = default;
Database::~Database() { close(); }

namespace {
bool failed(QString* error, const QString& text) {
  if (error) *error = text;
  return false;
}
}  // namespace

bool Database::openSqlServer(const QString& uid, const QString& pwd, const QString& dbName, const QString& server,
                             QString* error) {
  close();
  const QString driver = odbc::chooseSqlServerDriver(odbc::installedDrivers());
  if (driver.isEmpty()) return failed(error, odbc::noDriverMessage());
  QString refusal;
  const QString connectionString = odbc::connectionString(driver, uid, pwd, dbName, server, &refusal);
  if (connectionString.isEmpty()) return failed(error, refusal);
  return openOdbc(connectionString, odbc::kLoginTimeoutSeconds, error);
}

bool Database::openOdbc(const QString& connectionString, int loginTimeoutSeconds, QString* error) {
  close();
  QString text;
  adopt(openOdbcEngine(connectionString, loginTimeoutSeconds, &text));
  return engine_ ? true : failed(error, text);
}

bool Database::openOdbcConnection(std::unique_ptr<odbc::Connection> connection, QString* error) {
  close();
  QString text;
  adopt(odbcEngineOn(std::move(connection), &text));
  return engine_ ? true : failed(error, text);
}

bool Database::openSqlite(const QString& path, QString* error) {
  close();
  QString text;
  adopt(openSqliteEngine(path, false, &text));
  return engine_ ? true : failed(error, text);
}

bool Database::createSqlite(const QString& path, QString* error) {
  close();
  QString text;
  adopt(openSqliteEngine(path, true, &text));
  return engine_ ? true : failed(error, text);
}

void Database::close() {
  engine_.reset();
  serial_ = 0;
  inTransaction_ = false;
}

bool Database::isOpen() const { return engine_ != nullptr; }
EngineKind Database::kind() const { return engine_ ? engine_->kind() : EngineKind::None; }
QString Database::connectionName() const { return engine_ ? engine_->connectionName() : QString(); }
quint64 Database::serial() const { return serial_; }

Engine& Database::engine() {
  if (inBusyHook_) throw DbError(QStringLiteral("The database is busy with other work; try again when it is done."));
  if (!engine_) throw DbError(QStringLiteral("The database connection is not open."));
  return *engine_;
}

namespace {
qint64 nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

void Database::adopt(std::unique_ptr<Engine> engine) {
  static quint64 opened = 0;
  engine_ = std::move(engine);
  serial_ = engine_ ? ++opened : 0;
  if (engine_) {
    engine_->busy = [this] { return busy(); };
    engine_->watched = bool(busyHook_);
  }
}

void Database::setBusyHook(BusyHook hook) {
  busyHook_ = std::move(hook);
  if (engine_) engine_->watched = bool(busyHook_);
  lastBusyCall_ = nowMs();
}

void Database::setBusyIntervalMs(int ms) { busyIntervalMs_ = ms; }

bool Database::busy() {
  if (!busyHook_ || inBusyHook_) return true;
  if (nowMs() - lastBusyCall_ < busyIntervalMs_) return true;
  inBusyHook_ = true;
  bool goOn = false;
  try {
    goOn = busyHook_();
  } catch (...) {
    goOn = false;  // a hook that fails stops the work; it never unwinds through the engine
  }
  inBusyHook_ = false;
  lastBusyCall_ = nowMs();
  return goOn;
}

void Database::logStatement(const QString& sql) {
  if (observer_) observer_(sql);
}
void Database::setStatementObserver(StatementObserver observer) { observer_ = std::move(observer); }

// Each execution begins with a call of the busy hook: the window is painted between the work
// before it (building the text, the network) and the work of the engine.
void Database::busyAtStart() {
  if (!busyHook_ || inBusyHook_) return;
  lastBusyCall_ = 0;
  if (!busy()) throw DbError(QStringLiteral("interrupted"), Cause::Stopped);
}

Recordset Database::open(const QString& sql) {
  logStatement(sql);
  busyAtStart();
  return engine().open(sql);
}

void Database::execute(const QString& sql) {
  logStatement(sql);
  busyAtStart();
  engine().execute(sql);
}

Recordset Database::openEmbedded(const QString& sql, const QVariantList& values) {
  if (!embeddedOnly(sql))
    throw DbError(QStringLiteral("A statement of the embedded engine's own is not marked as one."));
  Engine& e = engine();
  if (e.kind() != EngineKind::Sqlite)
    throw DbError(QStringLiteral("This statement runs on the embedded database only."));
  logStatement(sql);
  return e.openOwn(sql, values);
}

void Database::executeEmbedded(const QString& sql, const QVariantList& values) {
  for (Recordset rs = openEmbedded(sql, values); !rs.eof(); rs.moveNext()) {}
}

void Database::executeScript(const QString& script) {
  for (const QString& batch : splitBatches(script)) execute(batch);
}

QStringList Database::splitBatches(const QString& script) {
  using tsql::Kind;
  const auto tokens = tsql::tokenize(script, false);
  const auto n = qsizetype(tokens.size());
  // Offset of the last line break in a run of blanks, and the offset just after its first one.
  const auto lastBreak = [](const tsql::Token& t) {
    const qsizetype k = std::max(t.text.lastIndexOf(u'\n'), t.text.lastIndexOf(u'\r'));
    if (k < 0) return qsizetype(-1);
    return t.pos + (t.text[k] == u'\n' && k > 0 && t.text[k - 1] == u'\r' ? k - 1 : k);
  };
  const auto afterFirstBreak = [](const tsql::Token& t) {
    qsizetype k = 0;
    while (k < t.text.size() && t.text[k] != u'\n' && t.text[k] != u'\r') ++k;
    if (k == t.text.size()) return qsizetype(-1);
    return t.pos + k + (t.text[k] == u'\r' && k + 1 < t.text.size() && t.text[k + 1] == u'\n' ? 2 : 1);
  };

  QStringList batches;
  qsizetype batchStart = 0;
  const auto add = [&](qsizetype end) {
    const QString batch = script.mid(batchStart, end - batchStart);
    if (!batch.trimmed().isEmpty()) batches << batch;
  };
  for (qsizetype i = 0; i < n; ++i) {
    if (!tokens[i].isWord(u"GO")) continue;
    // The go line starts at the text's start or after a line break...
    qsizetype end = -1;
    if (i == 0) {
      end = 0;
    } else if (tokens[i - 1].kind == Kind::Space) {
      end = lastBreak(tokens[i - 1]);
      if (end < 0 && i == 1) end = 0;
    }
    if (end < 0) continue;
    // ...and ends at the text's end or with a line break.
    qsizetype next = -1;
    if (i + 1 == n) {
      next = script.size();
    } else if (tokens[i + 1].kind == Kind::Space) {
      next = afterFirstBreak(tokens[i + 1]);
      if (next < 0 && i + 2 == n) next = script.size();
    }
    if (next < 0) continue;
    add(end);
    batchStart = next;
  }
  add(script.size());
  return batches;
}

namespace {

// A table or field name as written into a record edit: one plain or bracketed name.
QString checkedName(const QString& name) {
  const auto tokens = tsql::tokenize(name, false);
  if (tokens.size() != 1 || (tokens[0].kind != tsql::Kind::Word && tokens[0].kind != tsql::Kind::QuotedName)) {
    throw DbError(QStringLiteral("'%1' is not a valid table or column name.").arg(name));
  }
  return name;
}

QVariantList valuesOf(const Fields& fields) {
  QVariantList values;
  for (const auto& f : fields) values << f.second;
  return values;
}

}  // namespace

qint64 Database::addRecord(const QString& openSql, const QString& table, const Fields& fields) {
  open(openSql);
  QString sql = QStringLiteral("INSERT INTO ") + checkedName(table);
  if (fields.isEmpty()) {
    sql += QStringLiteral(" DEFAULT VALUES");
  } else {
    QStringList names, marks;
    for (const auto& f : fields) {
      names << checkedName(f.first);
      marks << QStringLiteral("?");
    }
    sql += QStringLiteral(" (%1) VALUES (%2)").arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
  }
  logStatement(sql);
  return engine().insert(sql, valuesOf(fields));
}

void Database::updateRecord(const QString& openSql, const QString& table, qint64 id, const Fields& fields) {
  open(openSql);
  if (fields.isEmpty()) return;
  QStringList sets;
  for (const auto& f : fields) sets << checkedName(f.first) + QStringLiteral("=?");
  const QString sql = QStringLiteral("UPDATE %1 SET %2 WHERE ID=%3")
                          .arg(checkedName(table), sets.join(QStringLiteral(", ")), QString::number(id));
  logStatement(sql);
  engine().update(sql, valuesOf(fields));
}

namespace {
// SQL Server's 547 names the kind of the constraint before its quoted name, in every language:
// 'The UPDATE statement conflicted with the CHECK constraint "CK_x". ...', 'UPDATE 语句与 CHECK
// 约束"CK_x"冲突。...'; a foreign key's says FOREIGN KEY or REFERENCE there.
bool namesCheckConstraint(const QString& text) {
  return text.left(text.indexOf(u'"')).contains(QStringLiteral(" CHECK "));
}
}  // namespace

Cause causeOfSqlServerError(int nativeError, const QString& text) {
  switch (nativeError) {
    case 1222: return Cause::LockTimeOut;
    case 1205: return Cause::Deadlock;
    case 3906: return Cause::ReadOnly;
    case 208: return Cause::MissingTable;
    case 547: return namesCheckConstraint(text) ? Cause::Check : Cause::ForeignKey;
    default: return Cause::Other;
  }
}

bool DbError::rowLevel() const {
  if (cause_ != Cause::Other) return false;
  switch (nativeError_) {
    case 2627:  // a duplicate key of a PRIMARY KEY or UNIQUE constraint
    case 2601:  // a duplicate key of a unique index
    case 8152:  // a value longer than its column
    case 2628:  // the same, naming the column (SQL Server 2019 and later)
    case 245:  // a value that does not convert
    case 248:  // a value that overflows the type it converts to
    case 8114:  // a value that does not convert to its column's type
    case 8115:  // arithmetic overflow in a conversion
    case 515:  // Null where the column takes none
      return true;
    default: break;
  }
  // The embedded engine's texts of the same failures: SQLite's constraints, the length check
  // (db/sqlite_columns.h, worded as SQL Server's 8152), and CONVERT(int, ...), worded as SQL
  // Server's 245, 248 and 8115.
  if (text_ == kTruncated ||
      (text_.startsWith(kSqliteCheckFailed) && QStringView(text_).mid(kSqliteCheckFailed.size()) == kTruncated))
    return true;
  for (const QStringView start :
       {u"UNIQUE constraint failed: ", u"NOT NULL constraint failed: ",
        u"Conversion failed when converting the varchar value '", u"The conversion of the varchar value '",
        u"Arithmetic overflow error converting expression to data type "}) {
    if (text_.startsWith(start)) return true;
  }
  return false;
}

QString DbError::checkConstraint() const {
  if (cause_ != Cause::Check) return {};
  if (text_.startsWith(kSqliteCheckFailed)) return text_.mid(kSqliteCheckFailed.size()).trimmed();
  const qsizetype open = text_.indexOf(u'"');
  const qsizetype close = open < 0 ? -1 : text_.indexOf(u'"', open + 1);
  return close < 0 ? QString() : text_.mid(open + 1, close - open - 1);
}

QString DbError::missingTable() const {
  if (cause_ != Cause::MissingTable) return {};
  QString name;
  if (text_.startsWith(kSqliteNoSuchTable)) {
    name = text_.mid(kSqliteNoSuchTable.size()).trimmed();
  } else {
    const qsizetype open = text_.indexOf(u'\'');
    const qsizetype close = open < 0 ? -1 : text_.indexOf(u'\'', open + 1);
    if (close < 0) return {};
    name = text_.mid(open + 1, close - open - 1);
  }
  name = name.section(u'.', -1);
  if (name.startsWith(u'[') && name.endsWith(u']'))
    name = name.mid(1, name.size() - 2).replace(QStringLiteral("]]"), QStringLiteral("]"));
  return name;
}

void Database::begin() {
  if (inTransaction_) throw DbError(QStringLiteral("A transaction is already active; transactions do not nest."));
  engine().begin();
  inTransaction_ = true;
  checkTransactionCount();
}

// On SQL Server exactly one transaction is open while a change runs. None: the server has ended it
// by itself and rolled back what it held, and whatever the change would send now would run
// outside any transaction, so nothing more is sent. More than one: a statement opened one of its
// own; the change is not committed, and the rollback ends them all.
void Database::checkTransactionCount() {
  const std::optional<int> count = engine().transactionCount();
  if (!count || *count == 1) return;
  if (*count <= 0) {
    inTransaction_ = false;
    throw DbError(kTransactionEndedByServer.arg(*count), Cause::TransactionEnded);
  }
  throw DbError(QStringLiteral("%1 transactions are open (@@TRANCOUNT) where the change began one; it is not "
                               "committed.")
                    .arg(*count));
}

void Database::commit() {
  if (!inTransaction_) throw DbError(QStringLiteral("There is no active transaction to commit."));
  checkTransactionCount();
  engine().commit();  // on failure the transaction stays active, to be rolled back
  inTransaction_ = false;
}

void Database::rollback() {
  if (!inTransaction_) return;
  inTransaction_ = false;
  engine().rollback();
}

bool Database::inTransaction() const { return inTransaction_; }

// ---- Transaction ------------------------------------------------------------------------------

Transaction::Transaction(Database& db) : db_(db) { db_.begin(); }

Transaction::~Transaction() {
  if (done_) return;
  try {
    db_.rollback();
  } catch (const DbError&) {
    // Nothing more can be done here; the connection rolls back what is left when it closes.
  }
}

void Transaction::commit() {
  db_.commit();
  done_ = true;
}

}  // namespace db
