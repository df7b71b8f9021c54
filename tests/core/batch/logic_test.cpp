// Batch renumbering without a window: statement texts, proposals and the checks.
#include <gtest/gtest.h>

#include <QHash>
#include <QSet>
#include <chrono>
#include <random>

#include "tools/bench/batch_literal.h"
#include "host/host_tables.h"
#include "core/batch/batch_sql.h"

using namespace batch;

namespace {

// A register held in memory that counts how often it is asked, and for which numbers.
struct FakeRegister {
  QHash<QString, QString> holders;  // number -> name
  qint64 calls = 0;
  QHash<QString, int> perNumber;
  RegisterLookup lookup() {
    return [this](const QString& n) -> std::optional<QString> {
      ++calls;
      ++perNumber[n];
      auto it = holders.constFind(n);
      if (it == holders.cend()) return std::nullopt;
      return *it;
    };
  }
};

Rows makeRows(std::initializer_list<std::pair<const char*, const char*>> list) {
  Rows rows;
  for (auto& [o, n] : list) rows.push_back({QString::fromUtf8(o), QString::fromUtf8(n)});
  return rows;
}

QStringList newNumbers(const Rows& rows) {
  QStringList out;
  for (const Row& r : rows) out << r.newNo;
  return out;
}

}  // namespace

TEST(BatchStatements, ApplyRenamesTheApplyListThenEveryFurtherColumn) {
  const QStringList s = applyStatements(QStringLiteral("1001"), QStringLiteral("20001"), {});
  const std::vector<host::RefColumn> more = host::missingFrom(host::kBatchApply, {});
  ASSERT_EQ(more.size(), 26u);
  ASSERT_EQ(s.size(), 66 + 26);
  EXPECT_EQ(s[0], QStringLiteral(" Update 员工档案 set 工号='20001' Where 工号='1001'"));
  EXPECT_EQ(s[7], QStringLiteral(" Update 员工档案temp set 工号='20001' Where 工号='1001' AND 类型=N'档案信息修改'"));
  EXPECT_EQ(s[62], QStringLiteral(" Update WYZJ set 收款人ID='20001' Where 收款人ID='1001'"));
  EXPECT_EQ(s[63], QStringLiteral(" Update SKOperator set OperatorNum='20001' Where OperatorNum='1001'"));
  EXPECT_EQ(s[65], QStringLiteral(" Update  票据领用记录 set 领用人代号='20001' Where 领用人代号='1001'"));
  for (std::size_t k = 0; k < host::kBatchApply.size(); ++k) {
    const QString& t = host::kBatchApply[k].tableName();
    EXPECT_TRUE(s[int(k)].startsWith(QStringLiteral(" Update ") + t + u' ') ||
                s[int(k)].startsWith(QStringLiteral(" Update  ") + t + u' '))
        << k;
  }
  for (std::size_t k = 0; k < more.size(); ++k)
    EXPECT_EQ(
        s[66 + int(k)],
        QStringLiteral(" Update %1 set %2='20001' Where %2='1001'").arg(more[k].tableName(), more[k].columnName()));
  EXPECT_EQ(applyBatch(QStringLiteral("1001"), QStringLiteral("20001"), {}), s.join(QString()));
  // A quote inside a number stays inside its literal.
  EXPECT_EQ(applyStatements(QStringLiteral("1'1"), QStringLiteral("2"), {})[0],
            QStringLiteral(" Update 员工档案 set 工号='2' Where 工号='1''1'"));
}

