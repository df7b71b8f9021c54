#include "ops/dbcheck/dbcheck_ops.h"

#include <QHash>
#include <QSet>
#include <algorithm>

#include "db/database.h"
#include "host/host_schema.h"

namespace dbcheck {

namespace {

struct CatalogueColumn {
  QString name, type;
};
// Tables by case-folded name: the name as the database spells it, and its columns.
struct CatalogueTable {
  QString name;
  std::vector<CatalogueColumn> columns;
  bool has(const QString& column) const {
    for (const CatalogueColumn& c : columns)
      if (c.name.compare(column, Qt::CaseInsensitive) == 0) return true;
    return false;
  }
};
using Catalogue = QHash<QString, CatalogueTable>;

Catalogue readCatalogue(db::Database& database) {
  Catalogue out;
  for (db::Recordset rs = database.open(catalogueSql(database)); !rs.eof(); rs.moveNext()) {
    const QString table = rs.text(QStringLiteral("TABLE_NAME"));
    CatalogueTable& t = out[table.toCaseFolded()];
    t.name = table;
    t.columns.push_back({rs.text(QStringLiteral("COLUMN_NAME")), rs.text(QStringLiteral("DATA_TYPE"))});
  }
  return out;
}

QString bracketed(const QString& name) { return u'[' + QString(name).replace(u']', QStringLiteral("]]")) + u']'; }

bool characterType(const QString& type) {
  const QString t = type.toLower();
  return t.contains(QStringLiteral("char")) || t.contains(QStringLiteral("text"));
}

// The condition column of an extra condition such as " AND 类型='档案信息修改'".
QString conditionColumn(const QString& extra) {
  QString s = extra.trimmed();
  if (s.startsWith(QStringLiteral("AND "), Qt::CaseInsensitive)) s = s.mid(4).trimmed();
  const qsizetype eq = s.indexOf(u'=');
  return eq > 0 ? s.left(eq).trimmed() : QString();
}

// Every renumber rewrites every column of the lists (its own list's first, then those it misses), so
// a missing column makes each of them fail.
QStringList allOperations() {
  return {QStringLiteral("单个修改"), QStringLiteral("批量上传"), QStringLiteral("无岗位处理")};
}

// How many of a column's sampled distinct values are numbers of the register.
QString contentSql(db::Database& database, const QString& table, const QString& column) {
  const QString c = bracketed(column), t = bracketed(table);
  const QString sample =
      database.kind() == db::EngineKind::SqlServer
          ? QStringLiteral("SELECT DISTINCT TOP %1 %2 AS v FROM %3 WHERE %2 IS NOT NULL").arg(kSampleSize).arg(c, t)
          : QStringLiteral("SELECT DISTINCT %2 AS v FROM %3 WHERE %2 IS NOT NULL LIMIT %1").arg(kSampleSize).arg(c, t);
  const QString head = database.kind() == db::EngineKind::SqlServer ? QString() : db::kEmbeddedOnly;
  return head + QStringLiteral("SELECT COUNT(*) AS n FROM (") + sample +
         QStringLiteral(") AS s WHERE s.v IN (SELECT 工号 FROM 员工档案)");
}

}  // namespace

QString Unlisted::reason() const {
  return departmentMissing ? QStringLiteral("岗位%1所属部门在职能部门new中不存在").arg(position)
                           : QStringLiteral("岗位编号%1在岗位信息new中不存在").arg(position);
}

QString stayingSql(const host::RefColumn& column) {
  const QString all = QStringLiteral("SELECT COUNT(*) FROM ") + column.tableName() + QStringLiteral(" WHERE ") +
                      column.columnName() + QStringLiteral(" IN (SELECT 工号 FROM 员工档案)");
  return QStringLiteral("SELECT (") + all + QStringLiteral(") - (") + all + column.extraCondition() +
         QStringLiteral(") AS n");
}

QString unlistedSql() {
  return QStringLiteral(
      "SELECT 工号, 姓名, 岗位编号, CASE WHEN 岗位编号 IN (SELECT 岗位代号 FROM 岗位信息new) THEN 1 ELSE 0 END AS "
      "岗位存在 FROM 员工档案 WHERE 岗位编号 IS NOT NULL AND 岗位编号 NOT IN (SELECT 岗位信息new.岗位代号 FROM "
      "岗位信息new INNER JOIN 职能部门new ON 岗位信息new.职能部门代号 = 职能部门new.职能部门编号 WHERE "
      "岗位信息new.岗位代号 IS NOT NULL) ORDER BY len(工号), 工号");
}

QString Suspect::reason() const {
  return byName ? QStringLiteral("列名与工号列相同")
                : QStringLiteral("内容：%1个值是员工档案中的工号").arg(registerValues);
}

QString catalogueSql(db::Database& database) {
  if (database.kind() == db::EngineKind::SqlServer)
    return QStringLiteral(
        "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE FROM INFORMATION_SCHEMA.COLUMNS ORDER BY TABLE_NAME, "
        "ORDINAL_POSITION");
  // The embedded engine's own catalogue.
  return db::kEmbeddedOnly +
         QStringLiteral(
             "SELECT m.name AS TABLE_NAME, p.name AS COLUMN_NAME, p.type AS DATA_TYPE FROM sqlite_master AS m JOIN "
             "pragma_table_info(m.name) AS p WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite%' ORDER BY m.name, "
             "p.cid");
}

namespace {
Report checked(db::Database& database, const std::vector<added::AddedColumn>& addedColumns, const ops::Stepper& step);
}  // namespace

Report check(db::Database& database) { return check(database, added::current()); }

Report check(db::Database& database, const std::vector<added::AddedColumn>& addedColumns,
             const ops::Progress& progress) {
  const ops::Stepper step(progress, database);
  return step.run([&] { return checked(database, addedColumns, step); });
}

namespace {
Report checked(db::Database& database, const std::vector<added::AddedColumn>& addedColumns, const ops::Stepper& step) {
  step(0, 0);
  const Catalogue catalogue = readCatalogue(database);
  Report report;
  report.sampleSize = kSampleSize;

  // Missing: every column a renumber rewrites (with the column of an extra condition).
  const std::vector<host::RefColumn> columns = host::builtInColumns();
  QSet<QString> listedTables, numberColumnNames;
  QSet<QString> reportedTables;
  for (const host::RefColumn& c : columns) {
    listedTables << c.tableName().toCaseFolded();
    numberColumnNames << c.columnName().toCaseFolded();
    const auto table = catalogue.constFind(c.tableName().toCaseFolded());
    if (table == catalogue.cend()) {
      if (!reportedTables.contains(c.tableName().toCaseFolded())) {
        reportedTables << c.tableName().toCaseFolded();
        report.missing.push_back({c.tableName(), QString(), allOperations()});
      }
      continue;
    }
    for (const QString& column : {c.columnName(), conditionColumn(c.extraCondition())})
      if (!column.isEmpty() && !table->has(column)) report.missing.push_back({c.tableName(), column, allOperations()});
  }

  // Rows the renumbers leave under the old number by their column's condition.
  const auto has = [&](const QString& table, const QString& column) {
    const auto t = catalogue.constFind(table.toCaseFolded());
    return t != catalogue.cend() && t->has(column);
  };
  const bool register_ = has(QStringLiteral("员工档案"), QStringLiteral("工号"));
  for (const host::RefColumn& c : columns) {
    if (c.extraCondition().isEmpty() || !register_ || !has(c.tableName(), c.columnName()) ||
        !has(c.tableName(), conditionColumn(c.extraCondition())))
      continue;
    db::Recordset rs = database.open(stayingSql(c));
    const qint64 rows = rs.eof() ? 0 : rs.field(QStringLiteral("n")).toLongLong();
    QString condition = c.extraCondition().trimmed();
    if (condition.startsWith(QStringLiteral("AND "), Qt::CaseInsensitive)) condition = condition.mid(4).trimmed();
    if (rows > 0) report.staying.push_back({c.tableName(), c.columnName(), condition, rows});
  }

  // Employees the batch listing leaves out for their position.
  if (register_ && has(QStringLiteral("员工档案"), QStringLiteral("岗位编号")) &&
      has(QStringLiteral("岗位信息new"), QStringLiteral("岗位代号")) &&
      has(QStringLiteral("岗位信息new"), QStringLiteral("职能部门代号")) &&
      has(QStringLiteral("职能部门new"), QStringLiteral("职能部门编号")))
    for (db::Recordset rs = database.open(unlistedSql()); !rs.eof(); rs.moveNext())
      report.unlisted.push_back({rs.text(QStringLiteral("工号")), rs.text(QStringLiteral("姓名")),
                                 rs.text(QStringLiteral("岗位编号")),
                                 rs.field(QStringLiteral("岗位存在")).toLongLong() != 0});

  // The added columns are rewritten too: they must exist, and they are no suspects.
  QSet<QString> addedKeys;
  for (const added::AddedColumn& a : addedColumns) {
    addedKeys << a.table.toCaseFolded() + u'.' + a.column.toCaseFolded();
    const auto table = catalogue.constFind(a.table.toCaseFolded());
    if (table == catalogue.cend() || !table->has(a.column))
      report.missing.push_back({a.table, a.column, allOperations()});
  }

  // Possibly missed: tables the tool knows nothing of.
  QSet<QString> known;
  for (const host::Table& t : host::tables()) known << t.name.toCaseFolded();
  QStringList names = catalogue.keys();
  names.sort();
  std::vector<std::pair<Suspect, bool>> candidates;  // with whether its content is sampled
  for (const QString& key : names) {
    if (listedTables.contains(key) || known.contains(key)) continue;
    const CatalogueTable& t = catalogue[key];
    for (const CatalogueColumn& c : t.columns) {
      if (addedKeys.contains(key + u'.' + c.name.toCaseFolded())) continue;
      const Suspect s{t.name, c.name, numberColumnNames.contains(c.name.toCaseFolded()), 0};
      candidates.emplace_back(s, characterType(c.type) || s.byName);
    }
  }
  int sampled = 0;
  const int toSample = int(std::count_if(candidates.begin(), candidates.end(), [](const auto& c) { return c.second; }));
  for (auto& [s, sample] : candidates) {
    if (sample) {
      step(sampled++, toSample);
      db::Recordset rs = database.open(contentSql(database, s.table, s.column));
      s.registerValues = rs.eof() ? 0 : rs.field(QStringLiteral("n")).toLongLong();
    }
    if (s.byName || s.registerValues >= kContentThreshold) report.suspects.push_back(s);
  }
  return report;
}
}  // namespace

QString Report::text() const {
  QString out;
  if (missing.empty()) {
    out += QStringLiteral("缺少的表或列：无\n");
  } else {
    out += QStringLiteral("缺少的表或列（修改工号时会出错并回滚）：\n");
    for (const Missing& m : missing)
      out += QStringLiteral("  %1%2  影响：%3\n")
                 .arg(m.table, m.column.isEmpty() ? QStringLiteral("（整张表）") : u'.' + m.column,
                      m.operations.join(QStringLiteral("、")));
  }
  if (suspects.empty()) {
    out += QStringLiteral("可能遗漏的工号列：无\n");
  } else {
    out += QStringLiteral("可能遗漏的工号列（本工具不修改）：\n");
    for (const Suspect& s : suspects) {
      QString why = s.reason();
      if (s.byName) why += QStringLiteral("；%1个值是员工档案中的工号").arg(s.registerValues);
      out += QStringLiteral("  %1.%2  %3\n").arg(s.table, s.column, why);
    }
  }
  if (!staying.empty()) {
    out += QStringLiteral("留在原工号下的记录（修改工号时按条件不改写）：\n");
    for (const Staying& s : staying)
      out += QStringLiteral("  %1.%2  %3行不满足 %4\n").arg(s.table, s.column).arg(s.rows).arg(s.condition);
  }
  if (!unlisted.empty()) {
    out += QStringLiteral("工号统一修改不列出的员工（岗位不存在）：\n");
    for (const Unlisted& u : unlisted) out += QStringLiteral("  %1 %2  %3\n").arg(u.number, u.name, u.reason());
  }
  out += QStringLiteral("（内容检查对每列抽样最多%1个不同的值）\n").arg(sampleSize);
  return out;
}

}  // namespace dbcheck
