#include "host/host_schema.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "host/host_tables.h"
#include "db/database.h"
#include "db/sqlite_columns.h"

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
      {QStringLiteral("员工档案"),
       {number(QStringLiteral("工号")), text(QStringLiteral("姓名")), text(QStringLiteral("性别")),
        text(QStringLiteral("身份证号码")), text(QStringLiteral("员工类别")), text(QStringLiteral("岗位编号"), true)}},
      {QStringLiteral("员工类别"),
       {text(QStringLiteral("类别编号")), text(QStringLiteral("类别名称"), true),
        text(QStringLiteral("类别码"), true)}},
      {QStringLiteral("岗位类别"), {text(QStringLiteral("岗位类别编号")), text(QStringLiteral("岗位类别名称"))}},
      {QStringLiteral("岗位信息New"),
       {text(QStringLiteral("岗位代号"), true), text(QStringLiteral("岗位名称")), text(QStringLiteral("职能部门代号")),
        text(QStringLiteral("岗位类别代号")), number(QStringLiteral("工号"))}},
      {QStringLiteral("职能部门new"),
       {text(QStringLiteral("职能部门编号")), text(QStringLiteral("职能部门名称")), date(QStringLiteral("终止日期"))}},
      {QStringLiteral("上级部门new"),
       {text(QStringLiteral("职能部门编号")), text(QStringLiteral("上级部门编号")), date(QStringLiteral("起始日期"))}},
      {QStringLiteral("员工工号编码规则名称"),
       {text(QStringLiteral("类别码"), true), text(QStringLiteral("编码类别名称")), integer(QStringLiteral("编码规则")),
        text(QStringLiteral("流水号位数"))}},
      {QStringLiteral("员工工号编码规则"),
       {text(QStringLiteral("员工类别")), text(QStringLiteral("类别代码"), true), text(QStringLiteral("部门编号")),
        text(QStringLiteral("部门代码")), text(QStringLiteral("岗位类别")), text(QStringLiteral("岗位代码")),
        text(QStringLiteral("流水号位数")), integer(QStringLiteral("流水号"))}},
  };
}

// A few columns of data beside the employee number, for the biggest reference tables.
QList<Column> payloadOf(const QString& table) {
  static const QList<QPair<QString, QList<Column>>> payload{
      {QStringLiteral("月考勤记录"), {text(QStringLiteral("年月")), integer(QStringLiteral("出勤天数"))}},
      {QStringLiteral("月考勤审核记录"), {text(QStringLiteral("年月")), text(QStringLiteral("审核人"))}},
      {QStringLiteral("考勤表详细"), {date(QStringLiteral("日期")), text(QStringLiteral("班次"))}},
      {QStringLiteral("工资单明细"), {text(QStringLiteral("年月")), money(QStringLiteral("金额"))}},
      {QStringLiteral("工资单项目明细"),
       {text(QStringLiteral("年月")), text(QStringLiteral("项目名称")), money(QStringLiteral("金额"))}},
      {QStringLiteral("工资支付划账表"), {text(QStringLiteral("年月")), money(QStringLiteral("金额"))}},
  };
  for (const auto& [name, columns] : payload)
    if (name.compare(table, Qt::CaseInsensitive) == 0) return columns;
  return {};
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
    const QString cond = host::conditionColumn(ref.extraCondition());  // 类型 of 员工档案temp
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
    case ColumnKind::Integer: return QStringLiteral("int");
    case ColumnKind::Date: return QStringLiteral("datetime");  // SQL Server 2005 has no date type
    case ColumnKind::Money: return QStringLiteral("decimal(12, 2)");
    case ColumnKind::Text: break;
  }
  return QStringLiteral("nvarchar(") + QString::number(kTextLength) + u')';
}

QString sqliteQuote(const QString& id) { return u'"' + QString(id).replace(u'"', QStringLiteral("\"\"")) + u'"'; }

// As declared on SQL Server; a text column also compares and checks its length as there.
QString sqliteType(const Column& c) {
  switch (c.kind) {
    case ColumnKind::Integer: return QStringLiteral("INTEGER");
    case ColumnKind::Date: return QStringLiteral("DATE");
    case ColumnKind::Money: return QStringLiteral("NUMERIC");
    case ColumnKind::Text: break;
  }
  return tsqlType(c) + db::sqliteCharacterConstraints(sqliteQuote(c.name), tsqlType(c));
}

QString indexName(const Table& t, const Column& c) { return QStringLiteral("IX_") + t.name + u'_' + c.name; }

// CREATE TABLE and CREATE INDEX statements; quote() wraps an identifier, type() names a column type.
template <class Quote, class Type>
QStringList statements(const QList<Table>& list, const QString& idColumn, Quote quote, Type type) {
  QStringList out;
  for (const Table& t : list) {
    QStringList cols{quote(QStringLiteral("ID")) + u' ' + idColumn};
    for (const Column& c : t.columns) cols << quote(c.name) + u' ' + type(c);
    out << QStringLiteral("CREATE TABLE ") + quote(t.name) + QStringLiteral(" (") + cols.join(QStringLiteral(", ")) +
               u')';
    for (const Column& c : t.columns)
      if (c.indexed)
        out << QStringLiteral("CREATE INDEX ") + quote(indexName(t, c)) + QStringLiteral(" ON ") + quote(t.name) +
                   QStringLiteral(" (") + quote(c.name) + u')';
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
  return statements(list, QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT"), sqliteQuote, sqliteType);
}

QString tsqlSchema() {
  const QStringList list =
      statements(tables(), QStringLiteral("int IDENTITY(1,1) PRIMARY KEY"), db::bracketedName, tsqlType);
  QString script;
  for (const QString& s : list) script += s + QStringLiteral("\ngo\n");
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
