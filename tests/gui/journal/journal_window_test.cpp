// The journal window's wiring: the menu button, the list and its filters, details, undo with its
// questions, and "导出" through the export window.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSettings>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/connection.h"
#include "app/wiring.h"
#include "app/menu/menu_window.h"
#include "gui/export/export_window.h"
#include "gui/journal/journal_window.h"
#include "tests/support/journal_fixture.h"
#include "tests/support/tool_run.h"
#include "gui/widgets/flex_grid.h"
#include "gui/widgets/progress.h"

namespace {

using JournalWindow = JournalOrganisation;

TEST_F(JournalWindow, TheMenuOpensItListingNewestFirstWithFiltersAndDetails) {
  ASSERT_EQ(single::renumber(session, "0007", "0012", std::nullopt), single::RenumberResult::Done);
  ASSERT_EQ(single::renumber(session, "0099", "0100", std::nullopt), single::RenumberResult::Done);
  frm协调& menu = h.open<frm协调>();
  EXPECT_EQ(menu.Command6->text(), "修改记录");
  menu.Command6->click();
  ASSERT_TRUE(widgets::shared_window::exists<frm修改记录>());
  frm修改记录& w = widgets::shared_window::instance<frm修改记录>();
  EXPECT_TRUE(w.isVisible());
  FlexGrid* g = w.MSFlexGrid1;
  ASSERT_EQ(g->Rows(), 3);
  EXPECT_EQ(g->TextMatrix(1, 0) + " " + g->TextMatrix(1, 3) + " " + g->TextMatrix(1, 4) + " " + g->TextMatrix(1, 5),
            "2 0099 0100 李四");
  EXPECT_EQ(g->TextMatrix(2, 2), "单个修改");
  EXPECT_EQ(w.Text5->toPlainText(), journal::entryText(journal().entries().front()));
  g->clickCell(2, 1);
  EXPECT_TRUE(w.Text5->toPlainText().startsWith("#1  "));

  w.Text1->setText("0012");
  w.Command1->click();
  ASSERT_EQ(g->Rows(), 2);
  EXPECT_EQ(w.entryId(1), 1);
  w.Text1->clear();
  w.Text2->setText("李");
  w.Command1->click();
  EXPECT_EQ(g->Rows(), 2);
  EXPECT_EQ(w.entryId(1), 2);
  w.Text2->clear();
  w.Combo1->setCurrentText("批量修改");
  w.Command1->click();
  EXPECT_EQ(g->Rows(), 1);
  w.Combo1->setCurrentText("全部");
  w.Text3->setText("2026-13-01");
  EXPECT_FALSE(w.查询());
  EXPECT_EQ(h.messages(), QStringList{"日期应按yyyy-MM-dd填写，如2026-03-01"});
  w.Text3->setText(QDate::currentDate().toString("yyyy-MM-dd"));
  w.Text4->setText(QDate::currentDate().toString("yyyy-MM-dd"));
  EXPECT_TRUE(w.查询());
  EXPECT_EQ(g->Rows(), 3);
}

TEST_F(JournalWindow, UndoAsksFirstRenumbersBackAndIsRefusedTheSecondTime) {
  ASSERT_EQ(single::renumber(session, "0007", "0012", std::nullopt), single::RenumberResult::Done);
  frm修改记录& w = h.open<frm修改记录>();
  w.MSFlexGrid1->clickCell(1, 1);
  const QString question = undo::undoQuestion(*journal().entry(1));
  EXPECT_EQ(question, "撤销第1条修改记录（单个修改）：工号0012改回0007。是否继续？");
  const testdb::Snapshot before = testdb::snapshot();
  h.answer(false);
  w.Command3->click();
  EXPECT_EQ(h.messages(), (QStringList{question, "已取消，数据库没有任何修改"}));  // 否 is told
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());

  // Yes; the record of another kind the renumber left under 0007 is the employee's: no merge question.
  w.Command3->click();
  EXPECT_EQ(h.messages().mid(2), (QStringList{question, "第1条修改记录已撤销。"}));
  EXPECT_EQ(h.value("SELECT 姓名 FROM 员工档案 WHERE 工号='0007'"), "张三");
  ASSERT_EQ(w.MSFlexGrid1->Rows(), 3);  // listed again: the undo on top
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 2), "撤销");
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(2, 7), "已由第2条撤销");
  w.MSFlexGrid1->clickCell(2, 1);
  EXPECT_FALSE(w.Command3->isEnabled());  // undone already
  w.撤销();
  EXPECT_EQ(h.messages().last(), "第1条修改记录已经撤销过，不能再次撤销");
}

