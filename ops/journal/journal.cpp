#include "ops/journal/journal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>
#include <algorithm>
#include <utility>

#include "db/database.h"
#include "ops/common/holders.h"

namespace journal {

// ---- Operations ------------------------------------------------------------------------------

QString singleRenumber() { return QStringLiteral("单个修改"); }
QString batchApply() { return QStringLiteral("批量修改"); }
QString staging() { return QStringLiteral("无岗位处理"); }
QString undoOperation() { return QStringLiteral("撤销"); }
QString ruleAdded() { return QStringLiteral("规则新增"); }
QString ruleChanged() { return QStringLiteral("规则修改"); }
QString ruleDeleted() { return QStringLiteral("规则删除"); }
QString ruleRows() { return QStringLiteral("具体规则"); }
QString categoryLinks() { return QStringLiteral("类别关联"); }
QStringList operations() {
  return {singleRenumber(), batchApply(),  staging(),  undoOperation(), ruleAdded(),
          ruleChanged(),    ruleDeleted(), ruleRows(), categoryLinks()};
}

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kAlias = QStringLiteral("rj");  // the journal attached to an embedded host connection

[[noreturn]] void fail(const QSqlError& error) { throw db::DbError(error.text()); }

void run(QSqlQuery& q) {
  if (!q.exec()) fail(q.lastError());
}
void run(QSqlDatabase& d, const QString& sql) {
  QSqlQuery q(d);
  if (!q.exec(sql)) fail(q.lastError());
}

// statement_heads holds an entry's first kHeadChars characters of its statement and its length,
// so that its details are read without the whole statement (megabytes for a batch; a column after
// it in entries would still be reached through all of its pages).
constexpr qsizetype kHeadChars = 20000;
const QStringList kSchema{
    QStringLiteral("CREATE TABLE IF NOT EXISTS %1entries (id INTEGER PRIMARY KEY AUTOINCREMENT, time TEXT NOT NULL, "
                   "os_user TEXT, login TEXT, server TEXT, dbname TEXT, operation TEXT NOT NULL, statement TEXT, "
                   "undoes INTEGER)"),
    QStringLiteral("CREATE TABLE IF NOT EXISTS %1pairs (entry INTEGER NOT NULL, seq INTEGER NOT NULL, "
                   "old_number TEXT, new_number TEXT, name TEXT)"),
    QStringLiteral("CREATE TABLE IF NOT EXISTS %1column_rows (entry INTEGER NOT NULL, seq INTEGER NOT NULL, "
                   "tbl TEXT, col TEXT, rows INTEGER)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS %1pairs_entry ON pairs (entry)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS %1column_rows_entry ON column_rows (entry)"),
    QStringLiteral("CREATE INDEX IF NOT EXISTS %1entries_undoes ON entries (undoes)"),
    QStringLiteral(
        "CREATE TABLE IF NOT EXISTS %1statement_heads (entry INTEGER PRIMARY KEY, head TEXT, chars INTEGER)")};

QSqlDatabase hostConnection(db::Database& database) {
  if (database.kind() != db::EngineKind::Sqlite || !database.isOpen()) return {};
  return QSqlDatabase::database(database.connectionName(), false);
}

bool attached(db::Database& database) {
  QSqlDatabase d = hostConnection(database);
  if (!d.isOpen()) return false;
  QSqlQuery q(d);
  if (!q.exec(QStringLiteral("PRAGMA database_list"))) return false;
  while (q.next())
    if (q.value(1).toString() == kAlias) return true;
  return false;
}

void detach(db::Database& database) {
  QSqlQuery q(hostConnection(database));
  q.exec(QStringLiteral("DETACH DATABASE ") + kAlias);
}

QString operatingSystemUser() {
  for (const char* name : {"USER", "USERNAME", "LOGNAME"})
    if (const QString user = qEnvironmentVariable(name); !user.isEmpty()) return user;
  return QDir::home().dirName();
}

// Writes entry into the journal tables named with prefix ("" or "rj.") on d; sets its id.
void write(QSqlDatabase& d, const QString& prefix, Entry& entry) {
  QSqlQuery q(d);
  q.prepare(QStringLiteral("INSERT INTO %1entries (time, os_user, login, server, dbname, operation, statement, "
                           "undoes) VALUES (?, ?, ?, ?, ?, ?, ?, ?)")
                .arg(prefix));
  for (const QVariant& v :
       {QVariant(entry.time.toString(kTimeFormat)), QVariant(entry.osUser), QVariant(entry.login),
        QVariant(entry.server), QVariant(entry.database), QVariant(entry.operation), QVariant(entry.statement),
        entry.undoes ? QVariant(entry.undoes) : QVariant(QMetaType(QMetaType::LongLong))})
    q.addBindValue(v);
  run(q);
  const qint64 id = q.lastInsertId().toLongLong();
  QSqlQuery head(d);
  head.prepare(QStringLiteral("INSERT INTO %1statement_heads (entry, head, chars) VALUES (?, ?, ?)").arg(prefix));
  for (const QVariant& v :
       {QVariant(id), QVariant(entry.statement.left(kHeadChars)), QVariant(qint64(entry.statement.size()))})
    head.addBindValue(v);
  run(head);
  QSqlQuery p(d);
  p.prepare(QStringLiteral("INSERT INTO %1pairs (entry, seq, old_number, new_number, name) VALUES (?, ?, ?, ?, ?)")
                .arg(prefix));
  for (std::size_t i = 0; i < entry.pairs.size(); ++i) {
    const Pair& pair = entry.pairs[i];
    for (const QVariant& v :
         {QVariant(id), QVariant(qint64(i)), QVariant(pair.oldNumber), QVariant(pair.newNumber), QVariant(pair.name)})
      p.addBindValue(v);
    run(p);
  }
  QSqlQuery r(d);
  r.prepare(
      QStringLiteral("INSERT INTO %1column_rows (entry, seq, tbl, col, rows) VALUES (?, ?, ?, ?, ?)").arg(prefix));
  for (std::size_t i = 0; i < entry.rows.size(); ++i) {
    const ColumnRows& c = entry.rows[i];
    for (const QVariant& v :
         {QVariant(id), QVariant(qint64(i)), QVariant(c.table), QVariant(c.column), QVariant(c.rows)})
      r.addBindValue(v);
    run(r);
  }
  entry.id = id;
}

// ---- The pending file ------------------------------------------------------------------------

QJsonObject toJson(const Entry& e) {
  QJsonArray pairs, rows;
  for (const Pair& p : e.pairs) pairs.append(QJsonArray{p.oldNumber, p.newNumber, p.name});
  for (const ColumnRows& c : e.rows) rows.append(QJsonArray{c.table, c.column, c.rows});
  return {{QStringLiteral("time"), e.time.toString(kTimeFormat)},
          {QStringLiteral("osUser"), e.osUser},
          {QStringLiteral("login"), e.login},
          {QStringLiteral("server"), e.server},
          {QStringLiteral("database"), e.database},
          {QStringLiteral("operation"), e.operation},
          {QStringLiteral("statement"), e.statement},
          {QStringLiteral("undoes"), e.undoes},
          {QStringLiteral("pairs"), pairs},
          {QStringLiteral("rows"), rows}};
}

Entry fromJson(const QJsonObject& o) {
  Entry e;
  e.time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), kTimeFormat);
  e.osUser = o.value(QStringLiteral("osUser")).toString();
  e.login = o.value(QStringLiteral("login")).toString();
  e.server = o.value(QStringLiteral("server")).toString();
  e.database = o.value(QStringLiteral("database")).toString();
  e.operation = o.value(QStringLiteral("operation")).toString();
  e.statement = o.value(QStringLiteral("statement")).toString();
  e.undoes = o.value(QStringLiteral("undoes")).toInteger();
  for (const QJsonValue& v : o.value(QStringLiteral("pairs")).toArray()) {
    const QJsonArray a = v.toArray();
    e.pairs.push_back({a.at(0).toString(), a.at(1).toString(), a.at(2).toString()});
  }
  for (const QJsonValue& v : o.value(QStringLiteral("rows")).toArray()) {
    const QJsonArray a = v.toArray();
    e.rows.push_back({a.at(0).toString(), a.at(1).toString(), a.at(2).toInteger()});
  }
  return e;
}

