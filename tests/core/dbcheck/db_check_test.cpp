// The check of a database against the columns the tool rewrites: what is missing, and what may hold
// employee numbers without being rewritten; in the operations module and as `--check-database`.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "db/database.h"
#include "core/common/added_columns.h"
#include "core/dbcheck/dbcheck_ops.h"
#include "core/session/session.h"
#include "tests/support/harness.h"
#include "tests/support/test_data.h"
#include "tests/support/tool_run.h"

namespace {

class DbCheck : public ::testing::Test {
 protected:
  Harness h;
  void SetUp() override {
    for (int i = 1; i <= 30; ++i)
      testdata::employee({.number = QString::number(5000 + i), .name = QStringLiteral("员工%1").arg(i)});
  }
  dbcheck::Report check() { return dbcheck::check(h.database(), h.session().addedColumns()); }
};

TEST_F(DbCheck, AnUntouchedHostSchemaHasNothingToReportInAFewStatements) {
  QStringList wide;
  for (int i = 1; i <= 60; ++i) wide << QStringLiteral("c%1 nvarchar(50)").arg(i);
  h.exec("CREATE TABLE 宽表 (" + wide.join(", ") + ")");
  h.clearStatements();
  const dbcheck::Report r = check();
  EXPECT_TRUE(r.missing.empty());
  EXPECT_TRUE(r.suspects.empty());
  EXPECT_TRUE(r.ok()) << r.text().toStdString();
  // The catalogue, the columns' properties, the foreign keys, the CHECK constraints, the triggers,
  // the rows that stay, the unlisted employees; then the 37 text columns of the host schema and the
  // 60 of 宽表 sampled 50 to a statement.
  EXPECT_EQ(h.statements().size(), 7 + 2) << h.statements().join("\n").toStdString();
}

TEST_F(DbCheck, FindsMissingTablesAndColumnsWithTheOperationsTheyBreak) {
  h.exec("DROP TABLE 出勤");
  h.exec("DROP TABLE 员工记录");
  h.exec("CREATE TABLE 员工记录 (ID INTEGER PRIMARY KEY, 备注 TEXT)");  // the table without its 工号
  const dbcheck::Report r = check();
  ASSERT_EQ(r.missing.size(), 2u);
  EXPECT_EQ(r.missing[0].table, "员工记录");
  EXPECT_EQ(r.missing[0].column, "工号");
  // Every renumber rewrites every column, so each of them would fail.
  const QStringList all{"单个修改", "批量上传", "无岗位处理"};
  EXPECT_EQ(r.missing[0].operations, all);
  EXPECT_EQ(r.missing[1].table, "出勤");
  EXPECT_TRUE(r.missing[1].column.isEmpty());
  EXPECT_EQ(r.missing[1].operations, all);
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.text().contains("员工记录.工号  影响：单个修改、批量上传、无岗位处理"));
  EXPECT_TRUE(r.text().contains("出勤（整张表）  影响：单个修改、批量上传、无岗位处理"));
}

TEST_F(DbCheck, FindsColumnsByNameAndByContentButNotByChance) {
  h.exec("CREATE TABLE 外包人员 (ID INTEGER PRIMARY KEY, 员工编号 TEXT, 姓名 TEXT)");
  h.exec("INSERT INTO 外包人员 (员工编号, 姓名) VALUES ('5001', '甲')");
  h.exec("CREATE TABLE 门禁卡 (ID INTEGER PRIMARY KEY, 持卡人 TEXT, 卡号 TEXT, 次数 INTEGER)");
  for (int i = 1; i <= 30; ++i)  // 持卡人: 20 register numbers, just enough; 卡号: 19 of them, one short
    h.exec(QStringLiteral("INSERT INTO 门禁卡 (持卡人, 卡号, 次数) VALUES ('%1', '%2', %3)")
               .arg(i <= 20 ? 5000 + i : 9000 + i)
               .arg(i <= 19 ? 5000 + i : 8000 + i)
               .arg(5000 + i));
  const dbcheck::Report r = check();
  EXPECT_TRUE(r.missing.empty());
  ASSERT_EQ(r.suspects.size(), 2u);
  EXPECT_EQ(r.suspects[0].table, "外包人员");
  EXPECT_EQ(r.suspects[0].column, "员工编号");
  EXPECT_TRUE(r.suspects[0].byName);
  EXPECT_EQ(r.suspects[0].registerValues, 1);
  EXPECT_EQ(r.suspects[1].table, "门禁卡");
  EXPECT_EQ(r.suspects[1].column, "持卡人");
  EXPECT_FALSE(r.suspects[1].byName);
  EXPECT_EQ(r.suspects[1].registerValues, 20);
  EXPECT_TRUE(r.text().contains("门禁卡.持卡人  内容：20个值是员工档案中的工号"));
  EXPECT_TRUE(r.text().contains("抽样"));

  // Progress counts the sampled columns; a stop ends the check with nothing reported.
  std::vector<std::pair<int, int>> seen;
  const dbcheck::Report counted = dbcheck::check(Harness::current().database(), {}, [&](int done, int total) {
    if (done >= 0) seen.emplace_back(done, total);
    return true;
  });
  EXPECT_EQ(counted.suspects.size(), 2u);
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen.front(), std::make_pair(0, 0));  // reading the catalogue
  EXPECT_EQ(seen.back(), std::make_pair(41, 41));  // every column sampled: 37 of the host schema and 4 here
  EXPECT_THROW(dbcheck::check(Harness::current().database(), {}, [](int done, int) { return done < 1; }),
               common::Cancelled);
}

