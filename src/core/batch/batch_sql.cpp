#include "core/batch/batch_sql.h"

#include <QHash>
#include <QSet>
#include <set>

#include "db/database.h"
#include "host/host_tables.h"
#include "core/common/number_key.h"
#include "text/listing.h"

namespace batch {

using db::sqlQuote;

// ---- Statements -----------------------------------------------------------------------------

namespace {
QString categoriesOf(const QString& code) {
  return QStringLiteral("Select 类别名称 From 员工类别 Where 类别码=") + sqlQuote(code);
}
}  // namespace

QString listingSql(const QString& code) {
  const QString categories = categoriesOf(code);
  return QStringLiteral(
             "SELECT 员工档案.工号, 员工档案.姓名, 员工档案.员工类别, 岗位信息new.岗位代号, 岗位信息new.岗位名称, "
             "职能部门new.职能部门编号, ") +
         QStringLiteral("职能部门new.职能部门名称") + QStringLiteral(", (") + unlistedCountSql(code) +
         QStringLiteral(") As 未列人数, (") + unknownPositionCountSql(code) + QStringLiteral(") As 岗位不存在人数, (") +
         unknownDepartmentCountSql(code) + QStringLiteral(") As 部门不存在人数") +
         QStringLiteral(" FROM 员工档案 INNER JOIN 岗位信息new ON 员工档案.岗位编号 = 岗位信息new.岗位代号") +
         QStringLiteral(" INNER JOIN 职能部门new ON 岗位信息new.职能部门代号 = 职能部门new.职能部门编号") +
         QStringLiteral(" WHERE (员工档案.员工类别 IN (") + categories + QStringLiteral("))") +
         QStringLiteral(" ORDER BY len(员工档案.工号),员工档案.工号");
}

QString registerLookupSql(const QString& number) {
  return QStringLiteral("SELECT 员工档案.工号, 员工档案.姓名, 员工档案.员工类别") + QStringLiteral(" FROM 员工档案 ") +
         QStringLiteral(" WHERE (员工档案.工号=") + sqlQuote(number) + QStringLiteral(")");
}

namespace {
QString quotedList(const QStringList& values) {
  QStringList quoted;
  quoted.reserve(values.size());
  for (const QString& v : values) quoted << sqlQuote(v);
  return quoted.join(QStringLiteral(", "));
}
}  // namespace

QString registerSetSql(const QStringList& numbers) {
  return QStringLiteral("SELECT 员工档案.工号, 员工档案.姓名, 员工档案.员工类别") + QStringLiteral(" FROM 员工档案 ") +
         QStringLiteral(" WHERE (员工档案.工号 IN (") + quotedList(numbers) + QStringLiteral("))");
}

QString unlistedCountSql(const QString& code) {
  return QStringLiteral("Select Count(*) As 人数 From 员工档案 Where 岗位编号 Is Null And 员工类别 In (") +
         categoriesOf(code) + u')';
}

QString unknownPositionCountSql(const QString& code) {
  return QStringLiteral("Select Count(*) As 人数 From 员工档案 Where 岗位编号 Is Not Null And 员工类别 In (") +
         categoriesOf(code) +
         QStringLiteral(") And 岗位编号 Not In (Select 岗位代号 From 岗位信息new Where 岗位代号 Is Not Null)");
}

QString unknownDepartmentCountSql(const QString& code) {
  return QStringLiteral("Select Count(*) As 人数 From 员工档案 Where 员工类别 In (") + categoriesOf(code) +
         QStringLiteral(
             ") And 岗位编号 In (Select 岗位代号 From 岗位信息new) And 岗位编号 Not In (Select "
             "岗位信息new.岗位代号 From 岗位信息new INNER JOIN 职能部门new ON 岗位信息new.职能部门代号 = "
             "职能部门new.职能部门编号 Where 岗位信息new.岗位代号 Is Not Null)");
}

QString leftOutCountsSql(const QString& code) {
  return QStringLiteral("Select (") + unlistedCountSql(code) + QStringLiteral(") As 未列人数, (") +
         unknownPositionCountSql(code) + QStringLiteral(") As 岗位不存在人数, (") + unknownDepartmentCountSql(code) +
         QStringLiteral(") As 部门不存在人数");
}

QString registerCountSql(const QString& number) {
  return QStringLiteral("Select Count(*) As 人数 From 员工档案 Where 工号=") + sqlQuote(number);
}

QString noPositionNumbersSql() { return QStringLiteral("Select 工号 From 员工档案 Where 岗位编号 Is Null"); }

QString noPositionEmployeesSql() { return QStringLiteral("Select 工号, 姓名 From 员工档案 Where 岗位编号 Is Null"); }

QString noPositionCountSql() { return QStringLiteral("Select Count(*) As 人数 From 员工档案 Where 岗位编号 Is Null"); }

QString stagingCollisionsSql(common::Lock lock) {
  const QString hint = common::tableHint(lock);
  return QStringLiteral("Select s.工号 As 原工号, h.ID As 编号, h.工号 As 新工号, h.姓名 As 姓名 From 员工档案 s") +
         hint + QStringLiteral(" INNER JOIN 员工档案 h") + hint +
         QStringLiteral(
             " ON h.工号='9'+s.工号 Where s.岗位编号 Is Null And h.岗位编号 Is Not Null Order By "
             "len(s.工号), s.工号, h.ID");
}

QString stagingHeldSql(const std::vector<host::RefColumn>& columns, common::Lock lock) {
  const QString hint = common::tableHint(lock);
  // The "9" numbers as the register spells them, compared under the database's collation: a column
  // of another collation is compared without a conflict, and the number read back is the
  // register's, whatever the column's collation or type.
  const QString nines =
      QStringLiteral(" INNER JOIN (Select Distinct '9'+工号 COLLATE DATABASE_DEFAULT As 号 From 员工档案") + hint +
      QStringLiteral(" Where 岗位编号 Is Null) As 九 ON ");
  // A staged employee's own number moves away with its rows (912 beside 12): no merge there.
  const QString staged = QStringLiteral(
      " NOT IN (Select 工号 COLLATE DATABASE_DEFAULT From 员工档案 Where 岗位编号 Is Null And 工号 Is Not Null)");
  QStringList parts;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    const QString c = columns[k].tableSql() + u'.' + columns[k].columnSql();
    parts << QStringLiteral("SELECT ") + QString::number(k) +
                 QStringLiteral(" AS 列, 九.号 AS 工号, COUNT(*) AS 行数 FROM ") + columns[k].tableSql() + hint +
                 nines + c + QStringLiteral(" = 九.号 WHERE ") + c + staged + QStringLiteral(" GROUP BY 九.号");
  }
  return parts.join(QStringLiteral(" UNION ALL "));
}