TEST(BatchStatements, StagingScriptTextsAndLineBreaksTheRegisterLast) {
  const QString s = QStringLiteral("Select 工号 COLLATE DATABASE_DEFAULT From 员工档案 Where 岗位编号 Is Null");
  const QStringList st = stagingStatements({});
  const std::vector<host::RefColumn> more = host::missingFrom(host::kStaging, {});
  ASSERT_EQ(more.size(), 5u);
  ASSERT_EQ(st.size(), 87 + 5);
  EXPECT_EQ(st[0], QStringLiteral(" Update XZ文件流转情况 set 查阅人='9' +查阅人 Where 查阅人 In(") + s +
                       QStringLiteral("); \r\ngo\r\n"));
  EXPECT_EQ(st[1], QStringLiteral(" Update XZ文件记录 set 拟稿人='9' +拟稿人 Where 拟稿人 In(") + s +
                       QStringLiteral(");\r\ngo\r\n"));
  EXPECT_EQ(st[5], QStringLiteral(" Update 员工档案temp set 工号='9' +工号 Where 工号 In(") + s +
                       QStringLiteral(") AND 类型=N'档案信息修改'; \r\ngo\r\n"));
  EXPECT_EQ(st[85], QStringLiteral(" Update WYZJ set 收款人ID='9' + 收款人ID Where 收款人ID In(") + s +
                        QStringLiteral(");\r\ngo\r\n"));
  for (std::size_t k = 0; k < more.size(); ++k)
    EXPECT_EQ(st[86 + int(k)], QStringLiteral(" Update %1 set %2='9' +%2 Where %2 In(%3);\r\ngo\r\n")
                                   .arg(more[k].tableName(), more[k].columnName(), s));
  EXPECT_EQ(st[91], QStringLiteral(" Update 员工档案 Set 工号='9'+工号 Where 工号 In(") + s + u')');
  EXPECT_EQ(stagingScript({}), st.join(QString()));
  EXPECT_EQ(stagingScript({}).count(QStringLiteral("\r\ngo\r\n")), 91);
}

TEST(BatchStatements, Queries) {
  EXPECT_EQ(listingSql(QStringLiteral("1")),
            QStringLiteral(
                "SELECT 员工档案.工号, 员工档案.姓名, 员工档案.员工类别, 岗位信息new.岗位代号, 岗位信息new.岗位名称, "
                "职能部门new.职能部门编号, 职能部门new.职能部门名称, (Select Count(*) As 人数 From 员工档案 Where "
                "岗位编号 Is Null And 员工类别 In (Select 类别名称 From 员工类别 Where 类别码='1')) As 未列人数, "
                "(Select Count(*) As 人数 From 员工档案 Where 岗位编号 Is Not Null And 员工类别 In (Select 类别名称 "
                "From 员工类别 Where 类别码='1') And 岗位编号 Not In (Select 岗位代号 From 岗位信息new Where 岗位代号 "
                "Is Not Null)) As 岗位不存在人数, (Select Count(*) As 人数 From 员工档案 Where 员工类别 In (Select "
                "类别名称 From 员工类别 Where 类别码='1') And 岗位编号 In (Select 岗位代号 From 岗位信息new) And "
                "岗位编号 Not In (Select 岗位信息new.岗位代号 From 岗位信息new INNER JOIN 职能部门new ON "
                "岗位信息new.职能部门代号 = 职能部门new.职能部门编号 Where 岗位信息new.岗位代号 Is Not Null)) As "
                "部门不存在人数 FROM 员工档案 INNER JOIN 岗位信息new ON "
                "员工档案.岗位编号 = 岗位信息new.岗位代号 INNER JOIN 职能部门new ON 岗位信息new.职能部门代号 = "
                "职能部门new.职能部门编号 WHERE (员工档案.员工类别 IN (Select 类别名称 From 员工类别 Where "
                "类别码='1')) ORDER BY len(员工档案.工号),员工档案.工号"));
  EXPECT_TRUE(listingSql(QStringLiteral("a'b")).contains(QStringLiteral("类别码='a''b'))")));
  EXPECT_EQ(unlistedCountSql(QStringLiteral("1")),
            QStringLiteral("Select Count(*) As 人数 From 员工档案 Where 岗位编号 Is Null And 员工类别 In (Select "
                           "类别名称 From 员工类别 Where 类别码='1')"));
  EXPECT_EQ(stagingCollisionsSql(),
            QStringLiteral("Select s.工号 As 原工号, h.ID As 编号, h.工号 As 新工号, h.姓名 As 姓名 From 员工档案 s "
                           "INNER JOIN 员工档案 h ON h.工号='9'+s.工号 Where s.岗位编号 Is Null And h.岗位编号 Is Not "
                           "Null Order By len(s.工号), s.工号, h.ID"));
  EXPECT_EQ(
      stagingCollisionsSql(common::Lock::Held),
      QStringLiteral("Select s.工号 As 原工号, h.ID As 编号, h.工号 As 新工号, h.姓名 As 姓名 From 员工档案 s "
                     "WITH (UPDLOCK, HOLDLOCK) INNER JOIN 员工档案 h WITH (UPDLOCK, HOLDLOCK) ON h.工号='9'+s.工号 "
                     "Where s.岗位编号 Is Null And h.岗位编号 Is Not Null Order By len(s.工号), s.工号, h.ID"));
  EXPECT_EQ(stagingHeldSql({host::kSingleCascade[1], host::kSingleCascade[8]}, common::Lock::Held),
            QStringLiteral(
                "SELECT 0 AS 列, 九.号 AS 工号, COUNT(*) AS 行数 FROM 岗位信息new WITH (UPDLOCK, HOLDLOCK) INNER JOIN "
                "(Select Distinct '9'+工号 COLLATE DATABASE_DEFAULT As 号 From 员工档案 WITH (UPDLOCK, HOLDLOCK) "
                "Where 岗位编号 Is Null) As 九 ON 岗位信息new.工号 = 九.号 WHERE 岗位信息new.工号 NOT IN (Select 工号 "
                "COLLATE DATABASE_DEFAULT From 员工档案 Where 岗位编号 Is Null And 工号 Is Not Null) GROUP BY 九.号 "
                "UNION ALL SELECT 1 AS 列, 九.号 AS 工号, COUNT(*) AS 行数 FROM 员工档案temp WITH (UPDLOCK, "
                "HOLDLOCK) INNER JOIN (Select Distinct '9'+工号 COLLATE DATABASE_DEFAULT As 号 From 员工档案 WITH "
                "(UPDLOCK, HOLDLOCK) Where 岗位编号 Is Null) As 九 ON 员工档案temp.工号 = 九.号 WHERE "
                "员工档案temp.工号 NOT IN (Select 工号 COLLATE DATABASE_DEFAULT From 员工档案 Where 岗位编号 Is "
                "Null And 工号 Is Not Null) GROUP BY 九.号"));
  EXPECT_EQ(registerLookupSql(QStringLiteral("10023")),
            QStringLiteral(
                "SELECT 员工档案.工号, 员工档案.姓名, 员工档案.员工类别 FROM 员工档案  WHERE (员工档案.工号='10023')"));
  EXPECT_EQ(registerCountSql(QStringLiteral("1'0")),
            QStringLiteral("Select Count(*) As 人数 From 员工档案 Where 工号='1''0'"));
}

