// The test harness itself: a fresh host database per harness, the statement log, the queries
// that tests use to look at end states, scripted dialogs and shared windows.
#include "tests/support/harness.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <stdexcept>

#include "tests/support/scripted_dialogs.h"

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
    ui::msg(nullptr, "修改成功");
    ui::msg(nullptr, "数据库连接失败!", "连接提示", ui::Icon::Information);
    EXPECT_FALSE(ui::ask(nullptr, "是否要删除?"));
    EXPECT_TRUE(ui::ask(nullptr, "确定要改成?"));
    EXPECT_EQ(ui::Dialogs::current().chooseFile(nullptr, "/", "x|*.x"), "/tmp/x.xls");
    QWidget modal;
    ui::Dialogs::current().showModal(&modal);
    EXPECT_TRUE(modalRan);
    EXPECT_EQ(h.messages(), (QStringList{"修改成功", "数据库连接失败!", "是否要删除?", "确定要改成?"}));
    EXPECT_EQ(h.titles(), (QStringList{"renumber", "连接提示", "renumber", "renumber"}));
    EXPECT_EQ(&h.dialogs(), &ui::Dialogs::current());

    Probe& w = h.open<Probe>();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(&h.open<Probe>(), &w);
    EXPECT_EQ(Probe::made, 1);
  }
  // The harness closed its windows and put the production dialogs back.
  EXPECT_FALSE(shared_window::exists<Probe>());
  EXPECT_EQ(dynamic_cast<ui::ScriptedDialogs*>(&ui::Dialogs::current()), nullptr);
  Harness again;
  again.open<Probe>();
  EXPECT_EQ(Probe::made, 2);
}