QStringList applyStatements(const QString& oldNo, const QString& newNo, const std::vector<host::RefColumn>& added) {
  const auto rename = [&](const QString& update, const host::RefColumn& ref) {
    const QString column = ref.columnSql();
    return update + ref.tableSql() + QStringLiteral(" set ") + column + u'=' + sqlQuote(newNo) +
           QStringLiteral(" Where ") + column + u'=' + sqlQuote(oldNo) + ref.extraCondition();
  };
  QStringList out;
  for (std::size_t k = 0; k < host::kBatchApply.size(); ++k) {
    // The last statement of the apply list has always been sent with two blanks after "Update".
    const bool last = k + 1 == host::kBatchApply.size();
    out << rename(last ? QStringLiteral(" Update  ") : QStringLiteral(" Update "), host::kBatchApply[k]);
  }
  for (const host::RefColumn& ref : host::missingFrom(host::kBatchApply, added))
    out << rename(QStringLiteral(" Update "), ref);
  return out;
}

QString applyBatch(const QString& oldNo, const QString& newNo, const std::vector<host::RefColumn>& added) {
  return applyStatements(oldNo, newNo, added).join(QString());
}

QStringList stagingStatements(const std::vector<host::RefColumn>& added) {
  // Under the database's collation: a column of another collation than the register's is compared
  // without a conflict.
  const QString in = QStringLiteral(" In(Select 工号 COLLATE DATABASE_DEFAULT From 员工档案 Where 岗位编号 Is Null)");
  const auto staged = [&](const host::RefColumn& ref, const QString& plus, bool blank) {
    const QString c = ref.columnSql();
    QString terminator = ref.extraCondition() + u';';
    if (blank || !ref.extraCondition().isEmpty()) terminator += u' ';
    return QStringLiteral(" Update ") + ref.tableSql() + QStringLiteral(" set ") + c + plus + c +
           QStringLiteral(" Where ") + c + in + terminator + QStringLiteral("\r\ngo\r\n");
  };
  const std::size_t n = host::kStaging.size();
  QStringList out;
  // The staging list but its last entry; its last but one (WYZJ) has always had a blank after "+".
  for (std::size_t k = 0; k + 1 < n; ++k)
    out << staged(host::kStaging[k], k + 2 == n ? QStringLiteral("='9' + ") : QStringLiteral("='9' +"), k == 0);
  for (const host::RefColumn& ref : host::missingFrom(host::kStaging, added))
    out << staged(ref, QStringLiteral("='9' +"), false);
  // The register itself, last: every statement above reads its old numbers.
  const QString c = host::kStaging[n - 1].columnSql();
  out << QStringLiteral(" Update ") + host::kStaging[n - 1].tableSql() + QStringLiteral(" Set ") + c +
             QStringLiteral("='9'+") + c + QStringLiteral(" Where ") + c + in;
  return out;
}

