#include "ops/dbcheck/dbcheck_ops.h"

#include <QSet>
#include <algorithm>
#include <array>

#include "db/database.h"
#include "db/tsql_tokens.h"
#include "host/host_schema.h"

namespace dbcheck {

namespace {

QString bracketed(const QString& name) { return u'[' + QString(name).replace(u']', QStringLiteral("]]")) + u']'; }

QString columnKey(const QString& table, const QString& column) {
  return table.toCaseFolded() + u'\n' + column.toCaseFolded();
}

}  // namespace

// ---- Findings -----------------------------------------------------------------------------------

QString Unlisted::reason() const {
  return departmentMissing ? QStringLiteral("岗位%1所属部门在职能部门new中不存在").arg(position)
                           : QStringLiteral("岗位编号%1在岗位信息new中不存在").arg(position);
}

QString Suspect::reason() const {
  if (!byName) return QStringLiteral("内容：%1个值是员工档案中的工号").arg(registerValues);
  return QStringLiteral("列名与工号列相同；") + (compared
                                                     ? QStringLiteral("%1个值是员工档案中的工号").arg(registerValues)
                                                     : QStringLiteral("类型为%1，未比较内容").arg(type));
}

QString Rewritten::reason() const {
  if (!declared.character())
    return QStringLiteral(
               "类型为%1，不是字符类型：含非数字字符的新工号写不进去，前导零会丢失；"
               "无岗位员工的工号加9会变成数值相加（13变成22），因此加9会被拒绝")
        .arg(declared.declared());
  if (narrower)
    return QStringLiteral("%1比员工档案.工号窄：更长的新工号写不进去，修改会失败并全部撤销").arg(declared.declared());
  return QString();
}

QString ForeignKey::reason() const {
  const QString ref = refTable.isEmpty() ? QStringLiteral("（未知的列）") : refTable + u'.' + refColumn;
  const QString rule = QStringLiteral("更新规则") + updateRule + QStringLiteral("：");
  const QString affects = QStringLiteral("；影响：") + failing.join(QStringLiteral("、"));
  if (!refRewritten)
    return QStringLiteral("引用%1（本工具不改写）：新工号不在其中时，员工在%2中有记录的修改会失败并全部撤销")
               .arg(ref, table) +
           affects;
  const QString r = updateRule.toUpper();
  if (r == u"SET NULL" || r == u"SET DEFAULT")
    return rule + QStringLiteral("修改工号时数据库把%1.%2中该员工的工号%3，记录与员工脱离")
                      .arg(table, column, r == u"SET NULL" ? QStringLiteral("置为空值") : QStringLiteral("改为默认值"));
  if (r != u"CASCADE")
    return rule + QStringLiteral("引用%1，员工在%2中有记录时修改工号会失败并全部撤销").arg(ref, table) + affects;
  if (!failing.isEmpty())
    return rule +
           QStringLiteral("%1.%2在%3之前改写，员工在%4中有记录时修改会失败并全部撤销").arg(table, column, ref, table) +
           affects;
  return rule + QStringLiteral("引用%1，修改工号时数据库随之改写%2.%3").arg(ref, table, column);
}

QString Trigger::reason() const {
  if (disabled) return QStringLiteral("已禁用：修改工号时不运行");
  if (!onUpdate) return QStringLiteral("只在插入或删除时运行：修改工号不触发它");
  return QStringLiteral("%1的记录更新时运行：修改工号时它也运行，它的改写一并提交，它报错时修改失败并全部撤销")
      .arg(table);
}

std::vector<Rewritten> Report::typeProblems() const {
  std::vector<Rewritten> out;
  std::copy_if(rewritten.begin(), rewritten.end(), std::back_inserter(out),
               [](const Rewritten& r) { return r.problem(); });
  return out;
}

std::vector<ForeignKey> Report::keyProblems() const {
  std::vector<ForeignKey> out;
  std::copy_if(foreignKeys.begin(), foreignKeys.end(), std::back_inserter(out),
               [](const ForeignKey& k) { return k.problem(); });
  return out;
}

bool Report::ok() const {
  return missing.empty() && suspects.empty() && typeProblems().empty() && keyProblems().empty();
}

// ---- Statements ---------------------------------------------------------------------------------

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

QString foreignKeysSql(db::Database& database) {
  if (database.kind() == db::EngineKind::SqlServer)
    return QStringLiteral(
        "SELECT fk.CONSTRAINT_NAME, c.TABLE_SCHEMA, c.TABLE_NAME, c.COLUMN_NAME, p.TABLE_SCHEMA AS REF_SCHEMA, "
        "p.TABLE_NAME AS REF_TABLE, p.COLUMN_NAME AS REF_COLUMN, fk.UPDATE_RULE FROM "
        "INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS AS fk INNER JOIN INFORMATION_SCHEMA.KEY_COLUMN_USAGE AS c ON "
        "c.CONSTRAINT_SCHEMA = fk.CONSTRAINT_SCHEMA AND c.CONSTRAINT_NAME = fk.CONSTRAINT_NAME LEFT JOIN "
        "INFORMATION_SCHEMA.KEY_COLUMN_USAGE AS p ON p.CONSTRAINT_SCHEMA = fk.UNIQUE_CONSTRAINT_SCHEMA AND "
        "p.CONSTRAINT_NAME = fk.UNIQUE_CONSTRAINT_NAME AND p.ORDINAL_POSITION = c.ORDINAL_POSITION ORDER BY "
        "c.TABLE_SCHEMA, c.TABLE_NAME, fk.CONSTRAINT_NAME, c.ORDINAL_POSITION");
  return db::kEmbeddedOnly +
         QStringLiteral(
             "SELECT '' AS CONSTRAINT_NAME, '' AS TABLE_SCHEMA, m.name AS TABLE_NAME, f.\"from\" AS COLUMN_NAME, '' AS "
             "REF_SCHEMA, f.\"table\" AS REF_TABLE, f.\"to\" AS REF_COLUMN, f.on_update AS UPDATE_RULE FROM "
             "sqlite_master AS m JOIN pragma_foreign_key_list(m.name) AS f WHERE m.type = 'table' ORDER BY m.name, "
             "f.id, f.seq");
}

QString triggersSql(db::Database& database) {
  // sysobjects has the triggers of every version from 2000 on; a trigger shares its table's schema.
  if (database.kind() == db::EngineKind::SqlServer)
    return QStringLiteral(
        "SELECT o.name AS TRIGGER_NAME, SCHEMA_NAME(o.uid) AS TABLE_SCHEMA, OBJECT_NAME(o.parent_obj) AS TABLE_NAME, "
        "OBJECTPROPERTY(o.id, 'ExecIsUpdateTrigger') AS ON_UPDATE, OBJECTPROPERTY(o.id, 'ExecIsTriggerDisabled') AS "
        "DISABLED FROM sysobjects AS o WHERE o.xtype = 'TR' ORDER BY TABLE_NAME, TRIGGER_NAME");
  return db::kEmbeddedOnly +
         QStringLiteral(
             "SELECT name AS TRIGGER_NAME, '' AS TABLE_SCHEMA, tbl_name AS TABLE_NAME, sql AS TRIGGER_SQL FROM "
             "sqlite_master WHERE type = 'trigger' ORDER BY tbl_name, name");
}

QString contentSql(db::Database& database, const CatalogueTable& table, const CatalogueColumn& column) {
  const QString c = bracketed(column.name);
  const QString t =
      table.schema.isEmpty() ? bracketed(table.name) : bracketed(table.schema) + u'.' + bracketed(table.name);
  if (database.kind() != db::EngineKind::SqlServer)
    return db::kEmbeddedOnly +
           QStringLiteral(
               "SELECT COUNT(*) AS n FROM (SELECT DISTINCT %2 AS v FROM %3 WHERE %2 IS NOT NULL LIMIT %1) AS s WHERE "
               "s.v IN (SELECT 工号 FROM 员工档案)")
               .arg(kSampleSize)
               .arg(c, t);
  // Text against text in the database's collation: nothing is converted to a number, and a column
  // of another collation than the register's compares all the same. The distinct values are
  // grouped (GROUP BY takes the converted text of an ntext column, DISTINCT not its column).
  const QString value = column.large() ? QStringLiteral("CAST(%1 AS nvarchar(4000))").arg(c) : c;
  return QStringLiteral(
             "SELECT COUNT(*) AS n FROM (SELECT TOP %1 %2 AS v FROM %3 WHERE %4 IS NOT NULL GROUP BY %2) AS s WHERE "
             "s.v COLLATE DATABASE_DEFAULT IN (SELECT 工号 COLLATE DATABASE_DEFAULT FROM 员工档案)")
      .arg(kSampleSize)
      .arg(value, t, c);
}

// ---- The check ----------------------------------------------------------------------------------

namespace {

// The event a trigger of the embedded engine fires on: the word after BEFORE / AFTER / INSTEAD OF.
bool firesOnUpdate(const QString& sql) {
  bool afterName = false;
  for (const db::tsql::Token& t : db::tsql::tokenize(sql, false)) {
    if (!t.significant()) continue;
    if (t.isWord(u"TRIGGER")) afterName = true;
    if (!afterName) continue;
    if (t.isWord(u"UPDATE")) return true;
    if (t.isWord(u"INSERT") || t.isWord(u"DELETE")) return false;
  }
  return true;  // not understood: as if it did
}

// The columns in the order one operation rewrites them: its own list, then the columns it misses,
// then the added ones.
struct Order {
  QString operation;
  QHash<QString, int> position;  // by columnKey
};

template <class List>
Order orderOf(const QString& operation, const List& list, const std::vector<host::RefColumn>& all) {
  Order o{operation, {}};
  for (const host::RefColumn& c : list)
    o.position.insert(columnKey(c.tableName(), c.columnName()), int(o.position.size()));
  for (const host::RefColumn& c : all)
    if (!o.position.contains(columnKey(c.tableName(), c.columnName())))
      o.position.insert(columnKey(c.tableName(), c.columnName()), int(o.position.size()));
  return o;
}

class Checker {
 public:
  Checker(db::Database& database, const std::vector<added::AddedColumn>& addedColumns, const ops::Stepper& step)
      : database_(database), added_(addedColumns), step_(step) {}