TEST(BatchProposal, PrefixPlusZeroFilledOrLastFour) {
  const QString p = QStringLiteral("1");
  EXPECT_EQ(proposal(p, QStringLiteral("123")), QStringLiteral("10123"));
  EXPECT_EQ(proposal(p, QStringLiteral("5")), QStringLiteral("10005"));
  EXPECT_EQ(proposal(p, QStringLiteral("0")), QStringLiteral("10000"));
  EXPECT_EQ(proposal(p, QStringLiteral("012")), QStringLiteral("10012"));
  EXPECT_EQ(proposal(p, QStringLiteral("56789")), QStringLiteral("16789"));
  // Counted in characters: a character outside the basic plane is one, never cut in two.
  EXPECT_EQ(proposal(p, QStringLiteral("12😀34")), QStringLiteral("12😀34"));
  EXPECT_EQ(proposal(p, QStringLiteral("9😀234")), QStringLiteral("1😀234"));
  // Two numbers ending in the same four characters get the same proposal.
  EXPECT_EQ(proposal(p, QStringLiteral("23456")), proposal(p, QStringLiteral("903456")));
  EXPECT_EQ(proposal(p, QStringLiteral("903456")), QStringLiteral("13456"));
  // Short texts that are no digit string follow the prefix unchanged.
  EXPECT_EQ(proposal(p, QString()), QStringLiteral("1"));
  EXPECT_EQ(proposal(p, QStringLiteral("A12")), QStringLiteral("1A12"));
  EXPECT_EQ(proposal(QStringLiteral("10"), QStringLiteral("23")), QStringLiteral("100023"));
}