QString stagingScript(const std::vector<host::RefColumn>& added) { return stagingStatements(added).join(QString()); }

// ---- Proposal -------------------------------------------------------------------------------

namespace {
bool isDigits(const QString& s) {
  if (s.isEmpty()) return false;
  for (QChar ch : s)
    if (ch < u'0' || ch > u'9') return false;
  return true;
}
}  // namespace

QString proposal(const QString& prefix, const QString& oldNo) {
  // Lengths and the last four are counted in characters, never in halves of one.
  const QList<uint> chars = oldNo.toUcs4();
  if (chars.size() >= 5) {
    const QList<uint> last = chars.mid(chars.size() - 4);
    return prefix + QString::fromUcs4(reinterpret_cast<const char32_t*>(last.constData()), last.size());
  }
  if (!isDigits(oldNo)) return prefix + oldNo;
  return prefix + QString::number(oldNo.toInt()).rightJustified(4, u'0');
}

// ---- Messages -------------------------------------------------------------------------------

QString duplicateMessage(int gridRow, const QString& department, const QString& position, const QString& name) {
  return QStringLiteral("新工号有重复 在第") + QString::number(gridRow) + QStringLiteral(" 行 ") + department + u' ' +
         position + u' ' + name;
}

QString takenMessage(const QString& holderName) {
  return QStringLiteral("新工号数据库中已经存在，同") + holderName + QStringLiteral("重复");
}

QString emptyMessage(int gridRow) {
  return QStringLiteral("第") + QString::number(gridRow) + QStringLiteral("行新工号不能为空");
}

QString refusedMessage(int gridRow, const QString& refused) {
  return QStringLiteral("第") + QString::number(gridRow) + QStringLiteral("行") +
         common::refusedCharacterMessage(QStringLiteral("新工号"), refused);
}

QString stagingQuestion(qint64 count) {
  return QStringLiteral("共有") + QString::number(count) +
         QStringLiteral("名无岗位员工（所有员工类别，不只是所选的编号规则），工号前将加9，是否继续？");
}

QString stagingChangedMessage() {
  return QStringLiteral("询问之后，其他表中“9”开头工号下的记录有了变化，没有做任何修改。请重新进行无岗位处理。");
}

QString heldChangedMessage() {
  return QStringLiteral("询问之后，其他表中新工号下的记录有了变化，没有做任何修改。请重新上传。");
}

QString stagedMessage(qint64 count) {
  return QStringLiteral("已处理") + QString::number(count) + QStringLiteral("名无岗位员工");
}

QString passedMessage(qint64 rowCount, qint64 repaired) {
  QString text = QStringLiteral("核对通过，共") + QString::number(rowCount) + QStringLiteral("名员工，");
  if (repaired > 0) text += QStringLiteral("自动调整了") + QString::number(repaired) + QStringLiteral("个新工号，");
  return text + QStringLiteral("请导出对照表后上传");
}

QString unlistedMessage(qint64 count) {
  return QStringLiteral("另有") + QString::number(count) + QStringLiteral("名无岗位员工未列出");
}

QString unknownPositionMessage(qint64 count) {
  return QStringLiteral("另有") + QString::number(count) + QStringLiteral("名员工的岗位编号在岗位表中不存在，未列出");
}

QString unknownDepartmentMessage(qint64 count) {
  return QStringLiteral("另有") + QString::number(count) +
         QStringLiteral("名员工的岗位所属部门在部门表中不存在，未列出");
}

