#include "core/single/single_preview.h"

#include "db/database.h"
#include "core/preview/column_widths.h"
#include "core/session/session.h"
#include "core/single/single_sql.h"

namespace single {

namespace {

// A file name from any numbers: signs a file system may refuse become "_".
QString fileNamePart(const QString& number) {
  QString out;
  for (QChar ch : number) out += ch.isLetterOrNumber() || ch == u'-' ? ch : u'_';
  return out;
}

}  // namespace

RenumberPreview previewRenumber(session::Session& session, const QString& oldNumber, const QString& newNumber,
                                const std::optional<AutoNumbering>& automatic, const preview::ScriptHeader& origin) {
  const RenumberPlan plan = planRenumber(session, oldNumber, newNumber, automatic, Purpose::Preview);
  RenumberPreview p;
  p.status = plan.status;
  p.oldNumberHolders = plan.oldNumberHolders;
  p.oldNumber = plan.oldNumber;
  p.newNumber = plan.newNumber;
  p.serial = plan.serial;
  p.tooLong = plan.tooLong;
  if (!plan.ready()) return p;
  p.impact = preview::impact(session.database(), renumberColumns(session.added()), {{p.oldNumber, p.newNumber}});
  p.executions = plan.change.executions;  // what the renumber sends
  p.caption = QStringLiteral("修改工号 ") + p.oldNumber + QStringLiteral(" -> ") + p.newNumber;
  preview::ScriptHeader header = origin;
  if (header.time.isNull()) header.time = QDateTime::currentDateTime();
  header.operation = p.caption;
  p.script = preview::script(header, p.impact, p.executions);
  p.fileName = QStringLiteral("修改工号_") + fileNamePart(p.oldNumber) + QStringLiteral("_") +
               fileNamePart(p.newNumber) + QStringLiteral(".sql");
  return p;
}

QString refusalMessage(const RenumberPreview& p) {
  switch (p.status) {
    case RenumberPreview::Status::OldNumberGone:
      if (p.oldNumberHolders == 0) return QStringLiteral("原工号") + p.oldNumber + QStringLiteral("不在员工档案中");
      return QStringLiteral("员工档案中有%1个员工的工号是%2，不能修改").arg(p.oldNumberHolders).arg(p.oldNumber);
    case RenumberPreview::Status::NewNumberTaken: return numberTakenMessage(p.newNumber);
    case RenumberPreview::Status::TooLong: return preview::tooLongMessage(*p.tooLong);
    case RenumberPreview::Status::MissingTable:  // the renumber's only: the preview marks the table
    case RenumberPreview::Status::Ready: break;
  }
  return QString();
}

}  // namespace single
