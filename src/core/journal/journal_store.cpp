#include "core/journal/journal_store.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVariant>
#include <algorithm>
#include <utility>

#include "db/database.h"

namespace journal {

namespace {

// The journal attached to an embedded host connection, and the entries left pending while the
// list's conditions are run on them (on the journal's own connection).
const QString kAttached = QStringLiteral("rj");
const QString kPending = QStringLiteral("pending");

// Every statement on the journal file is SQLite's own.
QString ownSql(const QString& sql) { return db::kEmbeddedOnly + sql; }

// statement_heads holds an entry's first kHeadChars characters of its statement and its length,
// so that its details are read without the whole statement (megabytes for a batch; a column after
// it in entries would still be reached through all of its pages). %1 is the schema ("" or "rj.").
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

void createSchema(db::Database& d, const QString& prefix) {
  for (const QString& sql : kSchema) d.executeEmbedded(ownSql(sql.arg(prefix)));
}

// Rows of pairs written by one statement (five values each, well below SQLite's limit of bound values).
constexpr std::size_t kPairsPerInsert = 500;

// Writes entry into the journal tables named with prefix ("", "rj." or "pending.") on d; sets its id.
void write(db::Database& d, const QString& prefix, Entry& entry) {
  const QVariant undoes = entry.undoes ? QVariant(entry.undoes) : QVariant(QMetaType(QMetaType::LongLong));
  qint64 id = 0;
  {
    db::Recordset rs = d.openEmbedded(
        ownSql(QStringLiteral("INSERT INTO %1entries (time, os_user, login, server, dbname, operation, statement, "
                              "undoes) VALUES (?, ?, ?, ?, ?, ?, ?, ?) RETURNING id")
                   .arg(prefix)),
        {entry.time.toString(kTimeFormat), entry.osUser, entry.login, entry.server, entry.database, entry.operation,
         entry.statement, undoes});
    if (rs.eof()) throw db::DbError(QStringLiteral("The journal gave no number for the new entry."));
    id = rs.field(QStringLiteral("id")).toLongLong();
    while (!rs.eof()) rs.moveNext();
  }
  d.executeEmbedded(
      ownSql(QStringLiteral("INSERT INTO %1statement_heads (entry, head, chars) VALUES (?, ?, ?)").arg(prefix)),
      {id, entry.statement.left(kHeadChars), qint64(entry.statement.size())});
  for (std::size_t from = 0; from < entry.pairs.size(); from += kPairsPerInsert) {
    const std::size_t to = std::min(entry.pairs.size(), from + kPairsPerInsert);
    QStringList rows;
    QVariantList values;
    for (std::size_t i = from; i < to; ++i) {
      const Pair& pair = entry.pairs[i];
      rows << QStringLiteral("(?, ?, ?, ?, ?)");
      values << id << qint64(i) << pair.oldNumber << pair.newNumber << pair.name;
    }
    d.executeEmbedded(
        ownSql(QStringLiteral("INSERT INTO %1pairs (entry, seq, old_number, new_number, name) VALUES ").arg(prefix) +
               rows.join(QStringLiteral(", "))),
        values);
  }
  if (!entry.rows.empty()) {
    QStringList rows;
    QVariantList values;
    for (std::size_t i = 0; i < entry.rows.size(); ++i) {
      const ColumnRows& c = entry.rows[i];
      rows << QStringLiteral("(?, ?, ?, ?, ?)");
      values << id << qint64(i) << c.table << c.column << c.rows;
    }
    d.executeEmbedded(
        ownSql(QStringLiteral("INSERT INTO %1column_rows (entry, seq, tbl, col, rows) VALUES ").arg(prefix) +
               rows.join(QStringLiteral(", "))),
        values);
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

// ---- Reading ---------------------------------------------------------------------------------

// Reads the entries of rs (the columns of entrySelect) with their pairs and rows.
std::vector<Entry> readEntries(db::Database& d, db::Recordset rs) {
  std::vector<Entry> out;
  QHash<qint64, std::size_t> at;
  for (; !rs.eof(); rs.moveNext()) {
    Entry e;
    e.id = rs.field(QStringLiteral("id")).toLongLong();
    e.time = QDateTime::fromString(rs.text(QStringLiteral("time")), kTimeFormat);
    e.osUser = rs.text(QStringLiteral("os_user"));
    e.login = rs.text(QStringLiteral("login"));
    e.server = rs.text(QStringLiteral("server"));
    e.database = rs.text(QStringLiteral("dbname"));
    e.operation = rs.text(QStringLiteral("operation"));
    e.statement = rs.text(QStringLiteral("statement"));
    e.undoes = rs.field(QStringLiteral("undoes")).toLongLong();
    e.undoneBy = rs.field(QStringLiteral("undone_by")).toLongLong();
    e.statementLength = rs.field(QStringLiteral("chars")).toLongLong();
    if (e.statementLength <= e.statement.size()) e.statementLength = 0;  // read whole
    at.insert(e.id, out.size());
    out.push_back(e);
  }
  if (out.empty()) return out;
  qint64 low = out.front().id, high = low;
  for (const Entry& e : out) low = std::min(low, e.id), high = std::max(high, e.id);
  const QString range = QStringLiteral(" WHERE entry BETWEEN ? AND ? ORDER BY entry, seq");
  for (db::Recordset p = d.openEmbedded(
           ownSql(QStringLiteral("SELECT entry, old_number, new_number, name FROM pairs") + range), {low, high});
       !p.eof(); p.moveNext())
    if (auto it = at.constFind(p.field(QStringLiteral("entry")).toLongLong()); it != at.constEnd())
      out[*it].pairs.push_back(
          {p.text(QStringLiteral("old_number")), p.text(QStringLiteral("new_number")), p.text(QStringLiteral("name"))});
  for (db::Recordset r =
           d.openEmbedded(ownSql(QStringLiteral("SELECT entry, tbl, col, rows FROM column_rows") + range), {low, high});
       !r.eof(); r.moveNext())
    if (auto it = at.constFind(r.field(QStringLiteral("entry")).toLongLong()); it != at.constEnd())
      out[*it].rows.push_back(
          {r.text(QStringLiteral("tbl")), r.text(QStringLiteral("col")), r.field(QStringLiteral("rows")).toLongLong()});
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
             "SELECT e.id, e.time, e.os_user, e.login, e.server, e.dbname, e.operation, %1 AS statement, e.undoes, "
             "(SELECT MIN(u.id) FROM entries u WHERE u.undoes = e.id) AS undone_by, %2 AS chars FROM entries e "
             "LEFT JOIN statement_heads h ON h.entry = e.id")
      .arg(statement, length);
}

// The list's lines: the entries with their first pair and their number of pairs.
const QString kSummarySelect = QStringLiteral(
    "SELECT e.id, e.time, e.os_user, e.operation, e.undoes, (SELECT MIN(u.id) FROM entries u WHERE u.undoes = e.id) "
    "AS undone_by, (SELECT COUNT(*) FROM pairs c WHERE c.entry = e.id) AS pair_count, f.old_number, f.new_number, "
    "f.name FROM entries e LEFT JOIN pairs f ON f.entry = e.id AND f.seq = 0");

// The conditions of filter on the entries e of the tables named with prefix ("" or "pending."),
// and their values: written once, for the journal's entries and for those left pending.
QString whereOf(const Filter& filter, QVariantList* values, const QString& prefix = {}) {
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
                 "EXISTS (SELECT 1 FROM %1pairs p WHERE p.entry = e.id AND (p.old_number = ? OR p.new_number = ?))")
                 .arg(prefix);
    *values << filter.number << filter.number;
  }
  if (!filter.name.isEmpty()) {
    where
        << QStringLiteral("EXISTS (SELECT 1 FROM %1pairs p WHERE p.entry = e.id AND instr(p.name, ?) > 0)").arg(prefix);
    *values << filter.name;
  }
  return where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
}

// The journal attached to host under kAttached.
bool attached(db::Database& host) {
  if (host.kind() != db::EngineKind::Sqlite || !host.isOpen()) return false;
  for (db::Recordset rs = host.openEmbedded(ownSql(QStringLiteral("PRAGMA database_list"))); !rs.eof(); rs.moveNext())
    if (rs.text(QStringLiteral("name")) == kAttached) return true;
  return false;
}

}  // namespace

