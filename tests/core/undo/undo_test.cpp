// The undo of a journal entry on the core: a renumber, a batch and a staging taken back to the
// database before them, refused when a number moved on or an old number is held again, asked
// before a merge, bounded in what it lists, and a stop at any point changes nothing.
#include <gtest/gtest.h>

#include <QStringList>

#include "tests/support/journal_fixture.h"

namespace {

using single::RenumberResult;
using testdb::Snapshot;
using testdb::snapshot;
using undo::UndoStatus;

using Journal = JournalOrganisation;

TEST_F(Journal, UndoRestoresTheDatabaseButTheSerialAndIsJournaledOnce) {
  const Snapshot before = snapshot();
  ASSERT_EQ(single::renumber(session, "0007", "0012", single::SerialUpdate{rowId, 5}), RenumberResult::Done);
  const undo::UndoCheck ready = undo::checkUndo(session, 1);
  EXPECT_EQ(ready.status, UndoStatus::Ready);
  // The record of another kind the renumber left under the old number is the employee's own: the
  // undo asks nothing about it.
  EXPECT_EQ(ready.held, std::vector<undo::Held>{});
  h.clearStatements();
  EXPECT_EQ(undo::undo(session, 1).status, UndoStatus::Done);
  EXPECT_EQ(hostStatements().last(), single::renumberBatch("0012", "0007", {}));
  // Everything is back but the serial handed out, which stays.
  const Snapshot expected = testdb::renamedColumn(before, "员工工号编码规则", "流水号", "2", "5", "ID=" + rowId);
  EXPECT_EQ(testdb::difference(expected, snapshot()), QString());

  const std::vector<journal::Entry> entries = all();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].operation, "撤销");
  EXPECT_EQ(entries[0].undoes, 1);
  EXPECT_EQ(entries[0].pairs, (std::vector<journal::Pair>{{"0012", "0007", "张三"}}));
  EXPECT_EQ(entries[0].rows, entries[1].rows);  // the same rows moved back
  EXPECT_EQ(entries[0].statement, single::renumberBatch("0012", "0007", {}));
  EXPECT_EQ(entries[1].undoneBy, 2);
  EXPECT_EQ(undo::undoMessage({.status = UndoStatus::Done, .serialStored = true}, 1),
            "第1条修改记录已撤销。编号规则的流水号未退回。");
  EXPECT_EQ(undo::undoMessage({UndoStatus::Done}, 1), "第1条修改记录已撤销。");

  // A second undo, and an undo of the undo, are refused without a change.
  const Snapshot after = snapshot();
  const undo::UndoCheck twice = undo::undo(session, 1);
  EXPECT_EQ(twice.status, UndoStatus::AlreadyUndone);
  EXPECT_EQ(undo::undoMessage(twice, 1), "第1条修改记录已经撤销过，不能再次撤销");
  EXPECT_EQ(undo::undo(session, 2).status, UndoStatus::NotUndoable);
  EXPECT_EQ(undo::undo(session, 9).status, UndoStatus::Missing);
  EXPECT_EQ(testdb::difference(after, snapshot()), QString());
  EXPECT_EQ(all().size(), 2u);
  EXPECT_FALSE(database.inTransaction());
}