// Reads the pairs and rows of the entries of q (columns id ... undone_by, and the statement's
// whole length).
std::vector<Entry> readEntries(QSqlDatabase& d, QSqlQuery& q) {
  std::vector<Entry> out;
  QHash<qint64, std::size_t> at;
  while (q.next()) {
    Entry e;
    e.id = q.value(0).toLongLong();
    e.time = QDateTime::fromString(q.value(1).toString(), kTimeFormat);
    e.osUser = q.value(2).toString();
    e.login = q.value(3).toString();
    e.server = q.value(4).toString();
    e.database = q.value(5).toString();
    e.operation = q.value(6).toString();
    e.statement = q.value(7).toString();
    e.undoes = q.value(8).toLongLong();
    e.undoneBy = q.value(9).toLongLong();
    e.statementLength = q.value(10).toLongLong();
    if (e.statementLength <= e.statement.size()) e.statementLength = 0;  // read whole
    at.insert(e.id, out.size());
    out.push_back(e);
  }
  if (out.empty()) return out;
  qint64 low = out.front().id, high = low;
  for (const Entry& e : out) low = std::min(low, e.id), high = std::max(high, e.id);
  const QString range = QStringLiteral(" WHERE entry BETWEEN %1 AND %2 ORDER BY entry, seq").arg(low).arg(high);
  QSqlQuery p(d);
  p.setForwardOnly(true);
  if (!p.exec(QStringLiteral("SELECT entry, old_number, new_number, name FROM pairs") + range)) fail(p.lastError());
  while (p.next())
    if (auto it = at.constFind(p.value(0).toLongLong()); it != at.constEnd())
      out[*it].pairs.push_back({p.value(1).toString(), p.value(2).toString(), p.value(3).toString()});
  QSqlQuery r(d);
  r.setForwardOnly(true);
  if (!r.exec(QStringLiteral("SELECT entry, tbl, col, rows FROM column_rows") + range)) fail(r.lastError());
  while (r.next())
    if (auto it = at.constFind(r.value(0).toLongLong()); it != at.constEnd())
      out[*it].rows.push_back({r.value(1).toString(), r.value(2).toString(), r.value(3).toLongLong()});
  return out;
}

