// The change journal on the operations module: one entry per committed renumber with its pairs,
// rows per column and statement; none for a change that rolls back; kept across a restart; an
// entry that cannot be written is kept and written at the next open; undo of a renumber.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>

#include "db/catalogue.h"
#include "ops/common/holders.h"
#include "tests/support/journal_fixture.h"
#include "tests/support/pinned_columns.h"
#include "tests/support/tool_run.h"

namespace {

using journal::UndoStatus;
using single::RenumberResult;
using testdb::Snapshot;
using testdb::snapshot;

// The rows per column a renumber of number moves, counted on the database as it is.
std::vector<journal::ColumnRows> expectedRows(Harness& h, const QString& number) {
  std::vector<journal::ColumnRows> out;
  for (const host::RefColumn& ref : pinned::refColumns()) {
    const qint64 n = h.value("SELECT COUNT(*) FROM " + ref.tableName() + " WHERE " + ref.columnName() + "=" +
                             db::sqlQuote(number) + ref.extraCondition())
                         .toLongLong();
    if (n > 0) out.push_back({ref.tableName(), ref.columnName(), n});
  }
  return out;
}

using Journal = JournalOrganisation;

TEST_F(Journal, ASingleRenumberWritesOneEntryWithItsPairRowsAndStatement) {
  const std::vector<journal::ColumnRows> rows = expectedRows(h, "0007");
  ASSERT_GT(rows.size(), 60u);
  h.clearStatements();
  const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
  ASSERT_EQ(single::renumber(session, "0007", "0012", single::SerialUpdate{rowId, 5}), RenumberResult::Done);
  const QString batch = single::renumberBatch("0007", "0012", {}) + single::serialStatement(5, rowId);
  // The widths (once per connection); inside the transaction: the count of the old number, the
  // name, every column counted in one statement, the batch.
  const QStringList sent = hostStatements().mid(1);
  EXPECT_EQ(h.statements().first(), db::catalogueSql(database));
  // The entry goes into the journal attached to the host, inside the change's transaction behind
  // a savepoint, through the host's connection: the observer sees it.
  const QString mark = db::kEmbeddedOnly;
  EXPECT_EQ(
      journalStatements(),
      (QStringList{mark + "PRAGMA database_list", mark + "SAVEPOINT journal_entry",
                   mark + "INSERT INTO rj.entries (time, os_user, login, server, dbname, operation, statement, "
                          "undoes) VALUES (?, ?, ?, ?, ?, ?, ?, ?) RETURNING id",
                   mark + "INSERT INTO rj.statement_heads (entry, head, chars) VALUES (?, ?, ?)",
                   mark + "INSERT INTO rj.pairs (entry, seq, old_number, new_number, name) VALUES (?, ?, ?, ?, ?)",
                   mark + "INSERT INTO rj.column_rows (entry, seq, tbl, col, rows) VALUES " +
                       QStringList(qsizetype(rows.size()), "(?, ?, ?, ?, ?)").join(", "),
                   mark + "RELEASE journal_entry"}));
  EXPECT_EQ(h.statements().indexOf(mark + "RELEASE journal_entry"), h.statements().size() - 1);
  ASSERT_EQ(sent.size(), 4);
  EXPECT_EQ(sent[1], ops::registerHoldersSql({"0007"}));
  EXPECT_EQ(sent[2], journal::countSql(pinned::refColumns(), {"0007"}));
  EXPECT_TRUE(
      sent[2].startsWith("SELECT 0 AS 列, COUNT(*) AS 行数 FROM 员工档案 WHERE 工号 IN ('0007') UNION ALL "
                         "SELECT 1 AS 列, COUNT(*) AS 行数 FROM 岗位信息new WHERE 工号 IN ('0007') UNION ALL "));
  EXPECT_TRUE(sent[2].contains(" FROM 员工档案temp WHERE 工号 IN ('0007') AND 类型=N'档案信息修改' UNION ALL "));
  EXPECT_EQ(sent[2].count(" UNION ALL "), qsizetype(pinned::refColumns().size()) - 1);
  EXPECT_EQ(sent.last(), batch);

  const std::vector<journal::Entry> entries = all();
  ASSERT_EQ(entries.size(), 1u);
  const journal::Entry& e = entries.front();
  EXPECT_EQ(e.id, 1);
  EXPECT_EQ(e.operation, "单个修改");
  EXPECT_EQ(e.pairs, (std::vector<journal::Pair>{{"0007", "0012", "张三"}}));
  EXPECT_EQ(e.rows, rows);
  EXPECT_EQ(e.statement, batch);
  EXPECT_EQ(e.server, "sqlite:" + h.databasePath());
  EXPECT_EQ(e.login, "sa");
  EXPECT_FALSE(e.osUser.isEmpty());
  EXPECT_GE(e.time, before);
  EXPECT_LE(e.time, QDateTime::currentDateTime());
  EXPECT_EQ(e.undoes, 0);
  EXPECT_EQ(e.undoneBy, 0);
  // The staging copy counts only the kind of record the renumber moves; the register one row.
  for (const journal::ColumnRows& c : e.rows) {
    if (c.table == "员工档案temp" || c.table == "员工档案") {
      EXPECT_EQ(c.rows, 1) << c.table.toStdString();
    }
    if (c.table == "XZ文件记录") {
      EXPECT_EQ(c.rows, 2) << c.column.toStdString();  // the record drafted and stamped by 0007, and one more
    }
  }
  EXPECT_TRUE(journal::entryText(e).contains("  0007 -> 0012  张三\n"));
  EXPECT_TRUE(journal::entryText(e).contains("员工档案.工号 1行，"));
  EXPECT_TRUE(journal().pendingEntries().empty());
  EXPECT_EQ(journal().takeNotice(), "");
}

TEST_F(Journal, AChangeThatRollsBackOrIsRefusedWritesNoEntry) {
  h.exec("DROP TABLE 工资事务处理人设置");
  const Snapshot before = snapshot();
  EXPECT_THROW(single::renumber(session, "0007", "0012", single::SerialUpdate{rowId, 5}), std::runtime_error);
  EXPECT_EQ(single::renumber(session, "0008", "0012", std::nullopt), RenumberResult::OldNumberGone);
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_TRUE(all().empty());
  EXPECT_TRUE(journal().pendingEntries().empty());
  EXPECT_FALSE(QFile::exists(journal().pendingFile()));
}

TEST_F(Journal, EntriesSurviveARestartAndEachDatabaseHasItsOwnJournal) {
  ASSERT_EQ(single::renumber(session, "0007", "0012", std::nullopt), RenumberResult::Done);
  ASSERT_EQ(single::renumber(session, "0099", "0100", std::nullopt), RenumberResult::Done);
  journal().close(database);
  EXPECT_FALSE(journal().active());
  ASSERT_EQ(session.openJournal(), "");  // as at the next start
  const std::vector<journal::Entry> entries = all();
  ASSERT_EQ(entries.size(), 2u);  // newest first
  EXPECT_EQ(entries[0].pairs, (std::vector<journal::Pair>{{"0099", "0100", "李四"}}));
  EXPECT_EQ(entries[1].pairs, (std::vector<journal::Pair>{{"0007", "0012", "张三"}}));
  // Filters: a number old or new, part of a name, the day range, the operation.
  EXPECT_EQ(journal().entries({.number = "0012"}).size(), 1u);
  EXPECT_EQ(journal().entries({.number = "0099"}).front().id, 2);
  EXPECT_EQ(journal().entries({.name = "张"}).front().id, 1);
  const QDate today = QDate::currentDate();
  EXPECT_EQ(journal().entries({.from = today, .to = today}).size(), 2u);
  EXPECT_TRUE(journal().entries({.from = today.addDays(1)}).empty());
  EXPECT_TRUE(journal().entries({.to = today.addDays(-1)}).empty());
  EXPECT_EQ(journal().entries({.operation = "单个修改"}).size(), 2u);
  EXPECT_TRUE(journal().entries({.operation = "批量修改"}).empty());

  // The session of another server and database, its journal in the same folder: a file of its own.
  journal().close(database);
  ops::Session other(database, {"sqlite:" + h.dir() + "/other.db", "", "sa"}, h.dir() + "/renumber.ini",
                     h.dir() + "/journal");
  EXPECT_NE(other.journal().file(), journal().file());
  ASSERT_EQ(other.openJournal(), "");
  EXPECT_TRUE(other.journal().entries().empty());
}

TEST_F(Journal, AnEntryThatCannotBeWrittenIsToldKeptAndWrittenAtTheNextOpen) {
  refuseJournal(true);
  QStringList told;
  journal().setNotifier([&](const QString& text) { told << text; });
  ASSERT_EQ(single::renumber(session, "0007", "0012", std::nullopt), RenumberResult::Done);
  journal().setNotifier({});
  // The change stands; the user is told; the entry waits beside the journal.
  EXPECT_EQ(h.value("SELECT 姓名 FROM 员工档案 WHERE 工号='0012'"), "张三");
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told[0].startsWith("修改已经完成，但修改记录未能写入：journal refused")) << told[0].toStdString();
  EXPECT_TRUE(told[0].endsWith("该记录已保存，将在下次启动时写入。"));
  EXPECT_TRUE(all().empty());
  ASSERT_EQ(journal().pendingEntries().size(), 1u);
  EXPECT_EQ(journal().pendingEntries().front().pairs, (std::vector<journal::Pair>{{"0007", "0012", "张三"}}));
  // Found by the filters as written entries are; headed as not written; not to be undone.
  EXPECT_EQ(journal().pendingEntries({.number = "0012"}).size(), 1u);
  EXPECT_EQ(journal().pendingEntries({.name = "张", .from = QDate::currentDate(), .operation = "单个修改"}).size(), 1u);
  EXPECT_TRUE(journal().pendingEntries({.number = "0099"}).empty());
  EXPECT_TRUE(journal().pendingEntries({.name = "李"}).empty());
  EXPECT_TRUE(journal().pendingEntries({.from = QDate::currentDate().addDays(1)}).empty());
  EXPECT_TRUE(journal().pendingEntries({.operation = "批量修改"}).empty());
  EXPECT_TRUE(journal::entryText(journal().pendingEntries().front()).startsWith("#待写入  "));
  EXPECT_FALSE(journal::undoable(journal().pendingEntries().front()));
  // Still refused at the next open: kept, and said.
  journal().close(database);
  EXPECT_TRUE(session.openJournal().contains("journal refused"));
  EXPECT_EQ(journal().pendingEntries().size(), 1u);
  journal().close(database);
  refuseJournal(false);
  ASSERT_EQ(session.openJournal(), "");
  const std::vector<journal::Entry> entries = all();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries.front().pairs, (std::vector<journal::Pair>{{"0007", "0012", "张三"}}));
  EXPECT_EQ(entries.front().statement, single::renumberBatch("0007", "0012", {}));
  EXPECT_FALSE(entries.front().rows.empty());
  EXPECT_TRUE(journal().pendingEntries().empty());
  EXPECT_FALSE(QFile::exists(journal().pendingFile()));
}