// Every column the tool does not rewrite is sampled, in the tables it knows too; a name with
// brackets, quotes or blanks is read on the embedded engine as on SQL Server, and cannot be added.
TEST_F(DbCheck, FindsColumnsTheToolDoesNotRewriteInItsOwnTablesAndUnderAnyName) {
  h.exec("ALTER TABLE 职能部门new ADD COLUMN 负责人 TEXT");
  h.exec("CREATE TABLE [门禁 '卡'] (ID INTEGER PRIMARY KEY, [持卡[人]]] TEXT)");
  for (int i = 1; i <= 24; ++i)
    h.exec(QStringLiteral("INSERT INTO 职能部门new (负责人) VALUES ('%1') INSERT INTO [门禁 '卡'] ([持卡[人]]]) VALUES "
                          "('%1')")
               .arg(5000 + i));
  const dbcheck::Report r = check();
  ASSERT_EQ(r.suspects.size(), 2u) << r.text().toStdString();
  EXPECT_EQ(r.suspects[0].table + "." + r.suspects[0].column + " " + r.suspects[0].reason(),
            "职能部门new.负责人 内容：24个值是员工档案中的工号");
  EXPECT_EQ(r.suspects[1].table + "." + r.suspects[1].column + " " + r.suspects[1].reason(),
            "门禁 '卡'.持卡[人] 内容：24个值是员工档案中的工号");
  EXPECT_FALSE(common::added::refusal({r.suspects[1].table, r.suspects[1].column}).isEmpty());
}