// The entries with their statement and its length, or with its first statementChars characters:
// from the head kept for it when that is long enough (an entry written before heads were kept
// has none).
QString entrySelect(qsizetype statementChars = -1) {
  QString statement = QStringLiteral("e.statement"), length = QStringLiteral("length(e.statement)");
  if (statementChars >= 0) {
    const QString cut = QStringLiteral("substr(%1, 1, ") + QString::number(statementChars) + QLatin1Char(')');
    statement = statementChars <= kHeadChars
                    ? QStringLiteral("CASE WHEN h.entry IS NULL THEN %1 ELSE %2 END")
                          .arg(cut.arg(QStringLiteral("e.statement")), cut.arg(QStringLiteral("h.head")))
                    : cut.arg(QStringLiteral("e.statement"));
    length = QStringLiteral("COALESCE(h.chars, length(e.statement))");
  }
  return QStringLiteral(
             "SELECT e.id, e.time, e.os_user, e.login, e.server, e.dbname, e.operation, %1, e.undoes, "
             "(SELECT MIN(u.id) FROM entries u WHERE u.undoes = e.id), %2 FROM entries e "
             "LEFT JOIN statement_heads h ON h.entry = e.id")
      .arg(statement, length);
}

// The list's lines: the entries with their first pair and their number of pairs.
const QString kSummarySelect = QStringLiteral(
    "SELECT e.id, e.time, e.os_user, e.operation, e.undoes, (SELECT MIN(u.id) FROM entries u WHERE u.undoes = e.id), "
    "(SELECT COUNT(*) FROM pairs c WHERE c.entry = e.id), f.old_number, f.new_number, f.name "
    "FROM entries e LEFT JOIN pairs f ON f.entry = e.id AND f.seq = 0");