  Report run() {
    step_(0, 0);
    catalogue_ = readCatalogue(database_);
    report_.sampleSize = kSampleSize;
    rewrittenColumns();
    report_.missing = missingFrom(catalogue_, host::builtInColumns());
    for (const added::AddedColumn& a : added_) {
      const CatalogueTable* table = catalogue_.find(a.table);
      if (!table || !table->column(a.column)) report_.missing.push_back({a.table, a.column, allOperations()});
    }
    declarations();
    foreignKeys();
    triggers();
    staying();
    unlisted();
    suspects();
    return std::move(report_);
  }

 private:
  db::Database& database_;
  const std::vector<added::AddedColumn>& added_;
  const ops::Stepper& step_;
  Catalogue catalogue_;
  Report report_;
  std::vector<host::RefColumn> all_;  // every column the tool rewrites
  QSet<QString> rewritten_;  // by columnKey of the unqualified name
  std::vector<Order> orders_;
  QSet<QString> cascaded_;  // tableKey(schema, table) + column: the database rewrites them itself

  void rewrittenColumns() {
    all_ = host::builtInColumns();
    for (const added::AddedColumn& a : added_) {
      // The names live as long as the check: added_ outlives it.
      addedNames_.push_back({a.table.toUtf8(), a.column.toUtf8()});
    }
    for (const auto& [table, column] : addedNames_) {
      const host::RefColumn ref{reinterpret_cast<const char8_t*>(table.constData()),
                                reinterpret_cast<const char8_t*>(column.constData()), u8""};
      if (!host::names(all_, ref)) all_.push_back(ref);
    }
    for (const host::RefColumn& c : all_) rewritten_ << columnKey(c.tableName(), c.columnName());
    orders_ = {orderOf(QStringLiteral("单个修改"), host::kSingleCascade, all_),
               orderOf(QStringLiteral("批量上传"), host::kBatchApply, all_),
               orderOf(QStringLiteral("无岗位处理"), host::kStaging, all_)};
  }
  std::vector<std::pair<QByteArray, QByteArray>> addedNames_;

