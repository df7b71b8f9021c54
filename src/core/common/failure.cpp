#include "core/common/failure.h"

namespace common {

QString leadOf(const db::DbError& e) {
  switch (e.cause()) {
    case db::Cause::LockTimeOut:
    case db::Cause::Deadlock: return QStringLiteral("数据库正被其他程序使用，没有做任何修改，请稍后再试");
    case db::Cause::ReadOnly:
      return QStringLiteral("数据库文件是只读的，没有做任何修改，请让管理员允许写入数据库后再试");
    case db::Cause::MissingTable:
      return QStringLiteral("缺少表") + e.missingTable() + QStringLiteral("，没有做任何修改，请先运行数据库检查");
    case db::Cause::ForeignKey: return QStringLiteral("外键约束阻止了修改，数据库没有任何修改；数据库检查列出这些约束");
    case db::Cause::Check:
      return QStringLiteral("检查约束") + e.checkConstraint() +
             QStringLiteral("阻止了修改，数据库没有任何修改；数据库检查列出这些约束");
    case db::Cause::Other:
    case db::Cause::Stopped:
    case db::Cause::TransactionEnded: break;
  }
  return {};
}

QString shownText(const db::DbError& e) {
  if (!e.lead().isEmpty()) return e.text();
  const QString lead = leadOf(e);
  return lead.isEmpty() ? e.text() : e.withLead(lead).text();
}

QString shownText(const std::exception& e) {
  const auto* failure = dynamic_cast<const db::DbError*>(&e);
  return failure ? shownText(*failure) : QString();
}

}  // namespace common
