#include "core/dbcheck/dbcheck_ops.h"

#include <QSet>
#include <algorithm>
#include <array>
#include <optional>

#include "db/database.h"
#include "db/tsql_tokens.h"
#include "host/host_schema.h"

namespace dbcheck {

namespace {

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

QString Rewritten::collationReason() const {
  return QStringLiteral(
             "排序规则%1与员工档案.工号的%2不同：与工号列比较时数据库报排序规则冲突（Msg 468），或按另一种规则判断工号"
             "是否相同")
      .arg(declared.collation, registerCollation);
}

QString Rewritten::unwritableReason() const {
  return (computed ? QStringLiteral("计算列") : QStringLiteral("标识列（IDENTITY）")) +
         QStringLiteral("：数据库不允许改写它，修改工号会失败并全部撤销");
}

QString Rewritten::unindexedReason() const {
  return QStringLiteral("没有以此列开头的索引：每次修改工号都要扫描整张表，扫描期间持有锁，其他程序要等待");
}

QString CheckConstraint::reason() const {
  return QStringLiteral("CHECK %1：").arg(definition) +
         (disabled ? QStringLiteral("已停用，修改工号时数据库不检查它")
                   : QStringLiteral("新工号不满足此条件时修改会失败并全部撤销"));
}

QString Unreadable::reason() const { return QStringLiteral("无法读取：") + error; }

QString ForeignKey::reason() const {
  const QString ref = refTable.isEmpty() ? QStringLiteral("（未知的列）") : refTable + u'.' + refColumn;
  if (disabled)
    return QStringLiteral("已停用（引用%1）：修改工号时数据库既不检查它，也不随之改写%2.%3").arg(ref, table, column);
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
  if (insteadOf)
    return QStringLiteral("INSTEAD OF触发器：%1的更新由它代替执行，修改工号时数据库不直接改写这张表，工号可能没有改变")
        .arg(table);
  return QStringLiteral("%1的记录更新时运行：修改工号时它也运行，它的改写一并提交，它报错时修改失败并全部撤销")
      .arg(table);
}

std::vector<Rewritten> Report::rewrittenWhere(bool (Rewritten::*predicate)() const) const {
  std::vector<Rewritten> out;
  std::copy_if(rewritten.begin(), rewritten.end(), std::back_inserter(out),
               [&](const Rewritten& r) { return (r.*predicate)(); });
  return out;
}

std::vector<Trigger> Report::triggerProblems() const {
  std::vector<Trigger> out;
  std::copy_if(triggers.begin(), triggers.end(), std::back_inserter(out), [](const Trigger& t) { return t.problem(); });
  return out;
}

std::vector<ForeignKey> Report::keyProblems() const {
  std::vector<ForeignKey> out;
  std::copy_if(foreignKeys.begin(), foreignKeys.end(), std::back_inserter(out),
               [](const ForeignKey& k) { return k.problem(); });
  return out;
}

bool Report::ok() const {
  return missing.empty() && suspects.empty() && unreadable.empty() && rewrittenWhere(&Rewritten::problem).empty() &&
         keyProblems().empty() && triggerProblems().empty();
}

QString Report::sampleNote() const { return QStringLiteral("内容检查对每列抽样最多%1行").arg(sampleRows); }

// ---- Statements ---------------------------------------------------------------------------------

namespace {

// "(SELECT 工号 FROM 员工档案)" compared with expression, both under the database's default collation.
QString inRegister(db::Database& database, const QString& expression) {
  return db::inDefaultCollation(database, expression) + QStringLiteral(" IN (SELECT ") +
         db::inDefaultCollation(database, QStringLiteral("工号")) + QStringLiteral(" FROM 员工档案)");
}

}  // namespace

QString stayingSql(db::Database& database, const std::vector<host::RefColumn>& columns) {
  QStringList parts;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    const host::RefColumn& column = columns[k];
    const QString all = QStringLiteral("SELECT COUNT(*) FROM ") + column.tableSql() + QStringLiteral(" WHERE ") +
                        inRegister(database, column.columnSql());
    parts << QStringLiteral("SELECT %1 AS 列, (").arg(k) + all + QStringLiteral(") - (") + all +
                 column.extraCondition() + QStringLiteral(") AS n");
  }
  return parts.join(QStringLiteral(" UNION ALL "));
}

QString unlistedSql(db::Database& database) {
  const auto c = [&](const QString& column) { return db::inDefaultCollation(database, column); };
  return QStringLiteral("SELECT 工号, 姓名, 岗位编号, CASE WHEN ") + c(QStringLiteral("岗位编号")) +
         QStringLiteral(" IN (SELECT ") + c(QStringLiteral("岗位代号")) +
         QStringLiteral(
             " FROM 岗位信息new) THEN 1 ELSE 0 END AS 岗位存在 FROM 员工档案 WHERE 岗位编号 IS NOT NULL AND ") +
         c(QStringLiteral("岗位编号")) + QStringLiteral(" NOT IN (SELECT ") +
         c(QStringLiteral("岗位信息new.岗位代号")) + QStringLiteral(" FROM 岗位信息new INNER JOIN 职能部门new ON ") +
         c(QStringLiteral("岗位信息new.职能部门代号")) + QStringLiteral(" = ") +
         c(QStringLiteral("职能部门new.职能部门编号")) +
         QStringLiteral(" WHERE 岗位信息new.岗位代号 IS NOT NULL) ORDER BY len(工号), 工号");
}

QString contentSql(db::Database& database, const std::vector<SampledColumn>& columns) {
  QStringList parts;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    // Text against text in one collation: nothing is converted to a number, and a column of another
    // collation than the register's compares all the same. The rows are the first ones read, not
    // grouped, so no whole table is read; their distinct values are counted.
    parts << QStringLiteral("SELECT %1 AS 列, COUNT(DISTINCT s.v) AS n FROM (").arg(k) +
                 db::firstValuesSql(database, *columns[k].table, *columns[k].column, kSampleRows) +
                 QStringLiteral(") AS s WHERE ") + inRegister(database, QStringLiteral("s.v"));
  }
  return db::engineStatement(database, parts.join(QStringLiteral(" UNION ALL ")));
}