// A journal file whose write ends the whole transaction (a trigger's ROLLBACK) cannot be taken
// back to its savepoint: the change is not committed with part of an entry, the user gets the
// database's text, and the database is as it was.
TEST_F(Journal, AnEntryWriteThatEndsTheTransactionLeavesTheDatabaseAsItWas) {
  {
    QSqlDatabase d = QSqlDatabase::addDatabase("QSQLITE", "rollback");
    d.setDatabaseName(journal().file());
    ASSERT_TRUE(d.open());
    ASSERT_TRUE(
        QSqlQuery(d).exec("CREATE TRIGGER refuse BEFORE INSERT ON pairs BEGIN "
                          "SELECT RAISE(ROLLBACK, 'journal rolled back'); END"));
    d.close();
  }
  QSqlDatabase::removeDatabase("rollback");
  const Snapshot before = snapshot();
  try {
    single::renumber(session, "0007", "0012", std::nullopt);
    ADD_FAILURE() << "the renumber was committed";
  } catch (const db::DbError& e) {
    EXPECT_EQ(e.text(), "journal rolled back");
  }
  EXPECT_FALSE(database.inTransaction());
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_TRUE(journal().pendingEntries().empty());
}

TEST_F(Journal, UndoRestoresTheDatabaseButTheSerialAndIsJournaledOnce) {
  const Snapshot before = snapshot();
  ASSERT_EQ(single::renumber(session, "0007", "0012", single::SerialUpdate{rowId, 5}), RenumberResult::Done);
  const journal::UndoCheck ready = journal::checkUndo(session, 1);
  EXPECT_EQ(ready.status, UndoStatus::Ready);
  // The record of another kind the renumber left under the old number is the employee's own: the
  // undo asks nothing about it.
  EXPECT_EQ(ready.held, std::vector<journal::Held>{});
  h.clearStatements();
  EXPECT_EQ(journal::undo(session, 1).status, UndoStatus::Done);
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
  EXPECT_EQ(journal::undoMessage({UndoStatus::Done}, 1), "第1条修改记录已撤销。编号规则的流水号未退回。");

  // A second undo, and an undo of the undo, are refused without a change.
  const Snapshot after = snapshot();
  const journal::UndoCheck twice = journal::undo(session, 1);
  EXPECT_EQ(twice.status, UndoStatus::AlreadyUndone);
  EXPECT_EQ(journal::undoMessage(twice, 1), "第1条修改记录已经撤销过，不能再次撤销");
  EXPECT_EQ(journal::undo(session, 2).status, UndoStatus::NotUndoable);
  EXPECT_EQ(journal::undo(session, 9).status, UndoStatus::Missing);
  EXPECT_EQ(testdb::difference(after, snapshot()), QString());
  EXPECT_EQ(all().size(), 2u);
  EXPECT_FALSE(database.inTransaction());
}