  // Whether the column of that table (as the database names it) is one the tool rewrites: the
  // table is the one its unqualified name reaches.
  bool isRewritten(const QString& schema, const QString& table, const QString& column) const {
    const CatalogueTable* t = catalogue_.find(table);
    if (!t || (!schema.isEmpty() && t->schema.compare(schema, Qt::CaseInsensitive) != 0)) return false;
    return rewritten_.contains(columnKey(table, column));
  }
  QString shown(const QString& schema, const QString& table) const {
    const CatalogueTable* t = catalogue_.exact(schema, table);
    return t ? catalogue_.shownName(*t) : table;
  }

  void declarations() {
    const CatalogueTable* reg = catalogue_.find(QStringLiteral("员工档案"));
    const CatalogueColumn* number = reg ? reg->column(QStringLiteral("工号")) : nullptr;
    for (const host::RefColumn& c : all_) {
      const CatalogueTable* t = catalogue_.find(c.tableName());
      const CatalogueColumn* col = t ? t->column(c.columnName()) : nullptr;
      if (!col) continue;
      Rewritten r{t->name, col->name, *col, false};
      r.narrower = number && col->character() && col->width > 0 && (number->width == 0 || col->width < number->width);
      report_.rewritten.push_back(r);
    }
  }

  void foreignKeys() {
    for (db::Recordset rs = database_.open(foreignKeysSql(database_)); !rs.eof(); rs.moveNext()) {
      const QString schema = rs.text(QStringLiteral("TABLE_SCHEMA")), table = rs.text(QStringLiteral("TABLE_NAME"));
      const QString refSchema = rs.text(QStringLiteral("REF_SCHEMA")), refTable = rs.text(QStringLiteral("REF_TABLE"));
      ForeignKey k;
      k.name = rs.text(QStringLiteral("CONSTRAINT_NAME"));
      k.column = rs.text(QStringLiteral("COLUMN_NAME"));
      k.refColumn = rs.text(QStringLiteral("REF_COLUMN"));
      k.updateRule = rs.text(QStringLiteral("UPDATE_RULE")).toUpper();
      k.columnRewritten = isRewritten(schema, table, k.column);
      k.refRewritten = !refTable.isEmpty() && isRewritten(refSchema, refTable, k.refColumn);
      if (!k.columnRewritten && !k.refRewritten) continue;
      k.table = shown(schema, table);
      k.refTable = refTable.isEmpty() ? QString() : shown(refSchema, refTable);
      const bool cascade = k.updateRule == u"CASCADE";
      for (const Order& o : orders_) {
        // The referencing column rewritten first: the new number is not yet where it points.
        const bool early =
            k.columnRewritten && k.refRewritten &&
            o.position.value(columnKey(table, k.column)) < o.position.value(columnKey(refTable, k.refColumn));
        if ((k.refRewritten && !cascade) || early || !k.refRewritten) k.failing << o.operation;
      }
      const QString r = k.updateRule;
      if (k.refRewritten && (r == u"SET NULL" || r == u"SET DEFAULT")) k.failing.clear();  // nothing fails: it empties
      if (k.refRewritten && cascade && !k.columnRewritten)
        cascaded_ << tableKey(schema, table) + u'\n' + k.column.toCaseFolded();
      report_.foreignKeys.push_back(k);
    }
  }

