// The test harness itself: a fresh host database per harness, the statement log, the queries
// that tests use to look at end states, scripted dialogs and shared windows.
#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <stdexcept>

#include "tests/support/scripted_dialogs.h"
#include "tests/support/test_data.h"

namespace {

struct Probe : QWidget {
  static inline int made = 0;
  Probe() { ++made; }
};

// The exception text of a harness call that must fail.
template <class F>
QString failure(F&& call) {
  try {
    call();
  } catch (const std::runtime_error& e) {
    return QString::fromUtf8(e.what());
  }
  return QStringLiteral("(no failure)");
}

}  // namespace

TEST(Harness, FreshDatabaseWithTheSchemaAndTheStatementLog) {
  Harness h;
  EXPECT_TRUE(QFileInfo(h.databasePath()).isFile());
  EXPECT_TRUE(h.databasePath().startsWith(h.dir()));
  EXPECT_TRUE(h.statements().isEmpty());  // making the schema is not the test's doing
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM 员工档案"), "0");

  const QString insert =
      " INSERT INTO 员工档案 (工号, 姓名, 性别) VALUES ('0012', N'王五', NULL)"
      " INSERT INTO 员工档案 (工号, 姓名) VALUES ('12', N'赵六')";
  h.exec(insert);
  EXPECT_EQ(h.value("SELECT 姓名 FROM 员工档案 WHERE 工号='12'"), "赵六");
  EXPECT_EQ(h.value("SELECT 性别 FROM 员工档案 WHERE 工号='0012'"), "");  // Null
  EXPECT_EQ(h.value("SELECT 姓名 FROM 员工档案 WHERE 工号='99'"), "");  // no row
  EXPECT_EQ(h.column("SELECT 工号 FROM 员工档案 ORDER BY 工号"), (QStringList{"0012", "12"}));
  EXPECT_EQ(h.column("SELECT 性别 FROM 员工档案 ORDER BY 工号"), (QStringList{"", ""}));
  EXPECT_TRUE(h.column("SELECT 工号 FROM 员工档案 WHERE 1=0").isEmpty());
  EXPECT_EQ(h.statements(),
            (QStringList{"SELECT COUNT(*) FROM 员工档案", insert, "SELECT 姓名 FROM 员工档案 WHERE 工号='12'",
                         "SELECT 性别 FROM 员工档案 WHERE 工号='0012'", "SELECT 姓名 FROM 员工档案 WHERE 工号='99'",
                         "SELECT 工号 FROM 员工档案 ORDER BY 工号", "SELECT 性别 FROM 员工档案 ORDER BY 工号",
                         "SELECT 工号 FROM 员工档案 WHERE 1=0"}));
  h.clearStatements();
  EXPECT_TRUE(h.statements().isEmpty());
}

TEST(Harness, FailingStatementsThrowTheDatabasesText) {
  Harness h;
  EXPECT_TRUE(failure([&] { h.exec("UPDATE 没有的表 SET a=1"); }).contains("没有的表"));
  EXPECT_TRUE(failure([&] { h.value("SELECT 没有的列 FROM 员工档案"); }).contains("没有的列"));
  h.exec("INSERT INTO 员工档案 (工号) VALUES ('12')  INSERT INTO 员工档案 (工号) VALUES ('A7')");
  // A conversion failure on a later row is a failure too.
  EXPECT_TRUE(failure([&] { h.column("SELECT CONVERT(int, 工号) FROM 员工档案 ORDER BY ID"); }).contains("A7"));
}

TEST(Harness, EveryHarnessHasItsOwnDatabase) {
  {
    Harness first;
    first.exec("INSERT INTO 员工类别 (类别编号, 类别名称) VALUES ('1', N'正式工')");
    EXPECT_EQ(first.value("SELECT COUNT(*) FROM 员工类别"), "1");
  }
  Harness second;
  EXPECT_EQ(second.value("SELECT COUNT(*) FROM 员工类别"), "0");
}

TEST(Harness, SeedDemoFillsTheDatabaseAndLeavesTheLogEmpty) {
  Harness h;
  h.seedDemo();
  EXPECT_TRUE(h.statements().isEmpty());
  EXPECT_GE(h.value("SELECT COUNT(*) FROM 员工档案").toInt(), 200);
  EXPECT_GE(h.value("SELECT COUNT(*) FROM 员工工号编码规则名称").toInt(), 3);
}

