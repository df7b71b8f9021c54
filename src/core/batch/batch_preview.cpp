#include "core/batch/batch_preview.h"

#include <algorithm>

#include <QHash>
#include <QSet>

#include "db/database.h"
#include "host/host_tables.h"
#include "core/batch/batch_ops.h"
#include "core/common/holders.h"
#include "core/common/number_key.h"
#include "core/session/session.h"

namespace batch {

namespace {

// Holders of the register, by the number's key (common::numberKey: the grid's twins are one number),
// as the database finds them for each number asked about.
struct Holders {
  qint64 count = 0;
  QString firstName;
};

QHash<QString, Holders> registerHolders(db::Database& database, const QStringList& numbers) {
  QHash<QString, Holders> out;
  const std::vector<common::RegisterHolders> held = common::registerHolders(database, numbers);
  for (qsizetype i = 0; i < numbers.size(); ++i)
    out.insert(common::numberKey(numbers[i]), {held[std::size_t(i)].employees, held[std::size_t(i)].firstName});
  return out;
}

}  // namespace

ApplyPreview previewApply(session::Session& session, const Rows& rows, const preview::ScriptHeader& origin,
                          const common::Progress& progress) {
  db::Database& database = session.database();
  ApplyPreview p;
  if (rows.empty()) {
    p.status = ApplyPreview::Status::NoRows;
    return p;
  }
  QStringList numbers;
  QSet<QString> seen;
  for (const Row& r : rows)
    for (const QString& n : {r.oldNo, r.newNo})
      if (!seen.contains(common::numberKey(n))) {
        seen.insert(common::numberKey(n));
        numbers << n;
      }
  QHash<QString, Holders> reg = registerHolders(database, numbers);

  // The apply's check first, on the register as read.
  p.outcome = manualCheck(rows, [&reg](const QString& number) -> std::optional<QString> {
    const auto it = reg.constFind(common::numberKey(number));
    if (it == reg.constEnd() || it->count == 0) return std::nullopt;
    return it->firstName;
  });
  if (p.outcome.status != Status::Passed) {
    p.status = ApplyPreview::Status::CheckFailed;
    return p;
  }
  // Then its count before every row, the earlier rows' renames applied.
  QHash<QString, qint64> counts;
  for (auto it = reg.cbegin(); it != reg.cend(); ++it) counts.insert(it.key(), it->count);
  // (A taken new number was refused by the check: what is left is an old number not held once.)
  if (const RefusedRow refused = firstRefusedRow(counts, rows); refused.row >= 0) {
    p.status = ApplyPreview::Status::Stale;
    p.staleRow = refused.row;
    p.staleOld = rows[std::size_t(refused.row)].oldNo;
    return p;
  }

  // As the apply refuses it, before its merge question: a new number a rewritten column cannot hold.
  if ((p.tooLong = newNumbersTooLong(session, rows))) {
    p.status = ApplyPreview::Status::TooLong;
    return p;
  }

  std::vector<preview::Pair> pairs;
  pairs.reserve(rows.size());
  for (const Row& r : rows) pairs.emplace_back(r.oldNo, r.newNo);
  p.impact = preview::impact(database, applyColumns(session.added()), pairs, progress);
  p.executions = applyChange(rows, session.added()).executions;  // what the apply sends
  p.caption = QStringLiteral("员工工号统一修改 %1人").arg(qulonglong(rows.size()));
  preview::ScriptHeader header = origin;
  if (header.time.isNull()) header.time = QDateTime::currentDateTime();
  header.operation = p.caption;
  p.script = preview::script(header, p.impact, p.executions);
  p.fileName = QStringLiteral("员工工号统一修改_") + header.time.toString(QStringLiteral("yyyyMMdd_HHmmss")) +
               QStringLiteral(".sql");
  return p;
}

QString refusalMessage(const ApplyPreview& p) {
  switch (p.status) {
    case ApplyPreview::Status::NoRows: return QStringLiteral("没有要修改的员工");
    case ApplyPreview::Status::Stale: return staleMessage(p.staleRow + 1, p.staleOld);
    case ApplyPreview::Status::TooLong: return preview::tooLongMessage(*p.tooLong);
    case ApplyPreview::Status::CheckFailed:
      switch (p.outcome.status) {
        case Status::Empty: return emptyMessage(p.outcome.row + 1);
        case Status::Refused: return refusedMessage(p.outcome.row + 1, p.outcome.refused);
        case Status::Taken: return takenMessage(p.outcome.holderName);
        case Status::Duplicate:
          return QStringLiteral("第%1行与第%2行的新工号相同").arg(p.outcome.row + 1).arg(p.outcome.otherRow + 1);
        case Status::Passed: break;
      }
      break;
    case ApplyPreview::Status::Ready: break;
  }
  return QString();
}

}  // namespace batch