  void triggers() {
    const bool server = database_.kind() == db::EngineKind::SqlServer;
    QSet<QString> rewrittenTables;
    for (const host::RefColumn& c : all_) rewrittenTables << c.tableName().toCaseFolded();
    for (db::Recordset rs = database_.open(triggersSql(database_)); !rs.eof(); rs.moveNext()) {
      const QString schema = rs.text(QStringLiteral("TABLE_SCHEMA")), table = rs.text(QStringLiteral("TABLE_NAME"));
      const CatalogueTable* t = catalogue_.find(table);
      if (table.isEmpty() || !rewrittenTables.contains(table.toCaseFolded()) || !t ||
          (!schema.isEmpty() && t->schema.compare(schema, Qt::CaseInsensitive) != 0))
        continue;
      Trigger g{rs.text(QStringLiteral("TRIGGER_NAME")), t->name, true, false};
      if (server) {
        g.onUpdate = rs.field(QStringLiteral("ON_UPDATE")).toInt() == 1;
        g.disabled = rs.field(QStringLiteral("DISABLED")).toInt() == 1;
      } else {
        g.onUpdate = firesOnUpdate(rs.text(QStringLiteral("TRIGGER_SQL")));
      }
      report_.triggers.push_back(g);
    }
  }

  bool has(const QString& table, const QString& column) const {
    const CatalogueTable* t = catalogue_.find(table);
    return t && t->column(column);
  }

  // Rows the renumbers leave under the old number by their column's condition.
  void staying() {
    if (!has(QStringLiteral("员工档案"), QStringLiteral("工号"))) return;
    for (const host::RefColumn& c : host::builtInColumns()) {
      if (c.extraCondition().isEmpty() || !has(c.tableName(), c.columnName()) ||
          !has(c.tableName(), conditionColumn(c.extraCondition())))
        continue;
      db::Recordset rs = database_.open(stayingSql(c));
      const qint64 rows = rs.eof() ? 0 : rs.field(QStringLiteral("n")).toLongLong();
      QString condition = c.extraCondition().trimmed();
      if (condition.startsWith(QStringLiteral("AND "), Qt::CaseInsensitive)) condition = condition.mid(4).trimmed();
      if (rows > 0) report_.staying.push_back({c.tableName(), c.columnName(), condition, rows});
    }
  }