TEST(Harness, ScriptedDialogsAndSharedWindows) {
  Probe::made = 0;
  {
    Harness h;
    h.answer(false);
    h.chooseFile("/tmp/x.xls");
    bool modalRan = false;
    h.onModal([&](QWidget*) { modalRan = true; });
    widgets::msg(nullptr, "修改成功");
    widgets::msg(nullptr, "数据库连接失败!", "连接提示", widgets::Icon::Information);
    EXPECT_FALSE(widgets::ask(nullptr, "是否要删除?"));
    EXPECT_TRUE(widgets::ask(nullptr, "确定要改成?"));
    EXPECT_EQ(widgets::Dialogs::current().chooseFile(nullptr, "/", "x|*.x"), "/tmp/x.xls");
    QWidget modal;
    widgets::Dialogs::current().showModal(&modal);
    EXPECT_TRUE(modalRan);
    EXPECT_EQ(h.messages(), (QStringList{"修改成功", "数据库连接失败!", "是否要删除?", "确定要改成?"}));
    EXPECT_EQ(h.titles(), (QStringList{"员工工号修改", "连接提示", "员工工号修改", "员工工号修改"}));
    EXPECT_EQ(&h.dialogs(), &widgets::Dialogs::current());

    Probe& w = h.open<Probe>();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(&h.open<Probe>(), &w);
    EXPECT_EQ(Probe::made, 1);
  }
  // The harness closed its windows and put the production dialogs back.
  EXPECT_FALSE(widgets::shared_window::exists<Probe>());
  EXPECT_EQ(dynamic_cast<widgets::ScriptedDialogs*>(&widgets::Dialogs::current()), nullptr);
  Harness again;
  again.open<Probe>();
  EXPECT_EQ(Probe::made, 2);
}

TEST(TestData, BuilderWritesQuotedRowsAndTheSmallOrganisation) {
  Harness h;
  testdata::smallOrganisation();
  EXPECT_EQ(h.column("SELECT 职能部门编号 + '/' + 职能部门名称 FROM 职能部门new ORDER BY ID"),
            (QStringList{"D01/综合部", "D02/工程部"}));
  EXPECT_EQ(h.column("SELECT 岗位代号 + '/' + 职能部门代号 + '/' + 岗位类别代号 FROM 岗位信息New ORDER BY ID"),
            (QStringList{"P01/D01/01", "P02/D02/02"}));
  EXPECT_EQ(h.column("SELECT 类别名称 + '=' + ISNULL(类别码, 'Null') FROM 员工类别 ORDER BY ID"),
            (QStringList{"保安=1", "管理人员=18", "临时工=Null"}));
  EXPECT_EQ(h.column("SELECT 类别码 + '/' + 编码规则 + '/' + 流水号位数 FROM 员工工号编码规则名称 ORDER BY ID"),
            (QStringList{"1/1/0000", "18/1/000"}));
  EXPECT_EQ(h.column("SELECT 类别代码 FROM 员工工号编码规则 WHERE 部门编号 Is Null AND 岗位类别 Is Null AND 流水号 Is "
                     "Null ORDER BY ID"),
            (QStringList{"1", "18"}));
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM 员工档案"), "0");

  // Quotes are written as they are; an empty text is Null; IDs come back.
  testdata::department("D03", "O'Hara部", "D01");
  EXPECT_EQ(h.value("SELECT 上级部门编号 FROM 上级部门new WHERE 职能部门编号='D03'"), "D01");
  const qint64 id = testdata::employee({.number = "0'7", .name = "张'三", .category = "管理人员", .position = ""});
  EXPECT_EQ(h.value("SELECT ID FROM 员工档案 WHERE 工号='0''7' AND 姓名='张''三' AND 岗位编号 Is Null AND 性别='男'"),
            QString::number(id));
  const qint64 rowId = testdata::ruleRow({.code = "18", .department = "D01", .serial = 4});
  EXPECT_EQ(h.value("SELECT 流水号 FROM 员工工号编码规则 WHERE ID=" + QString::number(rowId)), "4");

  // Reference rows: one per table of a list, the number in every column it names there.
  testdata::references(host::kSingleCascade, "0'7");
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM XZ文件记录 WHERE 拟稿人='0''7' AND 盖章人='0''7'"), "1");
  EXPECT_EQ(h.value("SELECT 类型 FROM 员工档案temp WHERE 工号='0''7'"), "档案信息修改");
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM 员工档案"), "1");  // the register is left alone
  testdata::reference(host::kSingleCascade[58], "0099");
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM TS投诉受理 WHERE 员工工号='0099'"), "1");
}