TEST_F(Journal, UndoIsRefusedWhenTheNumberMovedOnOrTheOldNumberIsTakenAndAsksBeforeAMerge) {
  ASSERT_EQ(single::renumber(session, "0007", "0012", std::nullopt), RenumberResult::Done);
  h.exec("UPDATE 员工档案 SET 工号='0013' WHERE 工号='0012'");  // renumbered again by hand
  Snapshot before = snapshot();
  journal::UndoCheck c = journal::undo(session, 1);
  EXPECT_EQ(c.status, UndoStatus::NumberMovedOn);
  EXPECT_EQ(journal::undoMessage(c, 1), "员工档案中工号0012已不属于一名员工，可能已被再次修改，不能撤销");
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());

  h.exec("UPDATE 员工档案 SET 工号='0012' WHERE 工号='0013'");
  // Someone else came to share the number: named as such, not blamed on a second change.
  addEmployee("0012", "同号");
  before = snapshot();
  c = journal::undo(session, 1);
  EXPECT_EQ(c.status, UndoStatus::NumberShared);
  EXPECT_EQ(journal::undoMessage(c, 1),
            "员工档案中工号0012现由2名员工共用（张三、同号），本条修改记录只把1名员工改为该工号，不能撤销");
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  h.exec("DELETE FROM 员工档案 WHERE 姓名='同号'");
  addEmployee("0007", "新人");
  before = snapshot();
  c = journal::undo(session, 1);
  EXPECT_EQ(c.status, UndoStatus::OldNumberTaken);
  EXPECT_EQ(journal::undoMessage(c, 1), "原工号0007已被其他员工使用，不能撤销");
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_EQ(all().size(), 1u);

  h.exec("DELETE FROM 员工档案 WHERE 姓名='新人'");
  h.exec("INSERT INTO 工资单明细 (员工编号) VALUES ('0007')");
  c = journal::checkUndo(session, 1);
  EXPECT_EQ(c.status, UndoStatus::Ready);
  EXPECT_EQ(c.held, (std::vector<journal::Held>{{"0007", "工资单明细 1行"}}));
  EXPECT_EQ(journal::undoMergeQuestion(c),
            "新工号0007在以下表中已有记录：工资单明细 1行。继续修改将把这些记录并入该员工，是否继续？");

  // A later entry gave the old number to another employee: it is named, to be undone first.
  addEmployee("0050", "王五");
  ASSERT_EQ(single::renumber(session, "0050", "0007", std::nullopt), RenumberResult::Done);
  c = journal::checkUndo(session, 1);
  EXPECT_EQ(c.status, UndoStatus::OldNumberTaken);
  EXPECT_EQ(journal::undoMessage(c, 1), "原工号0007已被其他员工使用，不能撤销：第2条修改记录（单个修改，" +
                                            journal().entry(2, 0)->time.toString(journal::kTimeFormat) +
                                            "）把这个工号给了员工，请先撤销第2条记录");
}

