#include "core/journal/journal_recorder.h"

#include <QDir>
#include <QHash>
#include <QSet>

#include "db/database.h"
#include "core/common/holders.h"

namespace journal {

namespace {

QString operatingSystemUser() {
  for (const char* name : {"USER", "USERNAME", "LOGNAME"})
    if (const QString user = qEnvironmentVariable(name); !user.isEmpty()) return user;
  return QDir::home().dirName();
}

}  // namespace

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
    parts << QStringLiteral("SELECT %1 AS 列, COUNT(*) AS 行数 FROM ").arg(k) + columns[k].tableSql() +
                 QStringLiteral(" WHERE ") + columns[k].columnSql() + in + columns[k].extraCondition();
  return parts.join(QStringLiteral(" UNION ALL "));
}

qsizetype countSlice(const std::vector<host::RefColumn>& columns) {
  return common::numbersPerStatement(columns.size());
}

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
  const std::vector<common::RegisterHolders> held = common::registerHolders(database, numbers);
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
  // Inside the change's transaction when the journal is attached; when that fails it is taken
  // back and the entry goes the way of the SQL Server's, after the commit.
  const bool written = journal_.attachedTo(database_) && journal_.writeAttached(database_, entry_);
  transaction.commit();
  if (!written) committed();
}

void Recorder::commit(const std::vector<std::unique_ptr<Recorder>>& recorders, db::Transaction& transaction) {
  std::vector<Recorder*> afterCommit;
  const QDateTime now = QDateTime::currentDateTime();
  for (const std::unique_ptr<Recorder>& r : recorders) {
    if (!r->active_) continue;
    r->entry_.time = now;
    if (!(r->journal_.attachedTo(r->database_) && r->journal_.writeAttached(r->database_, r->entry_)))
      afterCommit.push_back(r.get());
  }
  transaction.commit();
  for (Recorder* r : afterCommit) r->committed();
}

void Recorder::committed() {
  if (!active_) return;
  if (!entry_.time.isValid()) entry_.time = QDateTime::currentDateTime();
  journal_.writeAfterCommit(entry_);
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

}  // namespace journal