TEST_F(JournalWindow, ABatchApplyIsUndoneThroughTheWindowAndAStagingCanBe) {
  const testdb::Snapshot before = testdb::snapshot();
  ASSERT_TRUE(batch::applyRows(session, {{"0007", "80007"}, {"0099", "80099"}}).applied());
  frm修改记录& w = h.open<frm修改记录>();
  ASSERT_EQ(w.entryId(1), 1);
  EXPECT_TRUE(w.Command3->isEnabled());
  const QString question = undo::undoQuestion(*journal().entry(1));
  // Stopped under its progress dialog once every rename was sent: everything rolls back.
  const testdb::Snapshot applied = testdb::snapshot();
  QStringList labels;
  widgets::ProgressDialog::setScript([&](const QString& label, int done, int total) {
    labels << label;
    return total == 0 || done < total;
  });
  w.Command3->click();
  widgets::ProgressDialog::setScript({});
  EXPECT_EQ(labels,
            (QStringList{"正在查找原工号在其他表中的记录 1 / 2", "正在核对修改记录…", "正在撤销：第 1 / 2 个工号",
                         "正在撤销：第 1 / 2 个工号", "正在撤销：第 2 / 2 个工号"}));
  EXPECT_EQ(h.messages(), (QStringList{question, "已取消，数据库没有任何修改"}));
  EXPECT_EQ(testdb::difference(applied, testdb::snapshot()), QString());
  EXPECT_EQ(all().size(), 1u);
  h.dialogs().shown.clear();
  w.Command3->click();  // yes; the record the batch left under 0007 asks nothing
  EXPECT_EQ(h.messages(), (QStringList{question, "第1条修改记录已撤销。"}));
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 2), "撤销");
  EXPECT_FALSE(w.Command3->isEnabled());  // an undo is not undone

  h.exec("UPDATE 员工档案 SET 岗位编号=NULL WHERE 工号='0099'");
  batch::stageNoPosition(session, {});
  w.Command1->click();
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 2), "无岗位处理");
  EXPECT_TRUE(w.Command3->isEnabled());
  w.MSFlexGrid1->clickCell(2, 1);
  EXPECT_FALSE(w.Command3->isEnabled());
  w.MSFlexGrid1->clickCell(3, 1);
  EXPECT_FALSE(w.Command3->isEnabled());  // undone already
}

TEST_F(JournalWindow, EntriesNotWrittenYetAreListedOnTopMarkedAndCannotBeUndone) {
  ASSERT_EQ(single::renumber(session, "0099", "0100", std::nullopt), single::RenumberResult::Done);
  refuseJournal(true);
  ASSERT_EQ(single::renumber(session, "0007", "0012", std::nullopt), single::RenumberResult::Done);
  ASSERT_EQ(journal().pendingEntries().size(), 1u);
  frm修改记录& w = h.open<frm修改记录>();
  FlexGrid* g = w.MSFlexGrid1;
  ASSERT_EQ(g->Rows(), 3);
  EXPECT_EQ(g->TextMatrix(1, 0) + " " + g->TextMatrix(1, 3) + " " + g->TextMatrix(1, 7),
            "待写入 0007 尚未写入修改记录");
  EXPECT_EQ(w.entryId(1), 0);
  EXPECT_EQ(w.Text5->toPlainText(), journal::entryText(journal().pendingEntries().front()));
  EXPECT_TRUE(w.Text5->toPlainText().startsWith("#待写入  "));
  EXPECT_FALSE(w.Command3->isEnabled());
  w.撤销();
  EXPECT_EQ(h.messages(), QStringList{"该修改记录尚未写入，写入后才能撤销"});
  EXPECT_EQ(h.value("SELECT 姓名 FROM 员工档案 WHERE 工号='0012'"), "张三");
  w.MSFlexGrid1->clickCell(2, 1);
  EXPECT_TRUE(w.Command3->isEnabled());
  w.Text1->setText("0100");
  w.Command1->click();
  ASSERT_EQ(g->Rows(), 2);
  EXPECT_EQ(w.entryId(1), 1);
}

TEST_F(JournalWindow, ExportHandsTheListToTheExportWindow) {
  ASSERT_EQ(single::renumber(session, "0007", "0012", std::nullopt), single::RenumberResult::Done);
  wireJournal();
  frm修改记录& w = h.open<frm修改记录>();
  bool shown = false;
  h.onModal([&](QWidget* window) {
    auto* x = dynamic_cast<frm输出到Excel文件*>(window);
    ASSERT_NE(x, nullptr);
    shown = true;
    EXPECT_EQ(x->SourceTable, w.MSFlexGrid1->table());
    EXPECT_TRUE(x->Text1[0]->text().endsWith("修改记录.XLS"));
    EXPECT_EQ(x->Text1[1]->text(), "工号修改记录");
    EXPECT_EQ(x->Text1[2]->text(), "修改记录");
  });
  w.Command2->click();
  EXPECT_TRUE(shown);
  widgets::shared_window::created<frm修改记录>() = {};
}

TEST(JournalStartup, TheStartOpensTheJournalOfTheSettingsInTheUsersDataFolder) {
  Harness h;
  const QString settings = QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarnholm").fileName();
  writeHostSettings(QFileInfo(settings).path(), "sqlite:" + h.databasePath(), "sa");
  h.exec("INSERT INTO 员工档案 (工号, 姓名) VALUES ('0007', '张三')");
  const std::unique_ptr<session::Session> session = Connection::Main(h.database());
  ASSERT_TRUE(session);
  EXPECT_TRUE(h.messages().isEmpty());
  ASSERT_TRUE(session->journal().active());
  const QString file = session->journal().file();
  // The user's data folder: XDG_DATA_HOME as the tests set it; %LOCALAPPDATA% on Windows.
  EXPECT_TRUE(file.startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                              "/renumber/journal/journal-"));
  EXPECT_TRUE(QFile::exists(file));
  ASSERT_EQ(single::renumber(*session, "0007", "0012", std::nullopt), single::RenumberResult::Done);
  const std::vector<journal::Entry> entries = session->journal().entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries.front().login, "sa");
  EXPECT_EQ(entries.front().server, "sqlite:" + h.databasePath());
  widgets::shared_window::closeAll();  // the menu works on the session
  QFile::remove(settings);
  session->journal().close(h.database());
  QFile::remove(file);
}

}  // namespace