// ---- The check ----------------------------------------------------------------------------------

namespace {

using db::tsql::Kind;

// Whether a CHECK constraint's condition names the column (as a word or a quoted name).
bool namesColumn(const QString& definition, const QString& column) {
  for (const db::tsql::Token& t : db::tsql::tokenize(definition, false)) {
    if (t.kind == Kind::Word && t.text.compare(column, Qt::CaseInsensitive) == 0) return true;
    if (t.kind == Kind::QuotedName &&
        (t.text.compare(db::bracketedName(column), Qt::CaseInsensitive) == 0 ||
         t.text.compare(u'"' + QString(column).replace(u'"', QStringLiteral("\"\"")) + u'"', Qt::CaseInsensitive) == 0))
      return true;
  }
  return false;
}

// Sent when a read failed for another reason than a lock: whether the connection still answers.
const QString kProbeSql = QStringLiteral("SELECT 1 AS n");

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
  Checker(db::Database& database, const std::vector<common::added::AddedColumn>& addedColumns,
          const common::Stepper& step)
      : database_(database), added_(addedColumns), step_(step) {}

  Report run() {
    step_(0, 0);
    catalogue_ = db::readCatalogue(database_);
    report_.sampleRows = kSampleRows;
    rewrittenColumns();
    report_.missing = common::missingFrom(catalogue_, host::builtInColumns());
    for (const common::added::AddedColumn& a : added_) {
      const db::CatalogueTable* table = catalogue_.find(a.table);
      if (!table || !table->column(a.column)) report_.missing.push_back({a.table, a.column, common::allOperations()});
    }
    declarations();
    foreignKeys();
    checks();
    triggers();
    staying();
    unlisted();
    suspects();
    return std::move(report_);
  }

