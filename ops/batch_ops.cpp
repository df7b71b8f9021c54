#include "ops/batch_ops.h"

#include <QSet>
#include <optional>

#include "db/database.h"
#include "host/host_tables.h"
#include "ops/holders.h"
#include "ops/rule_store.h"

namespace batch {

namespace {
qint64 count(db::Database& database, const QString& sql) {
  db::Recordset rs = database.open(sql);
  return rs.eof() ? 0 : rs.field(QStringLiteral("人数")).toLongLong();
}
}  // namespace

std::vector<RuleEntry> ruleEntries(db::Database& database) {
  std::vector<RuleEntry> out;
  for (const rules::RuleListEntry& rule : rules::listRules(database))
    out.push_back({rule.categoryCode + u' ' + rule.name, rule.categoryCode});
  return out;
}

Listing listRule(db::Database& database, const QString& categoryCode, bool oncePerNumber) {
  Listing out;
  {
    db::Recordset rs = database.open(listingSql(categoryCode));
    std::optional<QString> previous;
    for (; !rs.eof(); rs.moveNext()) {
      const bool numberNull = rs.isNull(QStringLiteral("工号"));
      const QString number = rs.text(QStringLiteral("工号"));
      if (oncePerNumber && !numberNull && previous == number) continue;
      out.rows.push_back({number, rs.text(QStringLiteral("姓名")),
                          rs.text(QStringLiteral("职能部门编号")) + u' ' + rs.text(QStringLiteral("职能部门名称")),
                          rs.text(QStringLiteral("岗位代号")) + u' ' + rs.text(QStringLiteral("岗位名称"))});
      if (oncePerNumber) previous = numberNull ? std::nullopt : std::optional<QString>(number);
    }
  }
  out.unlisted = count(database, unlistedCountSql(categoryCode));
  return out;
}

RegisterLookup registerLookup(db::Database& database) {
  return [&database](const QString& number) -> std::optional<QString> {
    db::Recordset rs = database.open(registerLookupSql(number));
    if (rs.eof()) return std::nullopt;
    return rs.text(QStringLiteral("姓名"));
  };
}

Outcome checkRows(db::Database& database, Rows& rows, bool automatic) {
  const RegisterLookup lookup = registerLookup(database);
  return automatic ? autoResolve(rows, lookup) : manualCheck(rows, lookup);
}

std::vector<HeldNumber> heldElsewhere(db::Database& database, const Rows& rows) {
  QStringList numbers;
  QSet<QString> seen;
  for (const Row& r : rows)
    if (r.newNo != r.oldNo && !seen.contains(r.newNo)) {
      seen.insert(r.newNo);
      numbers << r.newNo;
    }
  const std::vector<ops::Holding> holdings = ops::holdings(database, host::allColumns(), numbers);
  std::vector<HeldNumber> out;
  for (const QString& n : numbers)
    if (const QString tables = ops::holdingsText(holdings, n); !tables.isEmpty()) out.push_back({n, tables});
  return out;
}

ApplyResult applyRows(db::Database& database, const Rows& rows) {
  db::Transaction tx(database);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    try {
      if (count(database, registerCountSql(row.oldNo)) != 1) return {int(i), row.oldNo};  // rolled back
      database.execute(applyBatch(row.oldNo, row.newNo));
    } catch (const db::DbError& e) {
      throw db::DbError(e.text() + QStringLiteral("\n第%1行 原工号 %2 新工号 %3").arg(i + 1).arg(row.oldNo, row.newNo));
    }
  }
  tx.commit();
  return {};
}

qint64 noPositionCount(db::Database& database) { return count(database, noPositionCountSql()); }

void stageNoPosition(db::Database& database) {
  db::Transaction tx(database);
  database.executeScript(stagingScript());
  tx.commit();
}

}  // namespace batch