// ---- renumber --journal ----------------------------------------------------------------------

TEST(JournalCommandLine, PrintsTheEntriesOfTheSettingsDatabaseFilteredByDayAndNumber) {
  Harness h;
  QTemporaryDir home;
#ifdef _WIN32
  // The tool's process finds its journal in the user's %LOCALAPPDATA%, which cannot be pointed
  // elsewhere for one process: the journal is written there (under Wine, the test prefix's).
  const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
#else
  const QString dataHome = home.filePath("data");
#endif
  h.exec(
      "INSERT INTO 员工档案 (工号, 姓名) VALUES ('0007', '张三')  INSERT INTO 员工档案 (工号, 姓名) VALUES ('0099', "
      "'李四')");
  ops::Session session(h.database(), {"sqlite:" + h.databasePath(), "", ""}, h.dir() + "/renumber.ini",
                       dataHome + "/renumber/journal");
  ASSERT_EQ(session.openJournal(), "");
  ASSERT_EQ(single::renumber(session, "0007", "0012", std::nullopt), single::RenumberResult::Done);
  ASSERT_EQ(single::renumber(session, "0099", "0100", std::nullopt), single::RenumberResult::Done);
  session.journal().close(h.database());

  QDir().mkpath(home.filePath("config"));
  writeHostSettings(home.filePath("config"), "sqlite:" + h.databasePath());
  const auto run = [&](const QStringList& args) {
    return runTool(QStringLiteral(RENUMBER_EXE), QStringList{"--journal"} + args,
                   {{"XDG_CONFIG_HOME", home.filePath("config")}, {"XDG_DATA_HOME", dataHome}});
  };
  const Ran everything = run({});
  EXPECT_EQ(everything.code, 0) << everything.err.toStdString();
  const qsizetype second = everything.out.indexOf("#2  "), first = everything.out.indexOf("#1  ");
  EXPECT_GE(second, 0);
  EXPECT_GT(first, second);  // newest first
  EXPECT_TRUE(everything.out.contains("  0007 -> 0012  张三\n"));
  EXPECT_TRUE(everything.out.contains("  语句：" + single::renumberBatch("0099", "0100", {}) + "\n"));
  EXPECT_TRUE(everything.out.contains("单个修改"));

  const Ran one = run({"--number", "0012", "--since", QDate::currentDate().toString("yyyy-MM-dd")});
  EXPECT_EQ(one.code, 0);
  EXPECT_TRUE(one.out.contains("0007 -> 0012"));
  EXPECT_FALSE(one.out.contains("0099"));
  const Ran none = run({"--since", QDate::currentDate().addDays(1).toString("yyyy-MM-dd")});
  EXPECT_EQ(none.code, 0);
  EXPECT_EQ(none.out, "没有修改记录\n");
  const Ran bad = run({"--since", "yesterday"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_TRUE(bad.err.startsWith("--since 需要一个 yyyy-MM-dd 格式的日期\n"));
  // A database that cannot be opened: as the other options.
  writeHostSettings(home.filePath("config"), "sqlite:" + home.filePath("nowhere.db"));
  const Ran unopened = run({});
  EXPECT_EQ(unopened.code, 2);
  EXPECT_TRUE(unopened.err.startsWith("数据库连接失败：")) << unopened.err.toStdString();
  EXPECT_TRUE(unopened.out.isEmpty());
}

}  // namespace

namespace {

// A batch apply writes one entry with every pair in the order applied and the text sent; its undo
// puts the database back (compare whole-database snapshots). A staging writes every employee's pair.
TEST_F(Journal, ABatchApplyAndAStagingEachWriteOneEntryAndTheApplyCanBeUndone) {
  const Snapshot before = snapshot();
  const std::vector<journal::ColumnRows> rows7 = expectedRows(h, "0007"), rows99 = expectedRows(h, "0099");
  const batch::Rows rows{{"0007", "80007"}, {"0099", "80099"}};
  ASSERT_EQ(batch::applyRows(session, rows, {}).staleRow, -1);
  std::vector<journal::Entry> entries = all();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].operation, "批量修改");
  EXPECT_EQ(entries[0].pairs, (std::vector<journal::Pair>{{"0007", "80007", "张三"}, {"0099", "80099", "李四"}}));
  EXPECT_EQ(entries[0].statement, batch::applyBatch("0007", "80007", {}) + batch::applyBatch("0099", "80099", {}));
  // Rows per column: both employees' rows together.
  for (const journal::ColumnRows& c : entries[0].rows) {
    qint64 expected = 0;
    for (const auto* list : {&rows7, &rows99})
      for (const journal::ColumnRows& r : *list)
        if (r.table == c.table && r.column == c.column) expected += r.rows;
    EXPECT_EQ(c.rows, expected) << c.table.toStdString();
  }

  ASSERT_EQ(journal::undo(session, 1).status, UndoStatus::Done);
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());

  h.exec("UPDATE 员工档案 SET 岗位编号=NULL WHERE 工号='0099'");
  batch::stageNoPosition(session, {});
  entries = all();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].operation, "无岗位处理");
  EXPECT_EQ(entries[0].pairs, (std::vector<journal::Pair>{{"0099", "90099", "李四"}}));
  EXPECT_EQ(entries[0].statement, batch::stagingScript({}));
  EXPECT_EQ(entries[0].rows, expectedRows(h, "90099"));
}

}  // namespace

