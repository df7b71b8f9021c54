#include "tools/bench/bench_host.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <stdexcept>

#include "db/database.h"
#include "tools/demo/demo_data.h"
#include "core/session/session.h"

namespace bench {

namespace {

[[noreturn]] void fail(const QString& text) { throw std::runtime_error(text.toStdString()); }

QSqlDatabase handle() {
  db::Database& shared = connection();
  if (!shared.isOpen()) fail(QStringLiteral("no database is open"));
  return QSqlDatabase::database(shared.connectionName(), false);
}

// The database's own text of a failure, then the statement (shortened).
void exec(QSqlQuery& q, const QString& sql) {
  if (q.exec(sql)) return;
  const QSqlError e = q.lastError();
  const QString text = e.databaseText().trimmed().isEmpty() ? e.text() : e.databaseText().trimmed();
  fail(text + QStringLiteral(" in: ") + sql.left(200));
}

}  // namespace

QString cachePath(const QString& dir, int employees, int rowsPerEmployee) {
  demo::Scale scale;
  scale.employees = employees;
  scale.referenceRowsPerEmployee = rowsPerEmployee;
  return QDir(dir).filePath(QStringLiteral("host-%1-%2.db").arg(employees).arg(demo::expectedReferenceRows(scale)));
}

QString ensureCache(const QString& dir, int employees, int rowsPerEmployee,
                    const std::function<void(const QString&)>& progress) {
  const QString path = cachePath(dir, employees, rowsPerEmployee);
  if (QFileInfo::exists(path)) {
    progress(QStringLiteral("host database from the cache: ") + path);
    return path;
  }
  if (!QDir().mkpath(dir)) fail(QStringLiteral("cannot make the cache folder ") + dir);
  const QString part = path + QStringLiteral(".part");
  QFile::remove(part);
  demo::Scale scale;
  scale.employees = employees;
  scale.referenceRowsPerEmployee = rowsPerEmployee;
  progress(QStringLiteral("generating the host database (%1 employees, %2 reference rows) into %3 ...")
               .arg(employees)
               .arg(demo::expectedReferenceRows(scale))
               .arg(path));
  QElapsedTimer timer;
  timer.start();
  {
    db::Database database;
    QString error;
    if (!demo::createDatabase(database, part, scale, &error)) fail(error);
    database.close();
  }
  if (!QFile::rename(part, path)) fail(QStringLiteral("cannot rename ") + part + QStringLiteral(" to ") + path);
  progress(QStringLiteral("generated in %1 s").arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1));
  return path;
}

// The run's connection and session, never destroyed: Qt's SQL plugins may be unloaded before
// static objects are destroyed.
namespace {
db::Database* used = nullptr;
db::Database& own() {
  static db::Database* const database = new db::Database;
  return *database;
}
}  // namespace

db::Database& connection() { return used ? *used : own(); }

void useConnection(db::Database* database) { used = database; }

session::Session& session() {
  // No added columns: the settings file is never written; the journal is never opened.
  static session::Session* const s =
      new session::Session(own(), {QStringLiteral("sqlite:bench"), QString(), QString()},
                           QDir::temp().filePath(QStringLiteral("renumber-bench-none.ini")), QDir::tempPath());
  return *s;
}

void openCopy(const QString& source, const QString& target) {
  db::Database& shared = connection();
  shared.close();
  for (const QString& leftover : {target, target + QStringLiteral("-journal"), target + QStringLiteral("-wal")})
    if (QFileInfo::exists(leftover) && !QFile::remove(leftover)) fail(QStringLiteral("cannot remove ") + leftover);
  if (!QFile::copy(source, target)) fail(QStringLiteral("cannot copy ") + source + QStringLiteral(" to ") + target);
  QFile(target).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  QString error;
  if (!shared.openSqlite(target, &error)) fail(error);
}

void closeShared() { connection().close(); }

void runBare(const QStringList& statements, bool oneTransaction) {
  QSqlDatabase h = handle();
  QSqlQuery q(h);
  q.setForwardOnly(true);
  if (oneTransaction) exec(q, QStringLiteral("BEGIN"));
  try {
    for (const QString& s : statements) exec(q, s);
  } catch (...) {
    if (oneTransaction) q.exec(QStringLiteral("ROLLBACK"));
    throw;
  }
  if (oneTransaction) exec(q, QStringLiteral("COMMIT"));
}

void runBare(const QString& statement) { runBare(QStringList{statement}, false); }

QStringList column(const QString& sql) {
  QSqlQuery q(handle());
  q.setForwardOnly(true);
  exec(q, sql);
  QStringList out;
  while (q.next()) out << q.value(0).toString();
  return out;
}

QString scalar(const QString& sql) {
  const QStringList values = column(sql);
  return values.isEmpty() ? QString() : values.first();
}

namespace {
// A column's extra condition in SQLite's own dialect: its Unicode literals as plain ones.
QString bareCondition(const host::RefColumn& ref) {
  return ref.extraCondition().isEmpty() ? QString()
                                        : QStringLiteral(" AND ") + host::shownCondition(ref.extraCondition());
}
}  // namespace

QStringList renameStatements(const host::RefColumn* first, std::size_t count, const QString& oldNo,
                             const QString& newNo) {
  QStringList out;
  out.reserve(qsizetype(count));
  for (std::size_t k = 0; k < count; ++k) {
    const host::RefColumn& ref = first[k];
    const QString t = u'"' + ref.tableName() + u'"', c = u'"' + ref.columnName() + u'"';
    out << QStringLiteral("UPDATE ") + t + QStringLiteral(" SET ") + c + u'=' + db::sqlQuote(newNo) +
               QStringLiteral(" WHERE ") + c + u'=' + db::sqlQuote(oldNo) + bareCondition(ref);
  }
  return out;
}

QStringList stagingStatements() {
  const QString noPosition = QStringLiteral(" IN (SELECT 工号 FROM 员工档案 WHERE 岗位编号 IS NULL)");
  // As the tool's script: the staging list, every further column before the register, the register last.
  std::vector<host::RefColumn> columns(host::kStaging.begin(), host::kStaging.end() - 1);
  for (const host::RefColumn& ref : host::missingFrom(host::kStaging, {})) columns.push_back(ref);
  columns.push_back(host::kStaging.back());
  QStringList out;
  for (const host::RefColumn& ref : columns) {
    const QString t = u'"' + ref.tableName() + u'"', c = u'"' + ref.columnName() + u'"';
    out << QStringLiteral("UPDATE ") + t + QStringLiteral(" SET ") + c + QStringLiteral("='9'||") + c +
               QStringLiteral(" WHERE ") + c + noPosition + bareCondition(ref);
  }
  return out;
}

QString quotedList(const QStringList& values) {
  QStringList quoted;
  quoted.reserve(values.size());
  for (const QString& v : values) quoted << db::sqlQuote(v);
  return quoted.join(u',');
}

}  // namespace bench