TEST_F(Journal, UndoIsRefusedWhenTheNumberMovedOnOrTheOldNumberIsTakenAndAsksBeforeAMerge) {
  ASSERT_EQ(single::renumber(session, "0007", "0012", std::nullopt), RenumberResult::Done);
  h.exec("UPDATE 员工档案 SET 工号='0013' WHERE 工号='0012'");  // renumbered again by hand
  Snapshot before = snapshot();
  undo::UndoCheck c = undo::undo(session, 1);
  EXPECT_EQ(c.status, UndoStatus::NumberMovedOn);
  EXPECT_EQ(undo::undoMessage(c, 1), "员工档案中工号0012已不属于一名员工，可能已被再次修改，不能撤销");
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());

  h.exec("UPDATE 员工档案 SET 工号='0012' WHERE 工号='0013'");
  // Someone else came to share the number: named as such, not blamed on a second change.
  addEmployee("0012", "同号");
  before = snapshot();
  c = undo::undo(session, 1);
  EXPECT_EQ(c.status, UndoStatus::NumberShared);
  EXPECT_EQ(undo::undoMessage(c, 1),
            "员工档案中工号0012现由2名员工共用（张三、同号），本条修改记录只把1名员工改为该工号，不能撤销");
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  h.exec("DELETE FROM 员工档案 WHERE 姓名='同号'");
  addEmployee("0007", "新人");
  before = snapshot();
  c = undo::undo(session, 1);
  EXPECT_EQ(c.status, UndoStatus::OldNumberTaken);
  EXPECT_EQ(undo::undoMessage(c, 1), "原工号0007已被其他员工使用，不能撤销");
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_EQ(all().size(), 1u);

  h.exec("DELETE FROM 员工档案 WHERE 姓名='新人'");
  h.exec("INSERT INTO 工资单明细 (员工编号) VALUES ('0007')");
  c = undo::checkUndo(session, 1);
  EXPECT_EQ(c.status, UndoStatus::Ready);
  EXPECT_EQ(c.held, (std::vector<undo::Held>{{"0007", "工资单明细 1行"}}));
  EXPECT_EQ(undo::undoMergeQuestion(c),
            "新工号0007在以下表中已有记录：工资单明细 1行。继续修改将把这些记录并入该员工，是否继续？");

  // A later entry gave the old number to another employee: it is named, to be undone first.
  addEmployee("0050", "王五");
  ASSERT_EQ(single::renumber(session, "0050", "0007", std::nullopt), RenumberResult::Done);
  c = undo::checkUndo(session, 1);
  EXPECT_EQ(c.status, UndoStatus::OldNumberTaken);
  EXPECT_EQ(undo::undoMessage(c, 1), "原工号0007已被其他员工使用，不能撤销：第2条修改记录（单个修改，" +
                                         journal().entry(2, 0)->time.toString(journal::kTimeFormat) +
                                         "）把这个工号给了员工，请先撤销第2条记录");
}

// A batch with a chain (0007 -> 5000 -> 6000, 5000 free before) and a row left as it was is undone
// to the database before it: the renames replayed in reverse, the unchanged row skipped.
TEST_F(Journal, ABatchApplyWithAChainAndAnUnchangedRowIsUndoneToo) {
  const Snapshot before = snapshot();
  ASSERT_TRUE(batch::applyRows(session, {{"0007", "5000"}, {"5000", "6000"}, {"0099", "0099"}}).applied());
  ASSERT_EQ(h.value("SELECT 姓名 FROM 员工档案 WHERE 工号='6000'"), "张三");
  h.clearStatements();
  EXPECT_EQ(undo::undo(session, 1).status, UndoStatus::Done);
  EXPECT_EQ(hostStatements().last(),
            single::renumberBatch("6000", "5000", {}) + " " + single::renumberBatch("5000", "0007", {}));
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
}

// Two batches where the later gave the earlier's old number to another employee: the earlier alone
// is refused, and offered together with the later one, newest first; answered 是 both go back in one
// transaction, each journaled as an undo; a statement failing in the second leaves everything as it was.
TEST_F(Journal, AnEarlierBatchIsUndoneTogetherWithTheLaterOneThatTookItsOldNumber) {
  const Snapshot before = snapshot();
  ASSERT_TRUE(batch::applyRows(session, {{"0007", "5000"}}).applied());
  ASSERT_TRUE(batch::applyRows(session, {{"0099", "0007"}}).applied());
  const Snapshot after = snapshot();
  const undo::UndoPlan plan = undo::planUndo(session, 1);
  ASSERT_TRUE(plan.ready());
  EXPECT_EQ(plan.entries, (std::vector<qint64>{2, 1}));
  ASSERT_EQ(plan.questions.size(), 1u);
  EXPECT_EQ(plan.questions[0].text,
            "原工号0007已被其他员工使用，不能撤销：第2条修改记录（批量修改，" +
                journal().entry(2, 0)->time.toString(journal::kTimeFormat) +
                "）把这个工号给了员工，请先撤销第2条记录。是否把第2条、第1条记录一起撤销（从新到旧）？");

  // The undo of entry 1 (5000 back to 0007) fails after entry 2's went through: nothing changes.
  testdb::rawExec(
      "CREATE TRIGGER refuse BEFORE UPDATE ON 员工档案 WHEN OLD.工号='5000' BEGIN "
      "SELECT RAISE(ABORT, 'refused'); END");
  EXPECT_THROW(undo::runUndo(session, plan), db::DbError);
  EXPECT_EQ(testdb::difference(after, snapshot()), QString());
  EXPECT_EQ(all().size(), 2u);
  testdb::rawExec("DROP TRIGGER refuse");

  const undo::Undone done = undo::runUndo(session, plan);
  EXPECT_TRUE(done.done());
  EXPECT_EQ(done.together, "第2条、第1条修改记录已一起撤销。");
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  const std::vector<journal::Entry> entries = all();  // newest first
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[1].undoes, 2);
  EXPECT_EQ(entries[1].pairs, (std::vector<journal::Pair>{{"0007", "0099", "李四"}}));
  EXPECT_EQ(entries[0].undoes, 1);
  EXPECT_EQ(entries[0].pairs, (std::vector<journal::Pair>{{"5000", "0007", "张三"}}));
}

