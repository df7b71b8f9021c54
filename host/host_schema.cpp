#include "host/host_schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "host/host_tables.h"
#include "db/database.h"
#include "db/sqlite_columns.h"

using namespace Qt::StringLiterals;

namespace host {

namespace {

Column text(const QString& name, bool indexed = false) { return {name, ColumnKind::Text, false, indexed}; }
Column number(const QString& name) { return {name, ColumnKind::Text, true, true}; }
Column integer(const QString& name) { return {name, ColumnKind::Integer, false, false}; }
Column date(const QString& name) { return {name, ColumnKind::Date, false, false}; }
Column money(const QString& name) { return {name, ColumnKind::Money, false, false}; }

// The tables that several windows share, and the numbering-rule tables.
QList<Table> coreTables() {
  return {
      {u"员工档案"_s,
       {number(u"工号"_s), text(u"姓名"_s), text(u"性别"_s), text(u"身份证号码"_s), text(u"员工类别"_s),
        text(u"岗位编号"_s, true)}},
      {u"员工类别"_s, {text(u"类别编号"_s), text(u"类别名称"_s, true), text(u"类别码"_s, true)}},
      {u"岗位类别"_s, {text(u"岗位类别编号"_s), text(u"岗位类别名称"_s)}},
      {u"岗位信息New"_s,
       {text(u"岗位代号"_s, true), text(u"岗位名称"_s), text(u"职能部门代号"_s), text(u"岗位类别代号"_s),
        number(u"工号"_s)}},
      {u"职能部门new"_s, {text(u"职能部门编号"_s), text(u"职能部门名称"_s), date(u"终止日期"_s)}},
      {u"上级部门new"_s, {text(u"职能部门编号"_s), text(u"上级部门编号"_s), date(u"起始日期"_s)}},
      {u"员工工号编码规则名称"_s,
       {text(u"类别码"_s, true), text(u"编码类别名称"_s), integer(u"编码规则"_s), text(u"流水号位数"_s)}},
      {u"员工工号编码规则"_s,
       {text(u"员工类别"_s), text(u"类别代码"_s, true), text(u"部门编号"_s), text(u"部门代码"_s), text(u"岗位类别"_s),
        text(u"岗位代码"_s), text(u"流水号位数"_s), integer(u"流水号"_s)}},
  };
}

// A few columns of data beside the employee number, for the biggest reference tables.
QList<Column> payloadOf(const QString& table) {
  static const QList<QPair<QString, QList<Column>>> payload{
      {u"月考勤记录"_s, {text(u"年月"_s), integer(u"出勤天数"_s)}},
      {u"月考勤审核记录"_s, {text(u"年月"_s), text(u"审核人"_s)}},
      {u"考勤表详细"_s, {date(u"日期"_s), text(u"班次"_s)}},
      {u"工资单明细"_s, {text(u"年月"_s), money(u"金额"_s)}},
      {u"工资单项目明细"_s, {text(u"年月"_s), text(u"项目名称"_s), money(u"金额"_s)}},
      {u"工资支付划账表"_s, {text(u"年月"_s), money(u"金额"_s)}},
  };
  for (const auto& [name, columns] : payload)
    if (name.compare(table, Qt::CaseInsensitive) == 0) return columns;
  return {};
}

// The column named by an extra condition such as " AND 类型='档案信息修改'".
QString conditionColumn(const QString& extra) {
  QString s = extra.trimmed();
  if (s.startsWith(u"AND "_s, Qt::CaseInsensitive)) s = s.mid(4).trimmed();
  const qsizetype eq = s.indexOf(u'=');
  return eq > 0 ? s.left(eq).trimmed() : QString();
}

Table* find(QList<Table>& list, const QString& name) {
  for (Table& t : list)
    if (t.name.compare(name, Qt::CaseInsensitive) == 0) return &t;
  return nullptr;
}

template <std::size_t N>
void addReferences(QList<Table>& list, const std::array<RefColumn, N>& refs) {
  for (const RefColumn& ref : refs) {
    Table* t = find(list, ref.tableName());
    if (!t) {
      list.append({ref.tableName(), {}, true});
      t = &list.last();
    }
    if (!t->column(ref.columnName())) t->columns.append(number(ref.columnName()));
    const QString cond = conditionColumn(ref.extraCondition());
    if (!cond.isEmpty() && !t->column(cond)) t->columns.append(text(cond));
  }
}

QList<Table> buildTables() {
  QList<Table> list = coreTables();
  addReferences(list, kSingleCascade);
  addReferences(list, kBatchApply);
  addReferences(list, kStaging);
  for (Table& t : list)
    if (t.reference) t.columns.append(payloadOf(t.name));
  return list;
}

QString tsqlType(const Column& c) {
  switch (c.kind) {
    case ColumnKind::Integer: return u"int"_s;
    case ColumnKind::Date: return u"datetime"_s;  // SQL Server 2005 has no date type
    case ColumnKind::Money: return u"decimal(12, 2)"_s;
    case ColumnKind::Text: break;
  }
  return u"nvarchar("_s + QString::number(kTextLength) + u')';
}

QString sqliteQuote(const QString& id) { return u'"' + QString(id).replace(u'"', u"\"\""_s) + u'"'; }

// As declared on SQL Server; a text column also compares and checks its length as there.
QString sqliteType(const Column& c) {
  switch (c.kind) {
    case ColumnKind::Integer: return u"INTEGER"_s;
    case ColumnKind::Date: return u"DATE"_s;
    case ColumnKind::Money: return u"NUMERIC"_s;
    case ColumnKind::Text: break;
  }
  return tsqlType(c) + db::sqliteCharacterConstraints(sqliteQuote(c.name), tsqlType(c));
}

QString indexName(const Table& t, const Column& c) { return u"IX_"_s + t.name + u'_' + c.name; }

// CREATE TABLE and CREATE INDEX statements; quote() wraps an identifier, type() names a column type.
template <class Quote, class Type>
QStringList statements(const QList<Table>& list, const QString& idColumn, Quote quote, Type type) {
  QStringList out;
  for (const Table& t : list) {
    QStringList cols{quote(u"ID"_s) + u' ' + idColumn};
    for (const Column& c : t.columns) cols << quote(c.name) + u' ' + type(c);
    out << u"CREATE TABLE "_s + quote(t.name) + u" ("_s + cols.join(u", "_s) + u')';
    for (const Column& c : t.columns)
      if (c.indexed)
        out << u"CREATE INDEX "_s + quote(indexName(t, c)) + u" ON "_s + quote(t.name) + u" ("_s + quote(c.name) + u')';
  }
  return out;
}

}  // namespace

const Column* Table::column(const QString& columnName) const {
  for (const Column& c : columns)
    if (c.name.compare(columnName, Qt::CaseInsensitive) == 0) return &c;
  return nullptr;
}

const QList<Table>& tables() {
  static const QList<Table> list = buildTables();
  return list;
}

const Table* findTable(const QString& name) {
  for (const Table& t : tables())
    if (t.name.compare(name, Qt::CaseInsensitive) == 0) return &t;
  return nullptr;
}

QStringList allTables() {
  QStringList names;
  for (const Table& t : tables()) names << t.name;
  return names;
}

QStringList sqliteSchema() { return sqliteSchema(tables()); }

QStringList sqliteSchema(const QList<Table>& list) {
  return statements(list, u"INTEGER PRIMARY KEY AUTOINCREMENT"_s, sqliteQuote, sqliteType);
}

QString tsqlSchema() {
  const QStringList list = statements(
      tables(), u"int IDENTITY(1,1) PRIMARY KEY"_s,
      [](const QString& id) { return u'[' + QString(id).replace(u']', u"]]"_s) + u']'; }, tsqlType);
  QString script;
  for (const QString& s : list) script += s + u"\ngo\n"_s;
  return script;
}

void createSchema(db::Database& database) {
  if (database.kind() != db::EngineKind::Sqlite) {
    database.executeScript(tsqlSchema());
    return;
  }
  createSqliteSchema(database, tables());
}

void createSqliteSchema(db::Database& database, const QList<Table>& list) {
  QSqlDatabase handle = QSqlDatabase::database(database.connectionName(), false);
  db::Transaction transaction(database);
  for (const QString& statement : sqliteSchema(list)) {
    QSqlQuery q(handle);
    if (!q.exec(statement)) throw db::DbError(q.lastError().text());
  }
  transaction.commit();
}

}  // namespace host