  // Employees the batch listing leaves out for their position.
  void unlisted() {
    if (!has(QStringLiteral("员工档案"), QStringLiteral("工号")) ||
        !has(QStringLiteral("员工档案"), QStringLiteral("岗位编号")) ||
        !has(QStringLiteral("岗位信息new"), QStringLiteral("岗位代号")) ||
        !has(QStringLiteral("岗位信息new"), QStringLiteral("职能部门代号")) ||
        !has(QStringLiteral("职能部门new"), QStringLiteral("职能部门编号")))
      return;
    for (db::Recordset rs = database_.open(unlistedSql()); !rs.eof(); rs.moveNext())
      report_.unlisted.push_back({rs.text(QStringLiteral("工号")), rs.text(QStringLiteral("姓名")),
                                  rs.text(QStringLiteral("岗位编号")),
                                  rs.field(QStringLiteral("岗位存在")).toLongLong() != 0});
  }

  // Possibly missed: every column of every table that the tool does not rewrite (nor the database
  // through a cascading foreign key). Character columns are sampled; others are found by name only.
  void suspects() {
    QSet<QString> numberNames;
    for (const host::RefColumn& c : all_) numberNames << c.columnName().toCaseFolded();
    const bool registerThere = has(QStringLiteral("员工档案"), QStringLiteral("工号"));
    struct Candidate {
      const CatalogueTable* table;
      const CatalogueColumn* column;
      Suspect suspect;
    };
    std::vector<Candidate> candidates;
    for (const CatalogueTable& t : catalogue_.tables)
      for (const CatalogueColumn& c : t.columns) {
        if (isRewritten(t.schema, t.name, c.name) ||
            cascaded_.contains(tableKey(t.schema, t.name) + u'\n' + c.name.toCaseFolded()))
          continue;
        Suspect s;
        s.table = catalogue_.shownName(t);
        s.column = c.name;
        s.byName = numberNames.contains(c.name.toCaseFolded());
        s.type = c.declared();
        s.compared = registerThere && c.character();
        if (s.compared || s.byName) candidates.push_back({&t, &c, s});
      }
    const int toSample =
        int(std::count_if(candidates.begin(), candidates.end(), [](const Candidate& c) { return c.suspect.compared; }));
    int sampled = 0;
    for (Candidate& c : candidates) {
      Suspect& s = c.suspect;
      if (s.compared) {
        step_(sampled++, toSample);
        db::Recordset rs = database_.open(contentSql(database_, *c.table, *c.column));
        s.registerValues = rs.eof() ? 0 : rs.field(QStringLiteral("n")).toLongLong();
      }
      if (s.byName || s.registerValues >= kContentThreshold) report_.suspects.push_back(s);
    }
  }
};

}  // namespace

Report check(db::Database& database, const std::vector<added::AddedColumn>& addedColumns,
             const ops::Progress& progress) {
  const ops::Stepper step(progress, database);
  return step.run([&] { return Checker(database, addedColumns, step).run(); });
}

// ---- The report as text -------------------------------------------------------------------------

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
    for (const Suspect& s : suspects) out += QStringLiteral("  %1.%2  %3\n").arg(s.table, s.column, s.reason());
  }
  // The declarations of the rewritten columns, one line per kind, then those that are a problem.
  QStringList kinds;
  QHash<QString, int> perKind;
  for (const Rewritten& r : rewritten) {
    const QString kind =
        r.declared.declared() + (r.declared.collation.isEmpty() ? QString() : u' ' + r.declared.collation);
    if (!perKind.contains(kind)) kinds << kind;
    ++perKind[kind];
  }
  out += QStringLiteral("改写的列（%1列）：").arg(rewritten.size());
  QStringList counted;
  for (const QString& k : kinds) counted << QStringLiteral("%1 %2列").arg(k).arg(perKind[k]);
  out += (counted.isEmpty() ? QStringLiteral("无") : counted.join(QStringLiteral("，"))) + u'\n';
  if (const std::vector<Rewritten> bad = typeProblems(); !bad.empty()) {
    out += QStringLiteral("类型或宽度不符的改写列：\n");
    for (const Rewritten& r : bad) out += QStringLiteral("  %1.%2  %3\n").arg(r.table, r.column, r.reason());
  }
  if (!foreignKeys.empty()) {
    out += QStringLiteral("涉及改写列的外键：\n");
    for (const ForeignKey& k : foreignKeys)
      out += QStringLiteral("  %1%2.%3  %4\n")
                 .arg(k.name.isEmpty() ? QString() : k.name + QStringLiteral("："), k.table, k.column, k.reason());
  }
  if (!triggers.empty()) {
    out += QStringLiteral("改写的表上的触发器：\n");
    for (const Trigger& t : triggers) out += QStringLiteral("  %1（%2）  %3\n").arg(t.name, t.table, t.reason());
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
