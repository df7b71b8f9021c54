#include "db/engine.h"

#include <QAtomicInt>
#include <QSqlRecord>

#include "db/sqlite_columns.h"

namespace db {

QString errorText(const QSqlError& e) {
  const QString text = e.databaseText().trimmed();
  return text.isEmpty() ? e.text().trimmed() : text;
}

// Qt's SQLite driver gives SQLite's result code as the native one: 9 is an interrupted statement
// (the busy hook stopped it), 5 and 6 a lock another connection held past the busy time-out (or
// a wait the busy hook ended), 8 a database that takes no writes. A refusing constraint and a
// missing table are told by SQLite's text.
void fail(const QSqlError& e) {
  bool numbered = false;
  const int code = e.nativeErrorCode().toInt(&numbered);
  const QString text = errorText(e);
  Cause cause = Cause::Other;
  if (numbered && code == 9) cause = Cause::Stopped;
  if (numbered && (code == 5 || code == 6)) cause = Cause::LockTimeOut;
  if (numbered && code == 8) cause = Cause::ReadOnly;
  if (text.startsWith(kSqliteNoSuchTable)) cause = Cause::MissingTable;
  if (text.startsWith(kSqliteForeignKeyFailed)) cause = Cause::ForeignKey;
  if (text.startsWith(kSqliteCheckFailed) && QStringView(text).mid(kSqliteCheckFailed.size()) != kTruncated)
    cause = Cause::Check;
  throw DbError(text, cause, numbered ? code : 0);
}

QString newConnectionName() {
  static QAtomicInt counter;
  return QStringLiteral("renumber-db-%1").arg(counter.fetchAndAddRelaxed(1) + 1);
}

// ---- cursors ----------------------------------------------------------------------------------

namespace {
QVariant valueAt(const QSqlQuery& q, int i) {
  const QVariant v = q.value(i);
  return v.isNull() ? QVariant() : v;
}
}  // namespace

QueryCursor::QueryCursor(SharedQuery q) : query(std::move(q)) {
  const QSqlRecord r = (*query)->record();
  for (int i = 0; i < r.count(); ++i) columns << r.fieldName(i);
}

void QueryCursor::fetch() {
  row.clear();
  if (!query->has_value()) {  // the connection has closed
    eof = true;
    return;
  }
  QSqlQuery& q = **query;
  if (!q.next()) {
    eof = true;
    if (q.lastError().isValid()) fail(q.lastError());
    q.finish();
    return;
  }
  eof = false;
  for (int i = 0; i < columns.size(); ++i) row << valueAt(q, i);
}

void BufferedRows::fetch() {
  eof = next >= rows.size();
  row = eof ? QVariantList() : rows[next++];
}

// ---- Engine -----------------------------------------------------------------------------------

Engine::Engine(EngineKind kind, QString connectionName) : kind_(kind), name_(std::move(connectionName)) {}

Engine::~Engine() {
  for (auto& w : queries_) {
    if (auto q = w.lock()) q->reset();
  }
  if (QSqlDatabase::contains(name_)) {
    {
      QSqlDatabase d = QSqlDatabase::database(name_, false);
      d.close();
    }
    QSqlDatabase::removeDatabase(name_);
  }
}

QSqlDatabase Engine::connection() const { return QSqlDatabase::database(name_, false); }

SharedQuery Engine::newQuery() {
  std::erase_if(queries_, [](const auto& w) { return w.expired(); });
  auto q = std::make_shared<std::optional<QSqlQuery>>(std::in_place, connection());
  (*q)->setForwardOnly(true);
  queries_.push_back(q);
  return q;
}

Recordset Engine::openOwn(const QString&, const QVariantList&) {
  throw DbError(QStringLiteral("This statement runs on the embedded database only."));
}

void Engine::begin() {
  QSqlDatabase d = connection();
  if (!d.transaction()) fail(d.lastError());
}

void Engine::commit() {
  QSqlDatabase d = connection();
  if (!d.commit()) fail(d.lastError());
}

void Engine::rollback() {
  QSqlDatabase d = connection();
  if (!d.rollback()) fail(d.lastError());
}

}  // namespace db