// ---- The journal ---------------------------------------------------------------------------

Journal::Journal(Context context, QString key) : context_(std::move(context)), key_(std::move(key)) {}

Journal::~Journal() = default;

QString Journal::folder() const {
  if (!context_.folder.isEmpty()) return context_.folder;
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/renumber/journal");
}

QString Journal::file() const {
  const QByteArray hash = QCryptographicHash::hash(key_.toUtf8(), QCryptographicHash::Sha1).toHex();
  return folder() + QStringLiteral("/journal-") + QString::fromLatin1(hash.left(16)) + QStringLiteral(".sqlite");
}

QString Journal::pendingFile() const {
  return file().chopped(int(QStringLiteral(".sqlite").size())) + QStringLiteral(".pending.json");
}

// The journal's own connection, opened on its file (made with its tables when missing) when needed.
db::Database& Journal::own() {
  if (!active_) throw db::DbError(QStringLiteral("没有打开修改记录"));
  if (own_ && own_->isOpen()) return *own_;
  auto d = std::make_unique<db::Database>();
  QString error;
  const QString path = file();
  const bool opened = QFileInfo(path).size() > 0 ? d->openSqlite(path, &error) : d->createSqlite(path, &error);
  if (!opened) throw db::DbError(error);
  createSchema(*d, QString());
  own_ = std::move(d);
  return *own_;
}

