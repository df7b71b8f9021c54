// The change journal on the core: one entry per committed renumber with its pairs, rows per column
// and statement; none for a change that rolls back; kept across a restart; an entry that cannot be
// written is kept and written at the next open; one journal per database.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>

#include "db/catalogue.h"
#include "core/common/holders.h"
#include "tests/support/journal_fixture.h"
#include "tests/support/pinned_columns.h"
#include "tests/support/tool_run.h"

namespace {

using single::RenumberResult;
using testdb::Snapshot;
using testdb::snapshot;
using undo::UndoStatus;

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
  EXPECT_EQ(sent[1], common::registerHoldersSql({"0007"}));
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
  session::Session other(database, {"sqlite:" + h.dir() + "/other.db", "", "sa"}, h.dir() + "/renumber.ini",
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
  EXPECT_FALSE(undo::undoable(journal().pendingEntries().front()));
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
  session::Session session(h.database(), {"sqlite:" + h.databasePath(), "", ""}, h.dir() + "/renumber.ini",
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

  ASSERT_EQ(undo::undo(session, 1).status, UndoStatus::Done);
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
  EXPECT_EQ(undo::undoQuestion(entries[0]),
            "撤销第1条修改记录（批量修改）：工号" + moves.join("，") + "等1000人。是否继续？");
  // Rows left as they were are no employees whose number changed.
  journal::Entry withUnchanged = entries[0];
  withUnchanged.pairs.push_back({"100999", "100999", "员工100999"});
  EXPECT_EQ(undo::undoQuestion(withUnchanged), undo::undoQuestion(entries[0]));
  std::vector<journal::ColumnRows> expected = moved;
  for (journal::ColumnRows& c : expected)
    if (c.table == "员工档案") c.rows = 1000;  // every employee of the list; the others' rows only 100500's
  EXPECT_EQ(entries[0].rows, expected);
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
  session::Session& first = h.session();
  session::Session second(other, {"sqlite:" + h.dir() + "/other.db", "", "sa"}, h.dir() + "/renumber.ini",
                          h.dir() + "/journal");
  const QString seed =
      "CREATE TABLE 门禁卡 (ID INTEGER PRIMARY KEY, 持卡人 TEXT) INSERT INTO 门禁卡 (持卡人) VALUES ('0007') "
      "INSERT INTO 员工档案 (工号, 姓名) VALUES ('0007', '张三')";
  h.exec(seed);
  other.execute(seed);
  ASSERT_EQ(first.addColumn({"门禁卡", "持卡人"}), "");
  EXPECT_EQ(second.addedColumns(), std::vector<common::added::AddedColumn>{});
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
