#include "core/batch/batch_preview.h"

#include "core/batch/batch_ops.h"
#include "core/session/session.h"

namespace batch {

ApplyPreview previewApply(session::Session& session, const Rows& rows, const preview::ScriptHeader& origin,
                          const common::Progress& progress) {
  // The apply's own plan: its check, its counts before every row and its width check, its change.
  ApplyPlan plan = planApply(session, rows, Purpose::Preview);
  ApplyPreview p;
  p.status = plan.status;
  p.outcome = plan.outcome;
  p.staleRow = plan.staleRow;
  p.staleOld = plan.staleOld;
  p.tooLong = plan.tooLong;
  if (plan.refusal) {
    p.refused = plan.refusal->text;
    return p;
  }
  std::vector<preview::Pair> pairs;
  pairs.reserve(rows.size());
  for (const Row& r : rows) pairs.emplace_back(r.oldNo, r.newNo);
  p.impact = preview::impact(session.database(), applyColumns(session.added()), pairs, progress);
  p.executions = std::move(plan.change.executions);  // what the apply sends
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
  if (p.status != ApplyPreview::Status::CheckFailed) return p.refused;
  switch (p.outcome.status) {
    case Status::Empty: return emptyMessage(p.outcome.row + 1);
    case Status::Refused: return refusedMessage(p.outcome.row + 1, p.outcome.refused);
    case Status::Taken: return takenMessage(p.outcome.holderName);
    case Status::Duplicate:
      return QStringLiteral("第%1行与第%2行的新工号相同").arg(p.outcome.row + 1).arg(p.outcome.otherRow + 1);
    case Status::Passed: break;
  }
  return QString();
}

}  // namespace batch