// How the database declares the columns the tool rewrites, and the foreign keys and triggers that
// take part in a renumber. The embedded engine declares them as SQL Server would enforce them.
TEST_F(DbCheck, ReportsNarrowAndNonCharacterColumnsForeignKeysAndTriggers) {
  h.exec("DROP TABLE 员工记录");  // narrower, and a key without a cascade to the register
  h.exec("CREATE TABLE 员工记录 (ID INTEGER PRIMARY KEY, 工号 VARCHAR(10) REFERENCES 员工档案 (工号), 备注 TEXT)");
  h.exec("DROP TABLE 员工照片");  // cascades, but the staging rewrites it before the register
  h.exec("CREATE TABLE 员工照片 (ID INTEGER PRIMARY KEY, 工号 TEXT REFERENCES 员工档案 (工号) ON UPDATE CASCADE)");
  h.exec("DROP TABLE 出勤");
  h.exec("CREATE TABLE 出勤 (ID INTEGER PRIMARY KEY, 员工编号 INTEGER)");
  // A column the database itself rewrites is no suspect, though it holds numbers.
  h.exec("CREATE TABLE 门禁卡 (ID INTEGER PRIMARY KEY, 持卡人 TEXT REFERENCES 员工档案 (工号) ON UPDATE CASCADE)");
  for (int i = 1; i <= 24; ++i) h.exec(QStringLiteral("INSERT INTO 门禁卡 (持卡人) VALUES ('%1')").arg(5000 + i));
  h.exec("CREATE TRIGGER 记录审计 AFTER UPDATE OF 工号 ON 员工记录 BEGIN UPDATE 员工档案temp SET 类型 = 类型; END");
  h.exec("CREATE TRIGGER 照片登记 AFTER INSERT ON 员工照片 BEGIN SELECT 1; END");
  h.exec("CREATE TRIGGER 门禁审计 AFTER UPDATE ON 门禁卡 BEGIN SELECT 1; END");  // not a rewritten table
  const dbcheck::Report r = check();
  EXPECT_TRUE(r.missing.empty());
  EXPECT_TRUE(r.suspects.empty()) << r.text().toStdString();
  EXPECT_FALSE(r.ok());
  const QString text = r.text();
  EXPECT_TRUE(text.contains(
      "改写的列（92列）：nvarchar(50) SQLSERVER_CI 89列，varchar(10) SQLSERVER_CI 1列，text SQLSERVER_CI 1列，integer "
      "1列\n"
      "类型或宽度不符的改写列：\n"
      "  员工记录.工号  varchar(10)比员工档案.工号窄：更长的新工号写不进去，修改会失败并全部撤销\n"
      "  出勤.员工编号  "
      "类型为integer，不是字符类型：含非数字字符的新工号写不进去，前导零会丢失；无岗位员工的工号加9会变成数值相加（13变"
      "成22），因此加9会被拒绝\n"
      "没有索引的改写列：\n"
      "  员工记录.工号  没有以此列开头的索引：每次修改工号都要扫描整张表，扫描期间持有锁，其他程序要等待\n"
      "  员工照片.工号  没有以此列开头的索引：每次修改工号都要扫描整张表，扫描期间持有锁，其他程序要等待\n"
      "  出勤.员工编号  没有以此列开头的索引：每次修改工号都要扫描整张表，扫描期间持有锁，其他程序要等待\n"
      "涉及改写列的外键：\n"
      "  员工照片.工号  更新规则CASCADE：员工照片.工号在员工档案.工号之前改写，员工在员工照片中有记录时"
      "修改会失败并全部撤销；影响：无岗位处理\n"
      "  员工记录.工号  更新规则NO ACTION：引用员工档案.工号，员工在员工记录中有记录时修改工号会失败并全部"
      "撤销；影响：单个修改、批量上传、无岗位处理\n"
      "  门禁卡.持卡人  更新规则CASCADE：引用员工档案.工号，修改工号时数据库随之改写门禁卡.持卡人\n"
      "改写的表上的触发器：\n"
      "  照片登记（员工照片）  只在插入或删除时运行：修改工号不触发它\n"
      "  记录审计（员工记录）  员工记录的记录更新时运行：修改工号时它也运行，它的改写一并提交，它报错时"
      "修改失败并全部撤销\n"))
      << text.toStdString();
  EXPECT_EQ(r.keyProblems().size(), 2u);
}

