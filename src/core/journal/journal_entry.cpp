#include "core/journal/journal_entry.h"

#include <algorithm>

namespace journal {

QString singleRenumber() { return QStringLiteral("单个修改"); }
QString batchApply() { return QStringLiteral("批量修改"); }
QString staging() { return QStringLiteral("无岗位处理"); }
QString undoOperation() { return QStringLiteral("撤销"); }
QString ruleAdded() { return QStringLiteral("规则新增"); }
QString ruleChanged() { return QStringLiteral("规则修改"); }
QString ruleDeleted() { return QStringLiteral("规则删除"); }
QString ruleRows() { return QStringLiteral("具体规则"); }
QString categoryLinks() { return QStringLiteral("类别关联"); }
QStringList operations() {
  return {singleRenumber(), batchApply(),  staging(),  undoOperation(), ruleAdded(),
          ruleChanged(),    ruleDeleted(), ruleRows(), categoryLinks()};
}

Summary summary(const Entry& e) {
  Summary s;
  s.id = e.id;
  s.time = e.time;
  s.osUser = e.osUser;
  s.operation = e.operation;
  if (!e.pairs.empty()) s.first = e.pairs.front();
  s.pairCount = qint64(e.pairs.size());
  s.undoes = e.undoes;
  s.undoneBy = e.undoneBy;
  return s;
}

QString pendingMark() { return QStringLiteral("待写入"); }

QString entryText(const Entry& e, qsizetype statementChars) {
  QString t = QStringLiteral("#%1  %2  %3  操作者 %4  登录 %5  服务器 %6  数据库 %7")
                  .arg(e.id ? QString::number(e.id) : pendingMark())
                  .arg(e.time.toString(kTimeFormat), e.operation, e.osUser, e.login, e.server, e.database);
  if (e.undoes) t += QStringLiteral("  撤销 #%1").arg(e.undoes);
  if (e.undoneBy) t += QStringLiteral("  已由 #%1 撤销").arg(e.undoneBy);
  t += QLatin1Char('\n');
  for (const Pair& p : e.pairs)
    t += QStringLiteral("  %1 -> %2  %3\n")
             .arg(p.oldNumber, p.newNumber, p.name)
             .replace(QStringLiteral("  \n"), QStringLiteral("\n"));
  if (!e.rows.empty()) {
    QStringList parts;
    for (const ColumnRows& c : e.rows) parts << QStringLiteral("%1.%2 %3行").arg(c.table, c.column).arg(c.rows);
    t += QStringLiteral("  行数：") + parts.join(QStringLiteral("，")) + QLatin1Char('\n');
  }
  const qsizetype whole = std::max<qsizetype>(e.statementLength, e.statement.size());
  const QString shown = statementChars < 0 ? e.statement : e.statement.left(statementChars);
  t += QStringLiteral("  语句：") + shown;
  if (shown.size() < whole)
    t += QStringLiteral("……\n  （语句共%1个字符，这里只显示前%2个；renumber --journal 打印完整的语句）")
             .arg(whole)
             .arg(shown.size());
  t += QLatin1Char('\n');
  return t;
}

}  // namespace journal