// Writes entry on the journal's own connection, in a transaction of its own.
void Journal::writeOwn(Entry& entry) {
  db::Database& d = own();
  try {
    db::Transaction transaction(d);
    write(d, QString(), entry);
    transaction.commit();
  } catch (...) {
    entry.id = 0;
    throw;
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

QString Journal::open(db::Database& database) {
  QStringList problems;
  if (const QString closing = close(database); !closing.isEmpty()) problems << closing;
  active_ = true;
  try {
    if (!QDir().mkpath(folder())) throw db::DbError(QStringLiteral("无法创建文件夹 ") + folder());
    own();  // creates the file and its tables
  } catch (const std::runtime_error& e) {
    problems << QString::fromUtf8(e.what());
    return problems.join(QLatin1Char('\n'));
  }
  try {
    // Another journal attached to this connection before (a second start-up) goes first.
    if (attached(database)) database.executeEmbedded(ownSql(QStringLiteral("DETACH DATABASE ") + kAttached));
    if (database.kind() == db::EngineKind::Sqlite && database.isOpen() && !database.inTransaction())
      database.executeEmbedded(ownSql(QStringLiteral("ATTACH DATABASE ? AS ") + kAttached), {file()});
  } catch (const db::DbError& e) {
    problems << e.text();
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

QString Journal::close(db::Database& database) {
  QString problem;
  try {
    if (active_ && attached(database)) database.executeEmbedded(ownSql(QStringLiteral("DETACH DATABASE ") + kAttached));
  } catch (const db::DbError& e) {
    problem = e.text();
  }
  own_.reset();
  active_ = false;
  return problem;
}

void Journal::setNotifier(std::function<void(const QString&)> notifier) { notifier_ = std::move(notifier); }

QString Journal::takeNotice() { return std::exchange(notice_, QString()); }

QString writeFailedMessage(const QString& databaseText) {
  return QStringLiteral("修改已经完成，但修改记录未能写入：") + databaseText +
         QStringLiteral("。该记录已保存，将在下次启动时写入。");
}

// ---- Writing ---------------------------------------------------------------------------------

bool Journal::attachedTo(db::Database& host) { return active_ && attached(host); }

bool Journal::writeAttached(db::Database& host, Entry& entry) {
  const QString savepoint = QStringLiteral("journal_entry");
  try {
    host.executeEmbedded(ownSql(QStringLiteral("SAVEPOINT ") + savepoint));
  } catch (const db::DbError&) {
    return false;  // nothing was written
  }
  try {
    write(host, kAttached + QLatin1Char('.'), entry);
    host.executeEmbedded(ownSql(QStringLiteral("RELEASE ") + savepoint));
    return true;
  } catch (const db::DbError& failure) {
    entry.id = 0;
    // What was written of the entry is taken back; when it cannot be (the write ended the whole
    // transaction), the change is not committed with a part of its entry: the write's failure
    // goes to the change, which rolls back.
    try {
      host.executeEmbedded(ownSql(QStringLiteral("ROLLBACK TO ") + savepoint));
      host.executeEmbedded(ownSql(QStringLiteral("RELEASE ") + savepoint));
    } catch (const db::DbError&) {
      throw failure;
    }
  }
  return false;
}

void Journal::writeAfterCommit(Entry& entry) {
  try {
    writeOwn(entry);
  } catch (const std::runtime_error& e) {
    std::vector<Entry> pending = readPending();
    pending.push_back(entry);
    QString text = writeFailedMessage(QString::fromUtf8(e.what()));
    if (!savePending(pending))
      text = QStringLiteral("修改已经完成，但修改记录未能写入，也未能保存：") + QString::fromUtf8(e.what());
    tell(text);
  }
}

// ---- Reading ---------------------------------------------------------------------------------

std::vector<Entry> Journal::entries(const Filter& filter) {
  db::Database& d = own();
  QVariantList values;
  const QString where = whereOf(filter, &values);
  return readEntries(d, d.openEmbedded(ownSql(entrySelect() + where + QStringLiteral(" ORDER BY e.id DESC")), values));
}

std::vector<Summary> Journal::summaries(const Filter& filter) {
  db::Database& d = own();
  QVariantList values;
  const QString where = whereOf(filter, &values);
  std::vector<Summary> out;
  for (db::Recordset rs =
           d.openEmbedded(ownSql(kSummarySelect + where + QStringLiteral(" ORDER BY e.id DESC")), values);
       !rs.eof(); rs.moveNext()) {
    Summary s;
    s.id = rs.field(QStringLiteral("id")).toLongLong();
    s.time = QDateTime::fromString(rs.text(QStringLiteral("time")), kTimeFormat);
    s.osUser = rs.text(QStringLiteral("os_user"));
    s.operation = rs.text(QStringLiteral("operation"));
    s.undoes = rs.field(QStringLiteral("undoes")).toLongLong();
    s.undoneBy = rs.field(QStringLiteral("undone_by")).toLongLong();
    s.pairCount = rs.field(QStringLiteral("pair_count")).toLongLong();
    s.first = {rs.text(QStringLiteral("old_number")), rs.text(QStringLiteral("new_number")),
               rs.text(QStringLiteral("name"))};
    out.push_back(s);
  }
  return out;
}

std::optional<Entry> Journal::entry(qint64 id, qsizetype statementChars) {
  db::Database& d = own();
  std::vector<Entry> found =
      readEntries(d, d.openEmbedded(ownSql(entrySelect(statementChars) + QStringLiteral(" WHERE e.id = ?")), {id}));
  if (found.empty()) return std::nullopt;
  return found.front();
}

std::vector<Entry> Journal::pendingEntries() const { return active_ ? readPending() : std::vector<Entry>{}; }

// The entries left pending are written into a journal of the same tables in memory, for the time
// of the query, and the list's conditions run on them there.
std::vector<Entry> Journal::pendingEntries(const Filter& filter) {
  const std::vector<Entry> all = pendingEntries();
  if (all.empty()) return {};
  db::Database& d = own();
  const QString prefix = kPending + QLatin1Char('.');
  d.executeEmbedded(ownSql(QStringLiteral("ATTACH DATABASE ':memory:' AS ") + kPending));
  std::vector<Entry> out;
  try {
    createSchema(d, prefix);
    for (Entry e : all) write(d, prefix, e);  // numbered 1, 2, ... in the order kept
    QVariantList values;
    const QString where = whereOf(filter, &values, prefix);
    for (db::Recordset rs = d.openEmbedded(ownSql(QStringLiteral("SELECT e.id FROM %1entries e").arg(prefix) + where +
                                                  QStringLiteral(" ORDER BY e.id DESC")),
                                           values);
         !rs.eof(); rs.moveNext()) {
      const qint64 k = rs.field(QStringLiteral("id")).toLongLong();
      if (k >= 1 && std::size_t(k) <= all.size()) out.push_back(all[std::size_t(k - 1)]);
    }
  } catch (...) {
    d.executeEmbedded(ownSql(QStringLiteral("DETACH DATABASE ") + kPending));
    throw;
  }
  d.executeEmbedded(ownSql(QStringLiteral("DETACH DATABASE ") + kPending));
  return out;
}

}  // namespace journal