namespace {

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
  const journal::UndoCheck ready = journal::checkUndo(session, 1);
  EXPECT_EQ(ready.status, UndoStatus::Ready);
  // The record of another kind the staging left under 0099: no question.
  EXPECT_EQ(ready.held, std::vector<journal::Held>{});

  h.clearStatements();
  EXPECT_EQ(journal::undo(session, 1).status, UndoStatus::Done);
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
  const journal::UndoCheck twice = journal::undo(session, 1);
  EXPECT_EQ(twice.status, UndoStatus::AlreadyUndone);
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());

  // Staged again (entry 3): refused while one "9" number has moved on, or an old number is taken.
  batch::stageNoPosition(session, {});
  h.exec("UPDATE 员工档案 SET 工号='77' WHERE ID=(SELECT MIN(ID) FROM 员工档案 WHERE 工号='966')");
  Snapshot staged = snapshot();
  journal::UndoCheck c = journal::undo(session, 3);
  EXPECT_EQ(c.status, UndoStatus::NumberMovedOn);
  EXPECT_EQ(journal::undoMessage(c, 3), "员工档案中工号966已不属于一名员工，可能已被再次修改，不能撤销");
  EXPECT_EQ(testdb::difference(staged, snapshot()), QString());
  h.exec("UPDATE 员工档案 SET 工号='966' WHERE 工号='77'");
  h.exec("UPDATE 员工档案 SET 工号='0099' WHERE 工号='0007'");
  staged = snapshot();
  c = journal::undo(session, 3);
  EXPECT_EQ(c.status, UndoStatus::OldNumberTaken);
  EXPECT_EQ(journal::undoMessage(c, 3), "原工号0099已被其他员工使用，不能撤销");
  EXPECT_EQ(testdb::difference(staged, snapshot()), QString());
  EXPECT_EQ(all().size(), 3u);
  EXPECT_FALSE(database.inTransaction());
  h.exec("UPDATE 员工档案 SET 工号='0007' WHERE 姓名='张三'");
  EXPECT_EQ(journal::undo(session, 3).status, UndoStatus::Done);
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
}

}  // namespace