// The conditions of filter on entries e, and their values.
QString whereOf(const Filter& filter, QVariantList* values) {
  QStringList where;
  if (!filter.operation.isEmpty()) {
    where << QStringLiteral("e.operation = ?");
    *values << filter.operation;
  }
  if (filter.from.isValid()) {
    where << QStringLiteral("substr(e.time, 1, 10) >= ?");
    *values << filter.from.toString(Qt::ISODate);
  }
  if (filter.to.isValid()) {
    where << QStringLiteral("substr(e.time, 1, 10) <= ?");
    *values << filter.to.toString(Qt::ISODate);
  }
  if (!filter.number.isEmpty()) {
    where << QStringLiteral(
        "EXISTS (SELECT 1 FROM pairs p WHERE p.entry = e.id AND (p.old_number = ? OR p.new_number = ?))");
    *values << filter.number << filter.number;
  }
  if (!filter.name.isEmpty()) {
    where << QStringLiteral("EXISTS (SELECT 1 FROM pairs p WHERE p.entry = e.id AND instr(p.name, ?) > 0)");
    *values << filter.name;
  }
  return where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
}

}  // namespace

// ---- The journal ---------------------------------------------------------------------------

Journal::Journal(Context context, QString key)
    : context_(std::move(context)),
      key_(std::move(key)),
      connection_(QStringLiteral("renumber_journal_%1").arg(quintptr(this), 0, 16)) {}

Journal::~Journal() {
  if (QSqlDatabase::contains(connection_)) {
    QSqlDatabase::database(connection_, false).close();
    QSqlDatabase::removeDatabase(connection_);
  }
}

QString Journal::folder() const {
  if (!context_.folder.isEmpty()) return context_.folder;
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/renumber/journal");
}

// The journal's own connection, opened on its file when needed.
QSqlDatabase Journal::own() {
  if (!active_) throw db::DbError(QStringLiteral("没有打开修改记录"));
  QSqlDatabase d = QSqlDatabase::contains(connection_)
                       ? QSqlDatabase::database(connection_, false)
                       : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
  const QString path = file();
  if (d.isOpen() && d.databaseName() == path) return d;
  d.close();
  d.setDatabaseName(path);
  d.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
  if (!d.open()) fail(d.lastError());
  for (const QString& sql : kSchema) run(d, sql.arg(QString()));
  return d;
}

// Writes entry on the journal's own connection, in a transaction of its own.
void Journal::writeOwn(Entry& entry) {
  QSqlDatabase d = own();
  if (!d.transaction()) fail(d.lastError());
  try {
    write(d, QString(), entry);
  } catch (...) {
    d.rollback();
    entry.id = 0;
    throw;
  }
  if (!d.commit()) {
    const QSqlError e = d.lastError();
    d.rollback();
    entry.id = 0;
    fail(e);
  }
}

std::vector<Entry> Journal::readPending() const {
  std::vector<Entry> out;
  QFile f(pendingFile());
  if (!f.open(QIODevice::ReadOnly)) return out;
  for (const QJsonValue& v : QJsonDocument::fromJson(f.readAll()).array()) out.push_back(fromJson(v.toObject()));
  return out;
}

// Replaces the pending file with entries (removes it when there are none). False when it cannot be written.
bool Journal::savePending(const std::vector<Entry>& entries) const {
  const QString path = pendingFile();
  if (entries.empty()) return !QFile::exists(path) || QFile::remove(path);
  QDir().mkpath(folder());
  QJsonArray all;
  for (const Entry& e : entries) all.append(toJson(e));
  QSaveFile f(path);
  if (!f.open(QIODevice::WriteOnly)) return false;
  f.write(QJsonDocument(all).toJson(QJsonDocument::Compact));
  return f.commit();
}

void Journal::tell(const QString& text) {
  if (notifier_)
    notifier_(text);
  else
    notice_ = text;
}

// ---- Text ------------------------------------------------------------------------------------

QString pendingMark() { return QStringLiteral("待写入"); }