TEST(BatchMessages, TextsAndNumericValues) {
  EXPECT_EQ(duplicateMessage(7, QStringLiteral("01 工程部"), QStringLiteral("0101 电工"), QStringLiteral("王五")),
            QStringLiteral("新工号有重复 在第7 行 01 工程部 0101 电工 王五"));
  EXPECT_EQ(takenMessage(QStringLiteral("李四")), QStringLiteral("新工号数据库中已经存在，同李四重复"));
  EXPECT_EQ(emptyMessage(4), QStringLiteral("第4行新工号不能为空"));
  EXPECT_EQ(stagingQuestion(3),
            QStringLiteral("共有3名无岗位员工（所有员工类别，不只是所选的编号规则），工号前将加9，是否继续？"));
  EXPECT_EQ(stagedMessage(3), QStringLiteral("已处理3名无岗位员工"));
  EXPECT_EQ(passedMessage(7, 0), QStringLiteral("核对通过，共7名员工，请导出对照表后上传"));
  EXPECT_EQ(passedMessage(7, 2), QStringLiteral("核对通过，共7名员工，自动调整了2个新工号，请导出对照表后上传"));
  EXPECT_EQ(unlistedMessage(2), QStringLiteral("另有2名无岗位员工未列出"));
  EXPECT_EQ(unknownPositionMessage(3), QStringLiteral("另有3名员工的岗位编号在岗位表中不存在，未列出"));
  EXPECT_EQ(unknownDepartmentMessage(1), QStringLiteral("另有1名员工的岗位所属部门在部门表中不存在，未列出"));
  std::vector<StagingCollision> collisions{
      {QStringLiteral("1489"), QStringLiteral("91489"), {QStringLiteral("田阳建")}},
      {QStringLiteral("55"), QStringLiteral("955"), {QStringLiteral("甲"), QStringLiteral("乙")}}};
  EXPECT_EQ(collisionMessage(collisions), QStringLiteral("以下无岗位员工加9后的工号已被占用：1489→91489（田阳建）\n"
                                                         "55→955（甲、乙）\n没有修改任何工号，请先处理这些员工的工号"));
  for (int i = 0; i < 21; ++i)
    collisions.push_back({QString::number(i), u'9' + QString::number(i), {QStringLiteral("丙")}});
  const QString bounded = collisionMessage(collisions);
  EXPECT_EQ(bounded.count(u'\n'), 21);  // 20 collisions (the first on the heading's line), the rest
  EXPECT_TRUE(bounded.contains(QStringLiteral("\n17→917（丙）\n……另有3项\n没有修改任何工号"))) << bounded.toStdString();
  EXPECT_EQ(staleMessage(3, QStringLiteral("1003")),
            QStringLiteral("第3行 原工号1003已不存在，可能已被他人修改，请重新列出"));
  std::vector<HeldNumber> held{{QStringLiteral("0345"), QStringLiteral("工资单明细 3行，考勤表详细 12行")}};
  EXPECT_EQ(heldQuestion(held), QStringLiteral("以下新工号在其他表中已有记录：0345：工资单明细 3行，考勤表详细 12行\n"
                                               "继续修改将把这些记录并入相应员工，是否继续？"));
  for (int i = 1; i < 23; ++i) held.push_back({QString::number(i), QStringLiteral("出勤 1行")});
  const QStringList lines = heldQuestion(held).split(u'\n');
  ASSERT_EQ(lines.size(), 20 + 2);
  EXPECT_EQ(lines[19], QStringLiteral("19：出勤 1行"));
  EXPECT_EQ(lines[20], QStringLiteral("……另有3项"));
  EXPECT_EQ(leadingValue(QStringLiteral("01005")), 1005);
  EXPECT_EQ(leadingValue(QStringLiteral("12ab3")), 12);
  EXPECT_EQ(leadingValue(QStringLiteral("x1")), 0);
  EXPECT_EQ(leadingValue(QString(40, u'9')), 999'999'999'999'999'999);
}

TEST(BatchManualCheck, StopsAtTheFirstProblemInRowOrder) {
  FakeRegister reg;
  reg.holders[QStringLiteral("10009")] = QStringLiteral("赵六");
  reg.holders[QStringLiteral("10002")] = QStringLiteral("本人");
  // Rows 3 and 7 (indexes 2 and 6) share 10005; row 5 is taken but comes later than row 3.
  Rows rows = makeRows({{"1", "10001"},
                        {"10002", "10002"},
                        {"3", "10005"},
                        {"4", "10004"},
                        {"5", "10009"},
                        {"6", "10006"},
                        {"7", "10005"}});
  Outcome o = manualCheck(rows, reg.lookup());
  EXPECT_EQ(o.status, Status::Duplicate);
  EXPECT_EQ(o.row, 2);
  EXPECT_EQ(o.otherRow, 6);
  std::vector<Mark> m = marks(rows.size(), o);
  EXPECT_EQ(m, (std::vector<Mark>{Mark::None, Mark::None, Mark::Duplicate, Mark::None, Mark::None, Mark::None,
                                  Mark::Duplicate}));
  // Row 2 keeps its own number: never looked up although the register holds it.
  EXPECT_EQ(reg.perNumber.value(QStringLiteral("10002")), 0);

  rows[6].newNo = QStringLiteral("10007");
  o = manualCheck(rows, reg.lookup());
  EXPECT_EQ(o.status, Status::Taken);
  EXPECT_EQ(o.row, 4);
  EXPECT_EQ(o.holderName, QStringLiteral("赵六"));
  EXPECT_EQ(marks(rows.size(), o)[4], Mark::Taken);

  rows[4].newNo = QString();
  o = manualCheck(rows, reg.lookup());
  EXPECT_EQ(o.status, Status::Empty);
  EXPECT_EQ(o.row, 4);
  EXPECT_EQ(marks(rows.size(), o)[4], Mark::Taken);

  rows[4].newNo = QStringLiteral("10010");
  EXPECT_EQ(manualCheck(rows, reg.lookup()), Outcome{});
  EXPECT_EQ(manualCheck({}, reg.lookup()), Outcome{});
}

TEST(BatchManualCheck, NumbersTheDatabaseTakesForOneAreTwinsAndCharactersNoNumberHoldsAreRefused) {
  FakeRegister reg;
  for (const auto& [a, b] : {std::pair{"0013", "0013 "}, {"a1", "A1"}, {"００１３", "0013"}, {"X7", "ｘ７　"}}) {
    const Outcome o = manualCheck(makeRows({{"1", a}, {"2", "5"}, {"3", b}}), reg.lookup());
    EXPECT_EQ(o.status, Status::Duplicate) << a;
    EXPECT_EQ(o.otherRow, 2) << a;
  }
  for (const auto& [number, named] : {std::pair{"0013 ", "空格"},
                                      {" 0013", "空格"},
                                      {"0013\t", "控制字符U+0009"},
                                      {"　0013", "全角空格"},
                                      {"00'13", "“'”"},
                                      {"13%", "“%”"}}) {
    const Outcome o = manualCheck(makeRows({{"7", "7"}, {"0013", number}}), reg.lookup());
    EXPECT_EQ(o.status, Status::Refused) << number;
    EXPECT_EQ(o.row, 1);
    EXPECT_EQ(o.refused, QString::fromUtf8(named));
    EXPECT_EQ(marks(2, o), (std::vector<Mark>{Mark::None, Mark::Taken}));
  }
  // A row that keeps its number is not refused for it.
  EXPECT_EQ(manualCheck(makeRows({{"00_7", "00_7"}}), reg.lookup()).status, Status::Passed);
  EXPECT_EQ(reg.calls, 0);
  EXPECT_EQ(refusedMessage(2, "“%”"), QStringLiteral("第2行新工号不能含有“%”：只能由字母和数字组成"));
}

// Both algorithms on one list: same outcome and same final numbers. Returns the fast outcome.
static Outcome resolveBoth(Rows& rows, FakeRegister& reg, qint64* literalCalls = nullptr) {
  Rows copy = rows;
  FakeRegister reg2 = reg;
  const Outcome slow = literal::autoResolve(copy, reg2.lookup());
  const Outcome fast = autoResolve(rows, reg.lookup());
  EXPECT_EQ(fast, slow);
  EXPECT_EQ(newNumbers(rows), newNumbers(copy));
  EXPECT_EQ(marks(rows.size(), fast), marks(copy.size(), slow));
  for (auto it = reg.perNumber.cbegin(); it != reg.perNumber.cend(); ++it)
    EXPECT_EQ(it.value(), 1) << "asked twice: " << it.key().toStdString();
  if (literalCalls) *literalCalls = reg2.calls;
  return fast;
}

TEST(BatchAutoResolve, RepairsTheLaterTwinAndTakenNumbers) {
  FakeRegister reg;
  reg.holders[QStringLiteral("10006")] = QStringLiteral("甲");
  Rows rows = makeRows(
      {{"1", "10001"}, {"2", "10002"}, {"3", "10005"}, {"4", "10004"}, {"5", "10008"}, {"6", "10007"}, {"7", "10005"}});
  Outcome o = resolveBoth(rows, reg);
  EXPECT_EQ(o.status, Status::Passed);
  EXPECT_EQ(o.repairs, std::vector<int>{6});
  EXPECT_EQ(rows[2].newNo, QStringLiteral("10005"));
  // 10006 is in the register, 10007 and 10008 in the list.
  EXPECT_EQ(rows[6].newNo, QStringLiteral("10009"));

  // A number with a leading zero moves on without it; a taken one moves on too.
  reg = {};
  reg.holders[QStringLiteral("01005")] = QStringLiteral("乙");
  rows = makeRows({{"1005", "01005"}});
  o = resolveBoth(rows, reg);
  EXPECT_EQ(rows[0].newNo, QStringLiteral("1006"));
  EXPECT_EQ(o.repairs, std::vector<int>{0});

  // Candidates are not limited to 16 bits.
  reg = {};
  reg.holders[QStringLiteral("50124")] = QStringLiteral("丙");
  rows = makeRows({{"a", "50123"}, {"b", "50123"}, {"c", "50123"}});
  o = resolveBoth(rows, reg);
  EXPECT_EQ(newNumbers(rows), (QStringList{"50123", "50125", "50126"}));
  EXPECT_EQ(o.repairs, (std::vector<int>{1, 2}));

  // An empty number stops the resolution at its row; repairs before it stay.
  reg = {};
  rows = makeRows({{"1", "7"}, {"2", ""}, {"3", "7"}});
  o = resolveBoth(rows, reg);
  EXPECT_EQ(o.status, Status::Empty);
  EXPECT_EQ(o.row, 1);
  EXPECT_EQ(o.repairs, std::vector<int>{2});
  EXPECT_EQ(newNumbers(rows), (QStringList{"7", "", "8"}));
  EXPECT_EQ(marks(rows.size(), o), (std::vector<Mark>{Mark::None, Mark::Taken, Mark::Duplicate}));
}

TEST(BatchAutoResolve, RepairsTwinsAsTheDatabaseComparesThemAndStopsAtBlanks) {
  FakeRegister reg;
  Rows rows = makeRows({{"1", "0013"},
                        {"2", "0013 "},
                        {"3", "a1"},
                        {"4", "A1"},
                        {"5", "００２０"},
                        {"6", "19"},
                        {"7", "19"},
                        {"8", "0020"}});
  Outcome o = resolveBoth(rows, reg);
  EXPECT_EQ(o.status, Status::Passed);
  EXPECT_EQ(o.repairs, (std::vector<int>{1, 3, 7, 6}));
  // ００２０ is 0020 and holds the value 20: 0020 moves to 21, the second 19 past both to 22.
  EXPECT_EQ(newNumbers(rows), (QStringList{"0013", "14", "a1", "1", "００２０", "19", "22", "21"}));

  // A refused number that no repair replaced stops the resolution at its row.
  reg = {};
  rows = makeRows({{"1", "0013 "}, {"2", "0013"}, {"3", "7"}});
  o = resolveBoth(rows, reg);
  EXPECT_EQ(o.status, Status::Refused);
  EXPECT_EQ(o.row, 0);
  EXPECT_EQ(newNumbers(rows), (QStringList{"0013 ", "14", "7"}));
}

TEST(BatchAutoResolve, FastEqualsLiteralOnGeneratedLists) {
  std::mt19937 rng(4711);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int repairedLists = 0, chains = 0, emptyStops = 0;
  for (int round = 0; round < 3000; ++round) {
    const int n = pick(0, 40);
    const int base = pick(0, 3) == 0 ? pick(0, 20) : pick(1, 9) * 10000 + pick(0, 50);
    const int span = std::max(1, n * pick(1, 3) / 2);
    auto number = [&] {
      QString s = QString::number(base + pick(0, span));
      if (pick(0, 9) == 0) s.prepend(QString(pick(1, 2), u'0'));  // leading zeros
      if (pick(0, 60) == 0) s = QStringLiteral("X") + s;  // no leading digits
      return s;
    };
    FakeRegister reg;
    const int registerSize = pick(0, span);
    for (int i = 0; i < registerSize; ++i) reg.holders.insert(number(), QStringLiteral("n%1").arg(i));
    Rows rows;
    for (int i = 0; i < n; ++i) {
      Row r;
      r.newNo = pick(0, 150) == 0 ? QString() : number();
      r.oldNo = pick(0, 4) == 0 ? r.newNo : number();
      rows.push_back(r);
    }
    const Rows before = rows;
    const Outcome o = resolveBoth(rows, reg);
    if (!o.repairs.empty()) ++repairedLists;
    // A chain: the next number up was held too, and the one after it, ...
    for (int r : o.repairs)
      chains += leadingValue(rows[std::size_t(r)].newNo) > leadingValue(before[std::size_t(r)].newNo) + 2;
    emptyStops += o.status == Status::Empty;
    if (o.status == Status::Passed) {
      // A passed list is sound: no twins, no changed number held in the register.
      EXPECT_EQ(manualCheck(rows, reg.lookup()).status, Status::Passed);
    }
    if (HasFailure()) {
      ADD_FAILURE() << "round " << round;
      return;
    }
  }
  // The generator really produced conflicts, repeated repairs and stops.
  EXPECT_GT(repairedLists, 1500);
  EXPECT_GT(chains, 50);
  EXPECT_GT(emptyStops, 20);
}

TEST(BatchAutoResolve, FiveThousandRowsFiveHundredConflicts) {
  std::mt19937 rng(99);
  const int n = 5000;
  FakeRegister reg;
  Rows rows;
  for (int i = 0; i < n; ++i) {
    const QString old = QString::number(30000 + i);
    reg.holders.insert(old, QStringLiteral("员工%1").arg(i));
    rows.push_back({old, QString::number(10000 + 2 * i)});
  }
  std::vector<int> idx(n);
  for (int i = 0; i < n; ++i) idx[std::size_t(i)] = i;
  std::shuffle(idx.begin(), idx.end(), rng);
  for (int c = 0; c < 500; ++c) {
    const int r = idx[std::size_t(c)];
    if (c % 2 == 0) {
      rows[std::size_t(r)].newNo = rows[std::size_t(idx[std::size_t(c + 500)])].newNo;  // twin of another row
    } else {
      reg.holders.insert(rows[std::size_t(r)].newNo, QStringLiteral("无岗位%1").arg(c));  // held in the register
    }
  }
  Rows slowRows = rows;
  FakeRegister slowReg = reg;
  using clock = std::chrono::steady_clock;
  auto t0 = clock::now();
  const Outcome slow = literal::autoResolve(slowRows, slowReg.lookup());
  const double slowMs = std::chrono::duration<double, std::milli>(clock::now() - t0).count();
  // The fast one is timed as the best of a few runs, so that a busy machine does not decide.
  Outcome fast;
  Rows fastRows;
  FakeRegister fastReg;
  double fastMs = 1e300;
  for (int run = 0; run < 5; ++run) {
    fastRows = rows;
    fastReg = reg;
    auto t1 = clock::now();
    fast = autoResolve(fastRows, fastReg.lookup());
    fastMs = std::min(fastMs, std::chrono::duration<double, std::milli>(clock::now() - t1).count());
  }
  EXPECT_EQ(fast, slow);
  EXPECT_EQ(newNumbers(fastRows), newNumbers(slowRows));
  EXPECT_EQ(fast.repairs.size(), 500u);
  std::printf("automatic check, 5000 rows, 500 conflicts: literal %.1f ms, %lld lookups; fast %.2f ms, %lld lookups\n",
              slowMs, static_cast<long long>(slowReg.calls), fastMs, static_cast<long long>(fastReg.calls));
  EXPECT_GE(slowReg.calls, 100 * fastReg.calls);
  EXPECT_LE(fastReg.calls, n + 500);  // one per distinct number
  EXPECT_GE(slowMs, 100 * fastMs);
}