namespace {

// A batch with a chain (0007 -> 5000 -> 6000, 5000 free before) and a row left as it was is undone
// to the database before it: the renames replayed in reverse, the unchanged row skipped.
TEST_F(Journal, ABatchApplyWithAChainAndAnUnchangedRowIsUndoneToo) {
  const Snapshot before = snapshot();
  ASSERT_TRUE(batch::applyRows(session, {{"0007", "5000"}, {"5000", "6000"}, {"0099", "0099"}}).applied());
  ASSERT_EQ(h.value("SELECT 姓名 FROM 员工档案 WHERE 工号='6000'"), "张三");
  h.clearStatements();
  EXPECT_EQ(journal::undo(session, 1).status, UndoStatus::Done);
  EXPECT_EQ(hostStatements().last(),
            single::renumberBatch("6000", "5000", {}) + " " + single::renumberBatch("5000", "0007", {}));
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
}

// With the journal open, the window's apply of 1,000 rows (the re-check, the merge question, the
// register counts, the journal's names and counts, the executions) stays within 30 round trips;
// the journal counts every column in one statement per slice of numbers.
TEST_F(Journal, AnApplyOfAThousandRowsWithTheJournalOpenTakesAtMostThirtyRoundTrips) {
  QStringList values;
  for (int i = 0; i < 1000; ++i) {
    values << QString("('%1', '员工%1', '管理人员', 'P01')").arg(100000 + i);
    if (values.size() == 500) {
      h.exec("INSERT INTO 员工档案 (工号, 姓名, 员工类别, 岗位编号) VALUES " + values.join(", "));
      values.clear();
    }
  }
  testdata::references(pinned::refColumns(), "100500");
  batch::Rows rows;
  QStringList olds;
  for (int i = 0; i < 1000; ++i) {
    rows.push_back({QString::number(100000 + i), QString::number(800000 + i)});
    olds << QString::number(100000 + i);
  }
  const std::vector<journal::ColumnRows> moved = expectedRows(h, "100500");
  h.clearStatements();
  batch::Rows checked = rows;
  ASSERT_EQ(batch::checkRows(database, checked, false).status, batch::Status::Passed);
  ASSERT_TRUE(batch::heldElsewhere(session, rows).empty());
  ASSERT_TRUE(batch::applyRows(session, rows).applied());
  // The journal's own statements go to its file, not to the server (on SQL Server they run on
  // the journal's own connection): a few, however many pairs.
  const QStringList sent = hostStatements();
  EXPECT_LE(sent.size(), 30);
  EXPECT_EQ(journalStatements().size(), 8) << journalStatements().join("\n").toStdString();
  const std::vector<host::RefColumn> columns = pinned::refColumns();
  const qsizetype slice = journal::countSlice(columns);
  ASSERT_GT(slice, 1);
  QStringList counts;
  for (qsizetype from = 0; from < olds.size(); from += slice)
    counts << journal::countSql(columns, olds.mid(from, slice));
  EXPECT_EQ(sent.filter(QRegularExpression("^SELECT 0 AS 列, COUNT")), counts);
  EXPECT_EQ(sent.filter("Update").size(), (1000 + batch::kRowsPerExecution - 1) / batch::kRowsPerExecution);

  const std::vector<journal::Entry> entries = all();
  ASSERT_EQ(entries.size(), 1u);
  ASSERT_EQ(entries[0].pairs.size(), 1000u);
  EXPECT_EQ(entries[0].pairs[500], (journal::Pair{"100500", "800500", "员工100500"}));
  // The question before its undo names the first ten moves and the count.
  QStringList moves;
  for (int i = 0; i < 10; ++i) moves << QString("%1改回%2").arg(800000 + i).arg(100000 + i);
  EXPECT_EQ(journal::undoQuestion(entries[0]), "撤销第1条修改记录（批量修改）：工号" + moves.join("，") +
                                                   "等1000人。编号规则中已记下的流水号不会退回。是否继续？");
  std::vector<journal::ColumnRows> expected = moved;
  for (journal::ColumnRows& c : expected)
    if (c.table == "员工档案") c.rows = 1000;  // every employee of the list; the others' rows only 100500's
  EXPECT_EQ(entries[0].rows, expected);
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

  const journal::UndoCheck c = journal::checkUndo(session, 1);
  ASSERT_EQ(c.status, UndoStatus::Ready);
  const QStringList lines = journal::undoMergeQuestion(c).split('\n');
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
    const ops::Progress stop = [&](int done, int) { return done == ops::kStillWorking || calls++ != stopAt; };
    EXPECT_THROW(journal::undo(session, 1, stop), ops::Cancelled) << stopAt;
    EXPECT_FALSE(database.inTransaction());
    EXPECT_EQ(testdb::difference(applied, snapshot()), QString()) << stopAt;
    EXPECT_EQ(all().size(), 1u);
  }
  std::vector<std::pair<int, int>> seen;
  const ops::Progress record = [&](int done, int total) {
    if (done != ops::kStillWorking) seen.emplace_back(done, total);
    return true;
  };
  h.clearStatements();
  EXPECT_EQ(journal::undo(session, 1, record).status, UndoStatus::Done);
  // What it sent and recorded is the undo's change, built once: the renames back, the last first.
  std::vector<journal::Pair> renamed;
  for (auto r = rows.rbegin(); r != rows.rend(); ++r) renamed.push_back({r->oldNo, r->newNo, QString()});
  const QStringList executions = journal::undoChange(1, renamed, {}).executions;
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

// ---- Two sessions ---------------------------------------------------------------------------

// Two connections to two databases, each with its session (the same settings file and journal
// folder): a column added for one is rewritten only there, and each renumber is recorded only in
// its own database's journal.
TEST(Sessions, TwoDatabasesKeepTheirOwnAddedColumnsAndJournals) {
  Harness h;
  db::Database other;
  QString error;
  ASSERT_TRUE(other.createSqlite(h.dir() + "/other.db", &error)) << error.toStdString();
  pinned::createTestSchema(other);
  ops::Session& first = h.session();
  ops::Session second(other, {"sqlite:" + h.dir() + "/other.db", "", "sa"}, h.dir() + "/renumber.ini",
                      h.dir() + "/journal");
  const QString seed =
      "CREATE TABLE 门禁卡 (ID INTEGER PRIMARY KEY, 持卡人 TEXT) INSERT INTO 门禁卡 (持卡人) VALUES ('0007') "
      "INSERT INTO 员工档案 (工号, 姓名) VALUES ('0007', '张三')";
  h.exec(seed);
  other.execute(seed);
  ASSERT_EQ(first.addColumn({"门禁卡", "持卡人"}), "");
  EXPECT_EQ(second.addedColumns(), std::vector<added::AddedColumn>{});
  EXPECT_EQ(second.allColumns().size(), first.allColumns().size() - 1);
  ASSERT_EQ(first.openJournal(), "");
  ASSERT_EQ(second.openJournal(), "");
  EXPECT_NE(first.journal().file(), second.journal().file());

  ASSERT_EQ(single::renumber(first, "0007", "0012", std::nullopt), RenumberResult::Done);
  ASSERT_EQ(single::renumber(second, "0007", "0013", std::nullopt), RenumberResult::Done);
  EXPECT_EQ(h.value("SELECT 持卡人 FROM 门禁卡"), "0012");
  db::Recordset card = other.open("SELECT 持卡人 FROM 门禁卡");
  EXPECT_EQ(card.text("持卡人"), "0007");  // not added there: left as it was
  const std::vector<journal::Entry> mine = first.journal().entries(), theirs = second.journal().entries();
  ASSERT_EQ(mine.size(), 1u);
  ASSERT_EQ(theirs.size(), 1u);
  EXPECT_EQ(mine.front().pairs, (std::vector<journal::Pair>{{"0007", "0012", "张三"}}));
  EXPECT_EQ(theirs.front().pairs, (std::vector<journal::Pair>{{"0007", "0013", "张三"}}));
  EXPECT_EQ(theirs.front().server, "sqlite:" + h.dir() + "/other.db");
  const auto counts = [](const journal::Entry& e, const QString& table) {
    return std::any_of(e.rows.begin(), e.rows.end(), [&](const journal::ColumnRows& c) { return c.table == table; });
  };
  EXPECT_TRUE(counts(mine.front(), "门禁卡"));
  EXPECT_FALSE(counts(theirs.front(), "门禁卡"));
  second.journal().close(other);
}

}  // namespace