QString staleMessage(int gridRow, const QString& oldNo) {
  return QStringLiteral("第") + QString::number(gridRow) + QStringLiteral("行 原工号") + oldNo +
         QStringLiteral("已不存在，可能已被他人修改，请重新列出");
}

QString takenMeanwhileMessage(int gridRow, const QString& newNo, const QString& holder) {
  return QStringLiteral("第") + QString::number(gridRow) + QStringLiteral("行 新工号") + newNo +
         QStringLiteral("在核对之后已被员工") + holder + QStringLiteral("使用，没有做任何修改，请重新核对");
}

QString heldQuestion(const std::vector<HeldNumber>& held) {
  QStringList lines;
  for (const HeldNumber& h : held) lines << h.number + QStringLiteral("：") + h.tables;
  return text::listedText(QStringLiteral("以下新工号在其他表中已有记录："), lines,
                          QStringLiteral("继续修改将把这些记录并入相应员工，是否继续？"));
}

QString collisionMessage(const std::vector<StagingCollision>& collisions) {
  QStringList lines;
  for (const StagingCollision& c : collisions)
    lines << c.oldNo + QStringLiteral("→") + c.newNo + QStringLiteral("（") + c.holders.join(QStringLiteral("、")) +
                 QStringLiteral("）");
  return text::listedText(QStringLiteral("以下无岗位员工加9后的工号已被占用："), lines,
                          QStringLiteral("没有修改任何工号，请先处理这些员工的工号"));
}

QString stagingTooLongMessage(const std::vector<StagingTooLong>& tooLong) {
  QStringList lines;
  for (const StagingTooLong& t : tooLong)
    lines << t.name + QStringLiteral("（") + t.oldNo + QStringLiteral("）：") + preview::tooLongText(t.tooLong);
  return text::listedText(QStringLiteral("以下无岗位员工的工号不能加9："), lines,
                          QStringLiteral("没有修改任何工号，请先处理这些员工的工号"));
}

// ---- Checks ---------------------------------------------------------------------------------

std::vector<Mark> marks(std::size_t rowCount, const Outcome& outcome) {
  std::vector<Mark> out(rowCount, Mark::None);
  for (int r : outcome.repairs) out[std::size_t(r)] = Mark::Duplicate;
  switch (outcome.status) {
    case Status::Passed: break;
    case Status::Duplicate:
      out[std::size_t(outcome.row)] = Mark::Duplicate;
      out[std::size_t(outcome.otherRow)] = Mark::Duplicate;
      break;
    case Status::Empty:
    case Status::Refused:
    case Status::Taken: out[std::size_t(outcome.row)] = Mark::Taken; break;
  }
  return out;
}

qint64 leadingValue(const QString& number) {
  constexpr qint64 kMax = 999'999'999'999'999'999;
  qint64 v = 0;
  for (QChar ch : number) {
    if (ch < u'0' || ch > u'9') break;
    v = v > (kMax - 9) / 10 ? kMax : v * 10 + (ch.unicode() - u'0');
  }
  return v;
}

namespace {

// The list's numbers as the database compares them (common::numberKey: rows in order), and by the
// numeric value of that key (how many rows).
class NumberIndex {
 public:
  explicit NumberIndex(const Rows& rows) {
    for (std::size_t i = 0; i < rows.size(); ++i) add(int(i), rows[i].newNo);
  }
  void add(int row, const QString& number) {
    const QString key = common::numberKey(number);
    byKey_[key].insert(row);
    ++byValue_[leadingValue(key)];
  }
  void remove(int row, const QString& number) {
    const QString key = common::numberKey(number);
    auto t = byKey_.find(key);
    t->erase(row);
    if (t->empty()) byKey_.erase(t);
    auto v = byValue_.find(leadingValue(key));
    if (--*v == 0) byValue_.erase(v);
  }
  // The first row other than row whose number the database takes for number, or -1.
  int firstTwin(const QString& number, int row) const {
    auto t = byKey_.constFind(common::numberKey(number));
    if (t == byKey_.cend()) return -1;
    for (int r : *t)
      if (r != row) return r;
    return -1;
  }
  bool valueUsed(qint64 value) const { return byValue_.contains(value); }