// A batch of 250 taken back: its merge question names at most 20 of the numbers that hold
// records, the first of them first; the list reads it without its pairs and statement; a stop at
// any point of the undo leaves the database and the journal as they were.
TEST_F(Journal, ABatchUndoAsksInBoundedLinesListsLeanAndAStopChangesNothing) {
  QStringList values;
  batch::Rows rows;
  for (int i = 0; i < 250; ++i) {
    values << QString("('%1', '员工%1', '管理人员', 'P01')").arg(3000 + i);
    rows.push_back({QString::number(3000 + i), QString::number(7000 + i)});
  }
  h.exec("INSERT INTO 员工档案 (工号, 姓名, 员工类别, 岗位编号) VALUES " + values.join(", "));
  ASSERT_TRUE(batch::applyRows(session, rows).applied());
  // Records left under 25 old numbers, none of them the first row's.
  for (int i = 100; i < 125; ++i) h.exec(QString("INSERT INTO 工资单明细 (员工编号) VALUES ('%1')").arg(3000 + i));

  const undo::UndoCheck c = undo::checkUndo(session, 1);
  ASSERT_EQ(c.status, UndoStatus::Ready);
  const QStringList lines = undo::undoMergeQuestion(c).split('\n');
  ASSERT_EQ(lines.size(), 22);
  EXPECT_EQ(lines[0], "以下原工号在其他表中已有记录：3124：工资单明细 1行");  // the last renamed goes back first
  EXPECT_EQ(lines[19], "3105：工资单明细 1行");
  EXPECT_EQ(lines[20], "……另有5项");
  EXPECT_EQ(lines[21], "继续撤销将把这些记录并入相应员工，是否继续？");

  const std::vector<journal::Summary> listed = journal().summaries();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].first, (journal::Pair{"3000", "7000", "员工3000"}));
  EXPECT_EQ(listed[0].pairCount, 250);
  const std::optional<journal::Entry> head = journal().entry(1, 30);
  ASSERT_TRUE(head);
  EXPECT_EQ(head->pairs.size(), 250u);
  EXPECT_EQ(head->statement, batch::applyBatch("3000", "7000", {}).left(30));
  const qsizetype whole = journal().entry(1)->statement.size();
  EXPECT_TRUE(journal::entryText(*head, 30).endsWith(
      QString("……\n  （语句共%1个字符，这里只显示前30个；renumber --journal 打印完整的语句）\n").arg(whole)));

  const Snapshot applied = snapshot();
  for (int stopAt : {0, 1, 2, 4, 5}) {
    int calls = 0;
    const common::Progress stop = [&](int done, int) { return done == common::kStillWorking || calls++ != stopAt; };
    EXPECT_THROW(undo::undo(session, 1, stop), common::Cancelled) << stopAt;
    EXPECT_FALSE(database.inTransaction());
    EXPECT_EQ(testdb::difference(applied, snapshot()), QString()) << stopAt;
    EXPECT_EQ(all().size(), 1u);
  }
  std::vector<std::pair<int, int>> seen;
  const common::Progress record = [&](int done, int total) {
    if (done != common::kStillWorking) seen.emplace_back(done, total);
    return true;
  };
  h.clearStatements();
  EXPECT_EQ(undo::undo(session, 1, record).status, UndoStatus::Done);
  // What it sent and recorded is the undo's change, built once: the renames back, the last first.
  std::vector<journal::Pair> renamed;
  for (auto r = rows.rbegin(); r != rows.rend(); ++r) renamed.push_back({r->oldNo, r->newNo, QString()});
  const QStringList executions = undo::undoChange(1, renamed, {}).executions;
  ASSERT_EQ(executions.size(), 3);
  const QStringList sent = h.statements();
  const qsizetype first = sent.indexOf(executions[0]);
  ASSERT_GE(first, 0);
  EXPECT_EQ(sent.mid(first, 3), executions);
  EXPECT_EQ(journal().entry(2)->statement, executions.join("\n"));
  // The checks, the journal's counts, three executions of at most 100 renames, the end.
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0, 0}, {0, 250}, {0, 250}, {100, 250}, {200, 250}, {250, 250}}));
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM 员工档案 WHERE 工号 >= '3000' AND 工号 < '3250'"), "250");
}

