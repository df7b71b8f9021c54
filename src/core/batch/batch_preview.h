#pragma once
// What the batch apply will do, before it is done: the columns it rewrites (its own list, then the
// columns the list misses with the administrator's added ones), the rows holding the old and the new
// numbers of the work list in each, and the exact texts the apply sends as a T-SQL script.
// Nothing here changes the database.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "core/batch/batch_ops.h"
#include "core/batch/batch_sql.h"
#include "core/preview/column_widths.h"
#include "core/preview/preview.h"

namespace session {
class Session;
}

namespace batch {

struct ApplyPreview {
  using Status = ApplyPlan::Status;  // as the apply's plan found it
  Status status = Status::Ready;
  Outcome outcome;  // CheckFailed: the manual check's outcome
  int staleRow = -1;  // Stale: the row (index from 0) and its old number
  QString staleOld;
  std::optional<preview::TooLong> tooLong;  // TooLong: the first such number and the narrowest column
  QString refused;  // the plan's refusal, as the apply reports it (CheckFailed: see refusalMessage)
  // Filled when Ready:
  preview::Impact impact;  // employees: one per row, in row order
  QStringList executions;
  QString caption;  // "员工工号统一修改 3人"
  QString script;
  QString fileName;  // a file name for the script
};

// The preview of applying rows: the apply's plan (planApply, asking nothing), then all columns are
// counted together for a slice of the numbers at a time (preview::impact): a thousand rows in at
// most 20 round trips. origin gives the script header's server, database and login; a time left
// null is now. Reads only. Throws db::DbError.
// Progress counts the columns counted (see preview::impact); a stop throws common::Cancelled.
ApplyPreview previewApply(session::Session& session, const Rows& rows, const preview::ScriptHeader& origin,
                          const common::Progress& progress = {});

// The reason a preview is refused, as the apply would report it ("" when Ready).
QString refusalMessage(const ApplyPreview& p);

}  // namespace batch
