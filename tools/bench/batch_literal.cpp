#include "tools/bench/batch_literal.h"

#include <QCheckBox>
#include <QHash>
#include <QLabel>

#include "db/database.h"
#include "core/batch/batch_ops.h"
#include "core/common/number_key.h"
#include "core/session/session.h"
#include "gui/batch/batch_window.h"

namespace batch::literal {

// Numbers compare as the database compares them (common::numberKey).
int firstTwin(const Rows& rows, const QString& number, int row) {
  const QString key = common::numberKey(number);
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (int(i) != row && common::numberKey(rows[i].newNo) == key) return int(i);
  return -1;
}

bool candidateFree(const Rows& rows, qint64 candidate, const std::function<bool(const QString&)>& taken) {
  for (const Row& r : rows)
    if (leadingValue(common::numberKey(r.newNo)) == candidate) return false;
  return !taken(QString::number(candidate));
}

QString nextFree(const Rows& rows, const QString& number, const std::function<bool(const QString&)>& taken) {
  qint64 candidate = leadingValue(common::numberKey(number)) + 1;
  while (!candidateFree(rows, candidate, taken)) ++candidate;
  return QString::number(candidate);
}

Outcome autoResolve(Rows& rows, const RegisterLookup& lookup) {
  const std::function<bool(const QString&)> taken = [&](const QString& n) { return lookup(n).has_value(); };
  // Each row's number also as a hash next to the others, so that the full scan for a twin
  // compares words and looks at the text only where the hashes agree.
  std::vector<std::size_t> keys;
  for (const Row& r : rows) keys.push_back(qHash(common::numberKey(r.newNo)));
  auto twin = [&](std::size_t j) {
    const std::size_t key = keys[j];
    for (std::size_t i = 0; i < rows.size(); ++i)
      if (keys[i] == key && i != j && common::numberKey(rows[i].newNo) == common::numberKey(rows[j].newNo))
        return int(i);
    return -1;
  };
  Outcome out;
  for (bool changed = true; changed;) {
    changed = false;
    for (std::size_t j = 0; j < rows.size() && !changed; ++j) {
      const Row& row = rows[j];
      if (row.newNo.isEmpty()) {
        out.status = Status::Empty;
        out.row = int(j);
        return out;
      }
      int fix = twin(j);
      const QString refused = fix < 0 && row.oldNo != row.newNo ? common::refusedCharacter(row.newNo) : QString();
      if (!refused.isEmpty()) {
        out.status = Status::Refused;
        out.row = int(j);
        out.refused = refused;
        return out;
      }
      if (fix < 0 && row.oldNo != row.newNo && taken(row.newNo)) fix = int(j);
      if (fix >= 0) {
        QString& number = rows[std::size_t(fix)].newNo;
        number = nextFree(rows, number, taken);
        keys[std::size_t(fix)] = qHash(common::numberKey(number));
        out.repairs.push_back(fix);
        changed = true;
      }
    }
  }
  return out;
}

bool 本核(const frm员工工号统一修改& w, const QString& number, int& conflictRow, int row) {
  const int d = firstTwin(w.gridRows(), number, row - 1);
  if (d < 0) return true;
  conflictRow = d + 1;
  return false;
}

bool 数核(frm员工工号统一修改& w, const QString& number) {
  const std::optional<QString> holder = registerLookup(w.session().database())(number);
  if (!holder) return true;
  if (!w.Check2->isChecked()) w.Label2->setText(takenMessage(*holder));
  return false;
}

QString 自动插入(frm员工工号统一修改& w, const QString& number) {
  return nextFree(w.gridRows(), number, [&w](const QString& n) { return !数核(w, n); });
}

bool 自插核对(frm员工工号统一修改& w, qint64 candidate) {
  return candidateFree(w.gridRows(), candidate, [&w](const QString& n) { return !数核(w, n); });
}

}  // namespace batch::literal