 private:
  QHash<QString, std::set<int>> byKey_;
  QHash<qint64, int> byValue_;
};

// The register asked once per distinct number.
class CachedRegister {
 public:
  explicit CachedRegister(const RegisterLookup& lookup) : lookup_(lookup) {}
  const std::optional<QString>& holder(const QString& number) {
    auto it = cache_.constFind(number);
    if (it == cache_.cend()) it = cache_.insert(number, lookup_(number));
    return *it;
  }
  bool taken(const QString& number) { return holder(number).has_value(); }

 private:
  const RegisterLookup& lookup_;
  QHash<QString, std::optional<QString>> cache_;
};

}  // namespace

Outcome manualCheck(const Rows& rows, const RegisterLookup& lookup) {
  NumberIndex index(rows);
  Outcome out;
  for (std::size_t j = 0; j < rows.size(); ++j) {
    const Row& row = rows[j];
    out.row = int(j);
    if (row.newNo.isEmpty()) {
      out.status = Status::Empty;
      return out;
    }
    if (int d = index.firstTwin(row.newNo, int(j)); d >= 0) {
      out.status = Status::Duplicate;
      out.otherRow = d;
      return out;
    }
    if (row.oldNo != row.newNo) {
      if (QString refused = common::refusedCharacter(row.newNo); !refused.isEmpty()) {
        out.status = Status::Refused;
        out.refused = std::move(refused);
        return out;
      }
    }
    if (row.oldNo != row.newNo) {
      if (std::optional<QString> holder = lookup(row.newNo)) {
        out.status = Status::Taken;
        out.holderName = *holder;
        return out;
      }
    }
  }
  return Outcome{};
}

Outcome autoResolve(Rows& rows, const RegisterLookup& lookup) {
  NumberIndex index(rows);
  CachedRegister reg(lookup);
  Outcome out;
  auto repair = [&](int r) {
    QString& number = rows[std::size_t(r)].newNo;
    qint64 candidate = leadingValue(common::numberKey(number)) + 1;
    while (index.valueUsed(candidate) || reg.taken(QString::number(candidate))) ++candidate;
    index.remove(r, number);
    number = QString::number(candidate);
    index.add(r, number);
    out.repairs.push_back(r);
  };
  // A repair gives a row a number that no row and no register entry holds, so rows before the
  // one that needed it stay sound: the scan goes on from that row instead of the first.
  for (std::size_t j = 0; j < rows.size();) {
    const Row& row = rows[j];
    if (row.newNo.isEmpty()) {
      out.status = Status::Empty;
      out.row = int(j);
      return out;
    }
    if (int d = index.firstTwin(row.newNo, int(j)); d >= 0) {
      repair(d);
    } else if (QString refused = row.oldNo != row.newNo ? common::refusedCharacter(row.newNo) : QString();
               !refused.isEmpty()) {
      out.status = Status::Refused;
      out.row = int(j);
      out.refused = std::move(refused);
      return out;
    } else if (row.oldNo != row.newNo && reg.taken(row.newNo)) {
      repair(int(j));
    } else {
      ++j;
    }
  }
  return out;
}

QStringList changedNewNumbers(const Rows& rows) {
  QStringList numbers;
  QSet<QString> seen;
  for (const Row& r : rows)
    if (r.newNo != r.oldNo && !seen.contains(r.newNo)) {
      seen.insert(r.newNo);
      numbers << r.newNo;
    }
  return numbers;
}

RefusedRow firstRefusedRow(QHash<QString, qint64> counts, const Rows& rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const QString from = common::numberKey(rows[i].oldNo), to = common::numberKey(rows[i].newNo);
    if (counts.value(from) != 1) return {int(i), false};
    if (from == to) continue;  // the rename leaves the register's count as it is
    if (counts.value(to) != 0) return {int(i), true};
    counts[to] = 1;
    counts[from] = 0;
  }
  return {};
}

std::vector<preview::Column> applyColumns(const std::vector<host::RefColumn>& added) {
  std::vector<preview::Column> columns;
  for (const host::RefColumn& ref : host::kBatchApply)
    columns.push_back({ref.tableName(), ref.columnName(), false, ref.extraCondition()});
  for (const host::RefColumn& ref : host::missingFrom(host::kBatchApply, added))
    columns.push_back({ref.tableName(), ref.columnName(), host::names(added, ref), ref.extraCondition()});
  return columns;
}

}  // namespace batch
