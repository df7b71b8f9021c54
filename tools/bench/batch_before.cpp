#include "tools/bench/batch_before.h"

#include "db/database.h"
#include "host/host_tables.h"
#include "core/common/holders.h"

namespace batch::oneByOne {

std::vector<HeldNumber> heldElsewhere(db::Database& database, const Rows& rows) {
  const QStringList numbers = changedNewNumbers(rows);
  const std::vector<common::Holding> holdings = common::holdings(database, host::allColumns({}), numbers);
  std::vector<HeldNumber> out;
  for (const QString& n : numbers)
    if (const QString tables = common::holdingsText(holdings, n); !tables.isEmpty()) out.push_back({n, tables});
  return out;
}

Apply apply(db::Database& database, const Rows& rows) {
  Apply out;
  out.check = manualCheck(rows, registerLookup(database));
  if (out.check.status != Status::Passed) return out;
  out.held = oneByOne::heldElsewhere(database, rows);
  db::Transaction tx(database);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& row = rows[i];
    try {
      db::Recordset rs = database.open(registerCountSql(row.oldNo));
      if ((rs.eof() ? 0 : rs.field(QStringLiteral("人数")).toLongLong()) != 1) {
        out.result.staleRow = int(i);
        out.result.staleOld = row.oldNo;
        return out;  // the transaction rolls back
      }
      database.execute(applyBatch(row.oldNo, row.newNo, {}));
    } catch (const db::DbError& e) {
      throw db::DbError(e.text() + QStringLiteral("\n第%1行 原工号 %2 新工号 %3").arg(i + 1).arg(row.oldNo, row.newNo));
    }
  }
  tx.commit();
  return out;
}

}  // namespace batch::oneByOne