// What else a rewritten column's declaration means, on tables made for the test: another
// collation than the register's, a computed and an identity column, no index, CHECK constraints
// (of the column and of the table), a trigger that drops the update (the embedded engine's
// INSTEAD OF: a BEFORE trigger with RAISE(IGNORE)); and a column whose value does not convert
// when read is noted while the columns beside it are still sampled.
TEST_F(DbCheck, ReportsWhatTheDeclarationsMeanAndGoesOnPastAColumnItCannotRead) {
  h.exec("DROP TABLE 员工记录");
  h.exec(
      "CREATE TABLE 员工记录 (ID INTEGER PRIMARY KEY, 工号 nvarchar(50) COLLATE NOCASE CONSTRAINT CK_员工记录_工号 "
      "CHECK (工号 <> ''), 备注 TEXT, CHECK (length(工号) >= 4 OR 备注 IS NULL), CHECK (备注 <> ''))");
  h.exec("CREATE INDEX IX_员工记录_工号 ON 员工记录 (工号)");
  h.exec("DROP TABLE 员工照片");
  h.exec("CREATE TABLE 员工照片 (ID INTEGER PRIMARY KEY, 工号 nvarchar(50))");
  h.exec("CREATE TRIGGER 照片只读 BEFORE UPDATE ON 员工照片 BEGIN SELECT RAISE(IGNORE); END");
  h.exec("DROP TABLE 出勤");
  h.exec("CREATE TABLE 出勤 (员工编号 INTEGER PRIMARY KEY AUTOINCREMENT)");
  h.exec("DROP TABLE 员工考勤卡信息");
  h.exec(
      "CREATE TABLE 员工考勤卡信息 (ID INTEGER PRIMARY KEY, 卡号 nvarchar(50), 工号 nvarchar(50) GENERATED ALWAYS AS "
      "(卡号) VIRTUAL)");
  h.exec("CREATE INDEX IX_员工考勤卡信息_工号 ON 员工考勤卡信息 (工号)");
  h.exec("CREATE TABLE 门禁卡 (ID INTEGER PRIMARY KEY, 卡号 TEXT, 持卡人 TEXT)");
  for (int i = 1; i <= 24; ++i)
    h.exec(QStringLiteral("INSERT INTO 门禁卡 (卡号, 持卡人) VALUES ('A%1', '%2')").arg(i).arg(5000 + i));
  h.exec(
      "ALTER TABLE 门禁卡 ADD COLUMN 卡值 TEXT GENERATED ALWAYS AS (CONVERT(int, 卡号)) VIRTUAL");  // computed when read
  const dbcheck::Report r = check();
  EXPECT_FALSE(r.ok());
  const QStringList lines = r.text().split('\n');
  const QStringList expected{
      "可能遗漏的工号列（本工具不修改）：",
      "  门禁卡.持卡人  内容：24个值是员工档案中的工号",
      "改写的列（92列）：nvarchar(50) SQLSERVER_CI 90列，nvarchar(50) NOCASE 1列，integer 1列",
      "类型或宽度不符的改写列：",
      "  出勤.员工编号  类型为integer，不是字符类型：含非数字字符的新工号写不进去，前导零会丢失；无岗位员工的工号加9会"
      "变成数值相加（13变成22），因此加9会被拒绝",
      "排序规则与员工档案.工号不同的改写列：",
      "  员工记录.工号  排序规则NOCASE与员工档案.工号的SQLSERVER_CI不同：与工号列比较时数据库报排序规则冲突（Msg "
      "468），或按另一种规则判断工号是否相同",
      "不能改写的列（计算列或标识列）：",
      "  员工考勤卡信息.工号  计算列：数据库不允许改写它，修改工号会失败并全部撤销",
      "  出勤.员工编号  标识列（IDENTITY）：数据库不允许改写它，修改工号会失败并全部撤销",
      "没有索引的改写列：",
      "  员工照片.工号  没有以此列开头的索引：每次修改工号都要扫描整张表，扫描期间持有锁，其他程序要等待",
      "涉及改写列的CHECK约束：",
      "  CK_员工记录_工号：员工记录.工号  CHECK (工号 <> '')：新工号不满足此条件时修改会失败并全部撤销",
      "  员工记录.工号  CHECK (length(工号) >= 4 OR 备注 IS NULL)：新工号不满足此条件时修改会失败并全部撤销",
      "改写的表上的触发器：",
      "  照片只读（员工照片）  INSTEAD OF触发器：员工照片的更新由它代替执行，修改工号时数据库不直接改写这张表，工号可能"
      "没有改变",
      "无法读取的列（检查跳过了它们）：",
      "  门禁卡.卡值  无法读取：Conversion failed when converting the varchar value 'A1' to data type int.",
  };
  EXPECT_EQ(lines.mid(1, expected.size()), expected) << r.text().toStdString();
}

// Notes beside the findings: 员工档案temp rows of other kinds under an employee's number (they stay
// at every renumber), and employees with a position code or a position's department that no longer exists.
TEST_F(DbCheck, NotesTheRowsThatStayAndTheEmployeesTheBatchWindowDoesNotList) {
  h.exec(
      "INSERT INTO 员工档案temp (工号, 类型) VALUES ('5001', '档案信息修改') "
      "INSERT INTO 员工档案temp (工号, 类型) VALUES ('5001', '离职') INSERT INTO 员工档案temp (工号) VALUES ('5002') "
      "INSERT INTO 员工档案temp (工号, 类型) VALUES ('9999', '离职')");
  testdata::department("D01", "综合部");
  testdata::position("P01", "主管", "D01");
  testdata::position("P09", "撤销岗", "D99");
  testdata::employee({.number = "6001", .name = "有岗", .position = "P01"});
  testdata::employee({.number = "6003", .name = "撤岗", .position = "P09"});
  testdata::employee({.number = "6002", .name = "旧岗", .position = "P77"});
  const dbcheck::Report r = check();
  EXPECT_TRUE(r.ok());  // notes, no missing or missed column
  ASSERT_EQ(r.staying.size(), 1u);
  EXPECT_EQ(r.staying[0].table + "." + r.staying[0].column + " " + r.staying[0].condition,
            "员工档案temp.工号 类型='档案信息修改'");
  EXPECT_EQ(r.staying[0].rows, 2);
  ASSERT_EQ(r.unlisted.size(), 2u);
  EXPECT_EQ(r.unlisted[0].number + " " + r.unlisted[0].name + " " + r.unlisted[0].reason(),
            "6002 旧岗 岗位编号P77在岗位信息new中不存在");
  EXPECT_EQ(r.unlisted[1].number + " " + r.unlisted[1].name + " " + r.unlisted[1].reason(),
            "6003 撤岗 岗位P09所属部门在职能部门new中不存在");
  EXPECT_TRUE(
      r.text().contains("留在原工号下的记录（修改工号时按条件不改写）：\n  员工档案temp.工号  2行不满足 "
                        "类型='档案信息修改'\n工号统一修改不列出的员工（岗位不存在）：\n  6002 旧岗  "
                        "岗位编号P77在岗位信息new中不存在\n  6003 撤岗  岗位P09所属部门在职能部门new中不存在\n"))
      << r.text().toStdString();
}