QString entryText(const Entry& e, qsizetype statementChars) {
  QString t = QStringLiteral("#%1  %2  %3  操作者 %4  登录 %5  服务器 %6  数据库 %7")
                  .arg(e.id ? QString::number(e.id) : pendingMark())
                  .arg(e.time.toString(kTimeFormat), e.operation, e.osUser, e.login, e.server, e.database);
  if (e.undoes) t += QStringLiteral("  撤销 #%1").arg(e.undoes);
  if (e.undoneBy) t += QStringLiteral("  已由 #%1 撤销").arg(e.undoneBy);
  t += QLatin1Char('\n');
  for (const Pair& p : e.pairs)
    t += QStringLiteral("  %1 -> %2  %3\n").arg(p.oldNumber, p.newNumber, p.name).replace(QStringLiteral("  \n"), "\n");
  if (!e.rows.empty()) {
    QStringList parts;
    for (const ColumnRows& c : e.rows) parts << QStringLiteral("%1.%2 %3行").arg(c.table, c.column).arg(c.rows);
    t += QStringLiteral("  行数：") + parts.join(QStringLiteral("，")) + QLatin1Char('\n');
  }
  const qsizetype whole = std::max<qsizetype>(e.statementLength, e.statement.size());
  const QString shown = statementChars < 0 ? e.statement : e.statement.left(statementChars);
  t += QStringLiteral("  语句：") + shown;
  if (shown.size() < whole)
    t += QStringLiteral("……\n  （语句共%1个字符，这里只显示前%2个；renumber --journal 打印完整的语句）")
             .arg(whole)
             .arg(shown.size());
  t += QLatin1Char('\n');
  return t;
}

// ---- Where the journal goes ------------------------------------------------------------------

QString Journal::file() const {
  const QByteArray hash = QCryptographicHash::hash(key_.toUtf8(), QCryptographicHash::Sha1).toHex();
  return folder() + QStringLiteral("/journal-") + QString::fromLatin1(hash.left(16)) + QStringLiteral(".sqlite");
}

QString Journal::pendingFile() const {
  return file().chopped(int(QStringLiteral(".sqlite").size())) + QStringLiteral(".pending.json");
}

QString Journal::open(db::Database& database) {
  close(database);
  active_ = true;
  QStringList problems;
  try {
    if (!QDir().mkpath(folder())) throw db::DbError(QStringLiteral("无法创建文件夹 ") + folder());
    own();  // creates the file and its tables
  } catch (const std::runtime_error& e) {
    return QString::fromUtf8(e.what());
  }
  // Another journal attached to this connection before (a second start-up) goes first.
  if (attached(database)) detach(database);
  QSqlDatabase host = hostConnection(database);
  if (host.isOpen() && !database.inTransaction()) {
    QSqlQuery q(host);
    q.prepare(QStringLiteral("ATTACH DATABASE ? AS ") + kAlias);
    q.addBindValue(file());
    if (!q.exec()) problems << q.lastError().text();
  }
  // Entries left pending by a failed write: written now, in order; those failing again stay.
  std::vector<Entry> left;
  for (Entry e : readPending()) {
    try {
      writeOwn(e);
    } catch (const std::runtime_error& err) {
      if (left.empty()) problems << QString::fromUtf8(err.what());
      left.push_back(e);
    }
  }
  if (!savePending(left)) problems << QStringLiteral("无法改写 ") + pendingFile();
  return problems.join(QLatin1Char('\n'));
}

void Journal::close(db::Database& database) {
  if (active_ && attached(database)) detach(database);
  if (QSqlDatabase::contains(connection_)) QSqlDatabase::database(connection_, false).close();
  active_ = false;
}

void Journal::setNotifier(std::function<void(const QString&)> notifier) { notifier_ = std::move(notifier); }

QString Journal::takeNotice() { return std::exchange(notice_, QString()); }

QString writeFailedMessage(const QString& databaseText) {
  return QStringLiteral("修改已经完成，但修改记录未能写入：") + databaseText +
         QStringLiteral("。该记录已保存，将在下次启动时写入。");
}

// ---- Recording -------------------------------------------------------------------------------

std::vector<Pair> pairs(const std::vector<std::pair<QString, QString>>& oldNew) {
  std::vector<Pair> out;
  for (const auto& [o, n] : oldNew) out.push_back({o, n, QString()});
  return out;
}

QString countSql(const std::vector<host::RefColumn>& columns, const QStringList& numbers) {
  QStringList quoted;
  quoted.reserve(numbers.size());
  for (const QString& n : numbers) quoted << db::sqlQuote(n);
  const QString in = QStringLiteral(" IN (") + quoted.join(QStringLiteral(", ")) + QStringLiteral(")");
  QStringList parts;
  for (std::size_t k = 0; k < columns.size(); ++k)
    parts << QStringLiteral("SELECT %1 AS 列, COUNT(*) AS 行数 FROM ").arg(k) + columns[k].tableName() +
                 QStringLiteral(" WHERE ") + columns[k].columnName() + in + columns[k].extraCondition();
  return parts.join(QStringLiteral(" UNION ALL "));
}

