#pragma once
// What a single renumber will do, before it is done: the columns it rewrites (built-in and added),
// the exact texts it sends, and the impact preview with its T-SQL script. The renumber itself
// builds what it sends from renumberExecutions, so the preview and the change cannot drift apart.
// Nothing here changes the database.
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>
#include <vector>

#include "core/preview/column_widths.h"
#include "core/preview/preview.h"
#include "core/single/single_ops.h"
#include "core/single/single_sql.h"

namespace session {
class Session;
}

namespace single {

struct RenumberPreview {
  using Status = RenumberPlan::Status;  // as the renumber's plan found it
  Status status = Status::Ready;
  qint64 oldNumberHolders = 0;  // employees of the register holding the old number
  QString oldNumber, newNumber;  // newNumber: with automatic numbering, the first free one
  std::optional<SerialUpdate> serial;
  std::optional<preview::TooLong> tooLong;  // TooLong: the narrowest column that cannot hold it
  // Filled when Ready:
  preview::Impact impact;
  QStringList executions;
  QString caption;  // "修改工号 0012 -> 3001"
  QString script;
  QString fileName;  // a file name for the script
};

// The preview of renumbering oldNumber to newNumber: the renumber's plan (planRenumber, asking
// nothing), then the impact of its pair and its executions. origin gives the script header's
// server, database and login; a time left null is now. Reads only. Throws db::DbError.
RenumberPreview previewRenumber(session::Session& session, const QString& oldNumber, const QString& newNumber,
                                const std::optional<AutoNumbering>& automatic, const preview::ScriptHeader& origin);

// The reason a preview is refused, for messages outside the window ("" when Ready).
QString refusalMessage(const RenumberPreview& p);

}  // namespace single