// The executable with its settings in a folder of the test's own.
Ran checkDatabase(const QString& svr) {
  QTemporaryDir config;
  writeHostSettings(config.path(), svr);
  return runTool(QStringLiteral(RENUMBER_EXE), {"--check-database"}, {{"XDG_CONFIG_HOME", config.path()}});
}

TEST_F(DbCheck, CommandLineExitCodesSayWhatWasFound) {
  const Ran clean = checkDatabase("sqlite:" + h.databasePath());
  EXPECT_EQ(clean.code, 0) << clean.err.toStdString();
  EXPECT_TRUE(clean.out.contains("缺少的表或列：无"));
  // The table stays, the column its condition names goes: every statement on it would fail.
  h.exec("DROP TABLE 员工档案temp");
  h.exec("CREATE TABLE 员工档案temp (ID INTEGER PRIMARY KEY, 工号 TEXT)");
  const Ran condition = checkDatabase("sqlite:" + h.databasePath());
  EXPECT_EQ(condition.code, 1) << condition.err.toStdString();
  EXPECT_TRUE(condition.out.contains(
      "缺少的表或列（修改工号时会出错并回滚）：\n  员工档案temp.类型  影响：单个修改、批量上传、无岗位处理\n"))
      << condition.out.toStdString();
  h.exec("DROP TABLE 出勤");
  const Ran found = checkDatabase("sqlite:" + h.databasePath());
  EXPECT_EQ(found.code, 1);
  EXPECT_TRUE(found.out.contains("出勤（整张表）"));
  const Ran none = checkDatabase("sqlite:" + h.dir() + "/nowhere.db");
  EXPECT_EQ(none.code, 2);
  EXPECT_TRUE(none.err.contains("数据库连接失败"));
  EXPECT_TRUE(none.out.isEmpty());
}

}  // namespace

namespace {

TEST(AddedColumns, AreKeptPerDatabaseSurviveARestartAndRefuseNamesThatAreNotPlain) {
  QTemporaryDir dir;
  const QString file = dir.filePath("renumber.ini");
  {
    common::added::Store store(file, "sqlite:/a.db");
    EXPECT_EQ(store.add({"门禁卡", "持卡人"}), "");
    EXPECT_EQ(store.add({"门禁卡", "持卡人"}), "");  // a second time changes nothing
    EXPECT_EQ(store.add({"外包人员", "员工编号"}), "");
    for (const common::added::AddedColumn& bad : std::vector<common::added::AddedColumn>{
             {"门禁[卡", "持卡人"}, {"门禁卡", "持卡人'"}, {"a;DROP", "b"}, {"门禁 卡", "x"}, {"", "x"}})
      EXPECT_FALSE(common::added::Store(file, "sqlite:/a.db").add(bad).isEmpty()) << bad.table.toStdString();
  }
  common::added::Store again(file, "sqlite:/a.db");  // as after a restart
  EXPECT_EQ(again.columns(), (std::vector<common::added::AddedColumn>{{"门禁卡", "持卡人"}, {"外包人员", "员工编号"}}));
  EXPECT_TRUE(common::added::Store(file, "server/other").columns().empty());  // another database has its own list
  again.remove({"门禁卡", "持卡人"});
  EXPECT_EQ(common::added::Store(file, "sqlite:/a.db").columns(),
            (std::vector<common::added::AddedColumn>{{"外包人员", "员工编号"}}));
}

TEST_F(DbCheck, AnAddedColumnIsCheckedForPresenceAndIsNoLongerASuspect) {
  h.exec("CREATE TABLE 外包人员 (ID INTEGER PRIMARY KEY, 员工编号 TEXT)");
  const dbcheck::Report r =
      dbcheck::check(Harness::current().database(), {{"外包人员", "员工编号"}, {"门禁卡", "持卡人"}});
  EXPECT_TRUE(r.suspects.empty());
  ASSERT_EQ(r.missing.size(), 1u);
  EXPECT_EQ(r.missing[0].table, "门禁卡");
  EXPECT_EQ(r.missing[0].column, "持卡人");
}

}  // namespace