qsizetype countSlice(const std::vector<host::RefColumn>& columns) { return ops::numbersPerStatement(columns.size()); }

Recorder::Recorder(Journal& journal, db::Database& database, QString operation, std::vector<Pair> pairs,
                   QString statement, const std::vector<host::RefColumn>& columns, qint64 undoes)
    : journal_(journal), database_(database), active_(journal.active()) {
  const Context& s = journal.context();
  entry_.operation = std::move(operation);
  entry_.pairs = std::move(pairs);
  entry_.statement = std::move(statement);
  entry_.undoes = undoes;
  entry_.osUser = operatingSystemUser();
  entry_.login = s.login;
  entry_.server = s.server;
  entry_.database = s.database;
  if (!active_ || entry_.pairs.empty()) return;
  QStringList numbers;
  QSet<QString> seen;
  for (const Pair& p : entry_.pairs)
    if (!seen.contains(p.oldNumber)) {
      seen.insert(p.oldNumber);
      numbers << p.oldNumber;
    }
  // The names as the register holds them before the change, as the database finds them for each
  // number asked about.
  QHash<QString, QString> names;
  const std::vector<ops::RegisterHolders> held = ops::registerHolders(database, numbers);
  for (qsizetype i = 0; i < numbers.size(); ++i)
    if (held[std::size_t(i)].employees > 0) names.insert(numbers[i], held[std::size_t(i)].firstName);
  for (Pair& p : entry_.pairs)
    if (p.name.isEmpty()) p.name = names.value(p.oldNumber);
  if (columns.empty()) return;
  std::vector<qint64> rows(columns.size(), 0);
  const qsizetype slice = countSlice(columns);
  for (qsizetype from = 0; from < numbers.size(); from += slice)
    for (db::Recordset rs = database.open(countSql(columns, numbers.mid(from, slice))); !rs.eof(); rs.moveNext()) {
      const qint64 k = rs.field(QStringLiteral("列")).toLongLong();
      if (k >= 0 && std::size_t(k) < columns.size())
        rows[std::size_t(k)] += rs.field(QStringLiteral("行数")).toLongLong();
    }
  for (std::size_t k = 0; k < columns.size(); ++k)
    if (rows[k] > 0) entry_.rows.push_back({columns[k].tableName(), columns[k].columnName(), rows[k]});
}

void Recorder::commit(db::Transaction& transaction) {
  if (!active_) {
    transaction.commit();
    return;
  }
  entry_.time = QDateTime::currentDateTime();
  bool written = false;
  if (attached(database_)) {
    // Inside the change's transaction; a failure here leaves the change alone and the entry goes
    // the way of the SQL Server's, after the commit.
    QSqlDatabase host = hostConnection(database_);
    QSqlQuery sp(host);
    if (sp.exec(QStringLiteral("SAVEPOINT journal_entry"))) {
      try {
        write(host, kAlias + QLatin1Char('.'), entry_);
        written = sp.exec(QStringLiteral("RELEASE journal_entry"));
      } catch (const std::runtime_error&) {}
      if (!written) {
        sp.exec(QStringLiteral("ROLLBACK TO journal_entry"));
        sp.exec(QStringLiteral("RELEASE journal_entry"));
        entry_.id = 0;
      }
    }
  }
  transaction.commit();
  if (!written) committed();
}

void Recorder::committed() {
  if (!active_) return;
  if (!entry_.time.isValid()) entry_.time = QDateTime::currentDateTime();
  try {
    journal_.writeOwn(entry_);
  } catch (const std::runtime_error& e) {
    std::vector<Entry> pending = journal_.readPending();
    pending.push_back(entry_);
    QString text = writeFailedMessage(QString::fromUtf8(e.what()));
    if (!journal_.savePending(pending))
      text = QStringLiteral("修改已经完成，但修改记录未能写入，也未能保存：") + QString::fromUtf8(e.what());
    journal_.tell(text);
  }
}