 private:
  db::Database& database_;
  const std::vector<common::added::AddedColumn>& added_;
  const common::Stepper& step_;
  db::Catalogue catalogue_;
  Report report_;
  std::vector<host::RefColumn> all_;  // every column the tool rewrites
  QSet<QString> rewritten_;  // by columnKey of the unqualified name
  std::vector<Order> orders_;
  QSet<QString> cascaded_;  // tableKey(schema, table) + column: the database rewrites them itself

  void rewrittenColumns() {
    all_ = host::builtInColumns();
    for (const common::added::AddedColumn& a : added_) {
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
    const db::CatalogueTable* t = catalogue_.find(table);
    if (!t || (!schema.isEmpty() && t->schema.compare(schema, Qt::CaseInsensitive) != 0)) return false;
    return rewritten_.contains(columnKey(table, column));
  }
  QString shown(const QString& schema, const QString& table) const {
    const db::CatalogueTable* t = catalogue_.exact(schema, table);
    return t ? catalogue_.shownName(*t) : table;
  }

  // ---- Reads of the tables' rows: a column that cannot be read is noted, the check goes on ----

  // Runs a read of rows; false with *failure when it failed over what it reads (a lock another
  // program holds, a value that does not convert). A stop, or a connection that no longer answers,
  // is thrown: it ends the check.
  template <class Read>
  bool tried(Read&& read, std::optional<db::DbError>* failure) {
    try {
      read();
      return true;
    } catch (const db::DbError& e) {
      if (e.cause() == db::Cause::Stopped || step_.stopped() || !(e.heldByOtherProgram() || answers())) throw;
      *failure = e;
      return false;
    }
  }
  bool answers() {
    try {
      database_.open(kProbeSql);
      return true;
    } catch (const db::DbError&) {
      return false;
    }
  }

  // One count per column, kColumnsPerStatement columns to a statement (sql(columns) joins their
  // reads, each row naming its column's place as 列): take(index, n). A statement that fails is read
  // again column by column, and a column that fails alone is unreadable (named(item) gives its
  // table and column); after a lock time-out the table's other columns are not waited on again.
  template <class Item, class Sql, class Named, class Take>
  void readColumns(const std::vector<Item>& items, Sql sql, Named named, Take take, bool stepped) {
    const auto read = [&](const std::vector<Item>& part, std::size_t from, std::optional<db::DbError>* failure) {
      return tried(
          [&] {
            for (db::Recordset rs = database_.open(sql(part)); !rs.eof(); rs.moveNext()) {
              const qint64 k = rs.field(QStringLiteral("列")).toLongLong();
              if (k >= 0 && std::size_t(k) < part.size())
                take(from + std::size_t(k), rs.field(QStringLiteral("n")).toLongLong());
            }
          },
          failure);
    };
    QHash<QString, QString> held;  // by case-folded table: the database's text of its lock time-out
    for (std::size_t from = 0; from < items.size(); from += kColumnsPerStatement) {
      if (stepped) step_(int(from), int(items.size()));
      const std::size_t to = std::min(items.size(), from + std::size_t(kColumnsPerStatement));
      std::optional<db::DbError> failure;
      if (read(std::vector<Item>(items.begin() + qsizetype(from), items.begin() + qsizetype(to)), from, &failure))
        continue;
      for (std::size_t k = from; k < to; ++k) {
        const auto [table, column] = named(items[k]);
        if (const auto h = held.constFind(table.toCaseFolded()); h != held.cend()) {
          report_.unreadable.push_back({table, column, *h});
          continue;
        }
        std::optional<db::DbError> alone;
        if (read({items[k]}, k, &alone)) continue;
        report_.unreadable.push_back({table, column, alone->text()});
        if (alone->heldByOtherProgram()) held.insert(table.toCaseFolded(), alone->text());
      }
    }
    if (stepped && !items.empty()) step_(int(items.size()), int(items.size()));
  }

  // ---- Declarations, keys, constraints and triggers ---------------------------------------------

  struct Properties {
    bool computed = false, identity = false, indexed = true;
  };

  // Whether each rewritten column is computed, an identity, and the first column of an index.
  QHash<QString, Properties> properties() {
    QHash<QString, Properties> out;  // by tableKey + column
    QStringList tables;
    QSet<QString> seen;
    for (const host::RefColumn& c : all_)
      if (const db::CatalogueTable* t = catalogue_.find(c.tableName()); t && !seen.contains(t->name.toCaseFolded())) {
        seen << t->name.toCaseFolded();
        tables << t->name;
      }
    for (const db::ColumnProperties& c : db::readColumnProperties(database_, tables))
      out.insert(db::tableKey(c.schema, c.table) + u'\n' + c.column.toCaseFolded(),
                 {c.computed, c.identity, c.indexed});
    return out;
  }

  void declarations() {
    const QHash<QString, Properties> props = properties();
    const db::CatalogueTable* reg = catalogue_.find(QStringLiteral("员工档案"));
    const db::CatalogueColumn* number = reg ? reg->column(QStringLiteral("工号")) : nullptr;
    for (const host::RefColumn& c : all_) {
      const db::CatalogueTable* t = catalogue_.find(c.tableName());
      const db::CatalogueColumn* col = t ? t->column(c.columnName()) : nullptr;
      if (!col) continue;
      Rewritten r;
      r.table = t->name;
      r.column = col->name;
      r.declared = *col;
      r.narrower = number && col->character() && col->width > 0 && (number->width == 0 || col->width < number->width);
      if (number && col != number && col->character() && number->character() && !col->collation.isEmpty() &&
          !number->collation.isEmpty() && col->collation.compare(number->collation, Qt::CaseInsensitive) != 0)
        r.registerCollation = number->collation;
      const Properties p = props.value(db::tableKey(t->schema, t->name) + u'\n' + col->name.toCaseFolded());
      r.computed = p.computed;
      r.identity = p.identity;
      r.indexed = p.indexed;
      report_.rewritten.push_back(r);
    }
  }

  void foreignKeys() {
    for (const db::ForeignKeyColumn& f : db::readForeignKeys(database_)) {
      const QString &schema = f.schema, &table = f.table, &refSchema = f.refSchema, &refTable = f.refTable;
      ForeignKey k;
      k.name = f.name;
      k.column = f.column;
      k.refColumn = f.refColumn;
      k.updateRule = f.updateRule;
      k.disabled = f.disabled;
      k.columnRewritten = isRewritten(schema, table, k.column);
      k.refRewritten = !refTable.isEmpty() && isRewritten(refSchema, refTable, k.refColumn);
      if (!k.columnRewritten && !k.refRewritten) continue;
      k.table = shown(schema, table);
      k.refTable = refTable.isEmpty() ? QString() : shown(refSchema, refTable);
      if (!k.disabled) {  // a disabled key is neither checked nor followed: nothing fails, nothing cascades
        const bool cascade = k.updateRule == u"CASCADE";
        for (const Order& o : orders_) {
          // The referencing column rewritten first: the new number is not yet where it points.
          const bool early =
              k.columnRewritten && k.refRewritten &&
              o.position.value(columnKey(table, k.column)) < o.position.value(columnKey(refTable, k.refColumn));
          if ((k.refRewritten && !cascade) || early || !k.refRewritten) k.failing << o.operation;
        }
        const QString r = k.updateRule;
        if (k.refRewritten && (r == u"SET NULL" || r == u"SET DEFAULT"))
          k.failing.clear();  // nothing fails: it empties
        if (k.refRewritten && cascade && !k.columnRewritten)
          cascaded_ << db::tableKey(schema, table) + u'\n' + k.column.toCaseFolded();
      }
      report_.foreignKeys.push_back(k);
    }
  }

  // The CHECK constraints on rewritten columns: declared with the column or naming it.
  void checks() {
    for (const db::CheckConstraint& c : db::readChecks(database_, catalogue_))
      if (const db::CatalogueTable* t = catalogue_.exact(c.schema, c.table))
        checkOn(*t, c.name, c.column, c.definition, c.disabled);
  }
  void checkOn(const db::CatalogueTable& t, const QString& name, const QString& column, const QString& definition,
               bool disabled) {
    for (const db::CatalogueColumn& c : t.columns)
      if (isRewritten(t.schema, t.name, c.name) &&
          (c.name.compare(column, Qt::CaseInsensitive) == 0 || namesColumn(definition, c.name)))
        report_.checks.push_back({name, catalogue_.shownName(t), c.name, definition, disabled});
  }

  void triggers() {
    QSet<QString> rewrittenTables;
    for (const host::RefColumn& c : all_) rewrittenTables << c.tableName().toCaseFolded();
    for (const db::TableTrigger& r : db::readTriggers(database_)) {
      const db::CatalogueTable* t = catalogue_.find(r.table);
      if (r.table.isEmpty() || !rewrittenTables.contains(r.table.toCaseFolded()) || !t ||
          (!r.schema.isEmpty() && t->schema.compare(r.schema, Qt::CaseInsensitive) != 0))
        continue;
      Trigger g;
      g.name = r.name;
      g.table = t->name;
      g.onUpdate = r.onUpdate;
      g.disabled = r.disabled;
      g.insteadOf = r.insteadOf;
      report_.triggers.push_back(g);
    }
  }

  bool has(const QString& table, const QString& column) const {
    const db::CatalogueTable* t = catalogue_.find(table);
    return t && t->column(column);
  }

  // ---- Rows ---------------------------------------------------------------------------------------

  // Rows the renumbers leave under the old number by their column's condition.
  void staying() {
    if (!has(QStringLiteral("员工档案"), QStringLiteral("工号"))) return;
    std::vector<host::RefColumn> columns;
    for (const host::RefColumn& c : host::builtInColumns())
      if (!c.extraCondition().isEmpty() && has(c.tableName(), c.columnName()) &&
          has(c.tableName(), common::conditionColumn(c.extraCondition())))
        columns.push_back(c);
    std::vector<qint64> rows(columns.size(), 0);
    readColumns(
        columns, [&](const std::vector<host::RefColumn>& part) { return stayingSql(database_, part); },
        [](const host::RefColumn& c) {
          return std::pair{c.tableName(), c.columnName()};
        },
        [&](std::size_t k, qint64 n) { rows[k] = n; }, false);
    for (std::size_t k = 0; k < columns.size(); ++k) {
      const host::RefColumn& c = columns[k];
      if (rows[k] > 0)
        report_.staying.push_back({c.tableName(), c.columnName(), host::shownCondition(c.extraCondition()), rows[k]});
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
    std::vector<Unlisted> found;
    std::optional<db::DbError> failure;
    const bool read = tried(
        [&] {
          found.clear();
          for (db::Recordset rs = database_.open(unlistedSql(database_)); !rs.eof(); rs.moveNext())
            found.push_back({rs.text(QStringLiteral("工号")), rs.text(QStringLiteral("姓名")),
                             rs.text(QStringLiteral("岗位编号")),
                             rs.field(QStringLiteral("岗位存在")).toLongLong() != 0});
        },
        &failure);
    if (read)
      report_.unlisted = std::move(found);
    else
      report_.unreadable.push_back({QStringLiteral("员工档案"), QStringLiteral("岗位编号"), failure->text()});
  }

  // Possibly missed: every column of every table that the tool does not rewrite (nor the database
  // through a cascading foreign key). Character columns are sampled; others are found by name only.
  void suspects() {
    QSet<QString> numberNames;
    for (const host::RefColumn& c : all_) numberNames << c.columnName().toCaseFolded();
    const bool registerThere = has(QStringLiteral("员工档案"), QStringLiteral("工号"));
    std::vector<Suspect> candidates;
    std::vector<SampledColumn> sampled;
    std::vector<std::size_t> candidateOf;  // per sampled column
    for (const db::CatalogueTable& t : catalogue_.tables)
      for (const db::CatalogueColumn& c : t.columns) {
        if (isRewritten(t.schema, t.name, c.name) ||
            cascaded_.contains(db::tableKey(t.schema, t.name) + u'\n' + c.name.toCaseFolded()))
          continue;
        Suspect s;
        s.table = catalogue_.shownName(t);
        s.column = c.name;
        s.byName = numberNames.contains(c.name.toCaseFolded());
        s.type = c.declared();
        s.compared = registerThere && c.character();
        if (!s.compared && !s.byName) continue;
        if (s.compared) {
          sampled.push_back({&t, &c});
          candidateOf.push_back(candidates.size());
        }
        candidates.push_back(s);
      }
    readColumns(
        sampled, [&](const std::vector<SampledColumn>& part) { return contentSql(database_, part); },
        [&](const SampledColumn& c) {
          return std::pair{catalogue_.shownName(*c.table), c.column->name};
        },
        [&](std::size_t k, qint64 n) { candidates[candidateOf[k]].registerValues = n; }, true);
    for (const Suspect& s : candidates)
      if (s.byName || s.registerValues >= kContentThreshold) report_.suspects.push_back(s);
  }
};

}  // namespace

Report check(db::Database& database, const std::vector<common::added::AddedColumn>& addedColumns,
             const common::Progress& progress) {
  const common::Stepper step(progress, database);
  return step.run([&] { return Checker(database, addedColumns, step).run(); });
}

// ---- The report as text -------------------------------------------------------------------------

QString Report::text() const {
  QString out;
  if (missing.empty()) {
    out += QStringLiteral("缺少的表或列：无\n");
  } else {
    out += QStringLiteral("缺少的表或列（修改工号时会出错并回滚）：\n");
    for (const common::Missing& m : missing)
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
  const auto columns = [&](const QString& title, bool (Rewritten::*predicate)() const,
                           QString (Rewritten::*reasonOf)() const) {
    const std::vector<Rewritten> found = rewrittenWhere(predicate);
    if (found.empty()) return;
    out += title + u'\n';
    for (const Rewritten& r : found) out += QStringLiteral("  %1.%2  %3\n").arg(r.table, r.column, (r.*reasonOf)());
  };
  columns(QStringLiteral("类型或宽度不符的改写列："), &Rewritten::typeProblem, &Rewritten::reason);
  columns(QStringLiteral("排序规则与员工档案.工号不同的改写列："), &Rewritten::otherCollation,
          &Rewritten::collationReason);
  columns(QStringLiteral("不能改写的列（计算列或标识列）："), &Rewritten::unwritable, &Rewritten::unwritableReason);
  columns(QStringLiteral("没有索引的改写列："), &Rewritten::unindexed, &Rewritten::unindexedReason);
  if (!checks.empty()) {
    out += QStringLiteral("涉及改写列的CHECK约束：\n");
    for (const CheckConstraint& c : checks)
      out += QStringLiteral("  %1%2.%3  %4\n")
                 .arg(c.name.isEmpty() ? QString() : c.name + QStringLiteral("："), c.table, c.column, c.reason());
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
  if (!unreadable.empty()) {
    out += QStringLiteral("无法读取的列（检查跳过了它们）：\n");
    for (const Unreadable& u : unreadable) out += QStringLiteral("  %1.%2  %3\n").arg(u.table, u.column, u.reason());
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
  out += QStringLiteral("（") + sampleNote() + QStringLiteral("）\n");
  return out;
}

}  // namespace dbcheck