// A staging's undo takes every "9" back on the terms of a renumber's undo: the database as before
// the staging (also when a number is another's "9" number, or two employees share one; an employee
// whose number is Null is left out), refused when a "9" number moved on or an old number was taken,
// and once only.
TEST_F(Journal, AStagingIsUndoneToTheDatabaseBeforeItOnTheTermsOfARenumber) {
  h.exec("UPDATE 员工档案 SET 岗位编号=NULL WHERE 工号='0099'");
  for (const char* number : {"55", "955", "66", "66"}) {
    addEmployee(number, QString("无岗") + number, "管理人员", "");
    testdata::references(pinned::refColumns(), number);
  }
  addEmployee("", "无号", "管理人员", "");
  h.exec("INSERT INTO 员工档案temp (工号, 类型) VALUES ('0099', '新员工入职')");  // a kind no staging moves
  const Snapshot before = snapshot();
  batch::stageNoPosition(session, {});
  ASSERT_EQ(h.value("SELECT COUNT(*) FROM 员工档案 WHERE 工号 IN ('90099', '955', '9955', '966')"), "5");
  std::vector<journal::Entry> entries = all();
  ASSERT_EQ(entries.size(), 1u);
  std::vector<journal::Pair> pairs = entries[0].pairs;
  std::sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
  EXPECT_EQ(pairs, (std::vector<journal::Pair>{{"55", "955", "无岗55"},
                                               {"66", "966", "无岗66"},
                                               {"66", "966", "无岗66"},
                                               {"955", "9955", "无岗955"},
                                               {"0099", "90099", "李四"}}));
  const undo::UndoCheck ready = undo::checkUndo(session, 1);
  EXPECT_EQ(ready.status, UndoStatus::Ready);
  // The record of another kind the staging left under 0099: no question.
  EXPECT_EQ(ready.held, std::vector<undo::Held>{});

  h.clearStatements();
  EXPECT_EQ(undo::undo(session, 1).status, UndoStatus::Done);
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  // The shorter numbers first, each once, through the renumber's own statements.
  EXPECT_EQ(hostStatements().last(),
            single::renumberBatch("955", "55", {}) + " " + single::renumberBatch("966", "66", {}) + " " +
                single::renumberBatch("9955", "955", {}) + " " + single::renumberBatch("90099", "0099", {}));
  entries = all();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].operation, "撤销");
  EXPECT_EQ(entries[0].undoes, 1);
  EXPECT_EQ(entries[1].undoneBy, 2);
  EXPECT_EQ(entries[0].pairs.size(), 4u);
  const undo::UndoCheck twice = undo::undo(session, 1);
  EXPECT_EQ(twice.status, UndoStatus::AlreadyUndone);
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());

  // Staged again (entry 3): refused while one "9" number has moved on, or an old number is taken.
  batch::stageNoPosition(session, {});
  h.exec("UPDATE 员工档案 SET 工号='77' WHERE ID=(SELECT MIN(ID) FROM 员工档案 WHERE 工号='966')");
  Snapshot staged = snapshot();
  undo::UndoCheck c = undo::undo(session, 3);
  EXPECT_EQ(c.status, UndoStatus::NumberMovedOn);
  EXPECT_EQ(undo::undoMessage(c, 3), "员工档案中工号966已不属于一名员工，可能已被再次修改，不能撤销");
  EXPECT_EQ(testdb::difference(staged, snapshot()), QString());
  h.exec("UPDATE 员工档案 SET 工号='966' WHERE 工号='77'");
  h.exec("UPDATE 员工档案 SET 工号='0099' WHERE 工号='0007'");
  staged = snapshot();
  c = undo::undo(session, 3);
  EXPECT_EQ(c.status, UndoStatus::OldNumberTaken);
  EXPECT_EQ(undo::undoMessage(c, 3), "原工号0099已被其他员工使用，不能撤销");
  EXPECT_EQ(testdb::difference(staged, snapshot()), QString());
  EXPECT_EQ(all().size(), 3u);
  EXPECT_FALSE(database.inTransaction());
  h.exec("UPDATE 员工档案 SET 工号='0007' WHERE 姓名='张三'");
  EXPECT_EQ(undo::undo(session, 3).status, UndoStatus::Done);
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
}

}  // namespace