QString recordEditText(const QString& table, const QList<QPair<QString, QVariant>>& fields, qint64 id) {
  QStringList names, values, sets;
  for (const auto& [name, value] : fields) {
    QString literal;
    if (value.isNull())
      literal = QStringLiteral("Null");
    else if (value.typeId() == QMetaType::QString)
      literal = db::sqlQuote(value.toString());
    else
      literal = value.toString();
    names << name;
    values << literal;
    sets << name + QLatin1Char('=') + literal;
  }
  if (id != 0)
    return QStringLiteral("UPDATE %1 SET %2 WHERE ID=%3").arg(table, sets.join(QStringLiteral(", "))).arg(id);
  return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
      .arg(table, names.join(QStringLiteral(", ")), values.join(QStringLiteral(", ")));
}

// ---- Reading ---------------------------------------------------------------------------------

std::vector<Entry> Journal::entries(const Filter& filter) {
  QSqlDatabase d = own();
  QVariantList values;
  QSqlQuery q(d);
  q.setForwardOnly(true);
  q.prepare(entrySelect() + whereOf(filter, &values) + QStringLiteral(" ORDER BY e.id DESC"));
  for (const QVariant& v : values) q.addBindValue(v);
  run(q);
  return readEntries(d, q);
}

std::vector<Summary> Journal::summaries(const Filter& filter) {
  QSqlDatabase d = own();
  QVariantList values;
  QSqlQuery q(d);
  q.setForwardOnly(true);
  q.prepare(kSummarySelect + whereOf(filter, &values) + QStringLiteral(" ORDER BY e.id DESC"));
  for (const QVariant& v : values) q.addBindValue(v);
  run(q);
  std::vector<Summary> out;
  while (q.next()) {
    Summary s;
    s.id = q.value(0).toLongLong();
    s.time = QDateTime::fromString(q.value(1).toString(), kTimeFormat);
    s.osUser = q.value(2).toString();
    s.operation = q.value(3).toString();
    s.undoes = q.value(4).toLongLong();
    s.undoneBy = q.value(5).toLongLong();
    s.pairCount = q.value(6).toLongLong();
    s.first = {q.value(7).toString(), q.value(8).toString(), q.value(9).toString()};
    out.push_back(s);
  }
  return out;
}

Summary summary(const Entry& e) {
  Summary s;
  s.id = e.id;
  s.time = e.time;
  s.osUser = e.osUser;
  s.operation = e.operation;
  if (!e.pairs.empty()) s.first = e.pairs.front();
  s.pairCount = qint64(e.pairs.size());
  s.undoes = e.undoes;
  s.undoneBy = e.undoneBy;
  return s;
}

std::optional<Entry> Journal::entry(qint64 id, qsizetype statementChars) {
  QSqlDatabase d = own();
  QSqlQuery q(d);
  q.setForwardOnly(true);
  q.prepare(entrySelect(statementChars) + QStringLiteral(" WHERE e.id = ?"));
  q.addBindValue(id);
  run(q);
  std::vector<Entry> found = readEntries(d, q);
  if (found.empty()) return std::nullopt;
  return found.front();
}

std::vector<Entry> Journal::pendingEntries() const { return active_ ? readPending() : std::vector<Entry>{}; }

std::vector<Entry> Journal::pendingEntries(const Filter& filter) const {
  const auto matches = [&filter](const Entry& e) {
    if (!filter.operation.isEmpty() && e.operation != filter.operation) return false;
    if (filter.from.isValid() && e.time.date() < filter.from) return false;
    if (filter.to.isValid() && e.time.date() > filter.to) return false;
    const auto anyPair = [&e](const auto& test) { return std::any_of(e.pairs.begin(), e.pairs.end(), test); };
    if (!filter.number.isEmpty() &&
        !anyPair([&](const Pair& p) { return p.oldNumber == filter.number || p.newNumber == filter.number; }))
      return false;
    if (!filter.name.isEmpty() && !anyPair([&](const Pair& p) { return p.name.contains(filter.name); })) return false;
    return true;
  };
  std::vector<Entry> out;
  for (const Entry& e : pendingEntries())
    if (matches(e)) out.push_back(e);
  std::reverse(out.begin(), out.end());  // kept oldest first
  return out;
}

}  // namespace journal
