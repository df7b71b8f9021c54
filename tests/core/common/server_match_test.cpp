// Numbers matched by the database, as SQL Server matches them: a register or a reference column
// holding "0013 " or "００１３" holds 0013 for every question the tool asks (the single check,
// the batch checks, the apply's re-check, the merge question, the preview, the undo), on the
// embedded engine under its collation and over a scripted SQL Server that hands back an int
// column's 13 or a char column's padded text. And a new number longer than a column it goes
// into is refused before anything is sent.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "db/database.h"
#include "core/batch/batch_preview.h"
#include "db/catalogue.h"
#include "core/preview/column_widths.h"
#include "core/common/holders.h"
#include "core/single/single_preview.h"
#include "tests/support/scripted_driver.h"
#include "tests/support/journal_fixture.h"

namespace {

using single::RenumberResult;
using testdb::snapshot;
using undo::UndoStatus;

class ServerMatch : public JournalOrganisation, public ::testing::WithParamInterface<int> {
 protected:
  // The number as another program wrote it: with a blank at the end, or in full-width digits.
  static QString spelled(const QString& number, int how) {
    if (how == 0) return number + " ";
    QString wide;
    for (QChar ch : number) wide += QChar(ch.unicode() - u'0' + 0xFF10);
    return wide;
  }
};

TEST_P(ServerMatch, ARegisterNumberSpelledOtherwiseIsTakenInEveryCheck) {
  const QString spelling = spelled("0013", GetParam());
  addEmployee(spelling, "同号");
  EXPECT_TRUE(single::numberTaken(database, "0013"));
  batch::Rows rows{{"0007", "0013"}};
  EXPECT_EQ(batch::checkRows(database, rows, false).status, batch::Status::Taken);
  EXPECT_EQ(batch::checkRows(database, rows, false).holderName, "同号");
  EXPECT_EQ(batch::checkRows(database, rows, true).repairs, std::vector<int>{0});
  EXPECT_NE(rows[0].newNo, "0013");
  EXPECT_EQ(batch::previewApply(session, {{"0007", "0013"}}, {}).status, batch::ApplyPreview::Status::CheckFailed);

  // The apply's re-check: two employees under what the database takes for 0013 make its row stale;
  // one is renamed, the spelling too.
  addEmployee("0013", "又一个");
  const testdb::Snapshot shared = snapshot();
  EXPECT_EQ(batch::applyRows(session, {{"0013", "0020"}}).staleRow, 0);
  EXPECT_EQ(testdb::difference(shared, snapshot()), QString());
  h.exec("DELETE FROM 员工档案 WHERE 姓名='又一个'");
  EXPECT_TRUE(batch::applyRows(session, {{"0013", "0020"}}).applied());
  EXPECT_EQ(h.value("SELECT 工号 FROM 员工档案 WHERE 姓名='同号'"), "0020");

  // The undo: the old number is taken when another employee holds it spelled otherwise.
  ASSERT_EQ(single::renumber(session, "0007", "0012", std::nullopt), RenumberResult::Done);
  addEmployee(spelled("0007", GetParam()), "新人");
  const testdb::Snapshot before = snapshot();
  EXPECT_EQ(undo::checkUndo(session, 2).status, UndoStatus::OldNumberTaken);
  EXPECT_EQ(undo::undo(session, 2).status, UndoStatus::OldNumberTaken);
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
}

INSTANTIATE_TEST_SUITE_P(BlankOrFullWidth, ServerMatch, ::testing::Values(0, 1));

TEST_F(JournalOrganisation, AReferenceRowSpelledOtherwiseCountsInTheMergeQuestionAndThePreview) {
  h.exec("INSERT INTO 工资单明细 (员工编号) VALUES ('0013 ')");
  h.exec("INSERT INTO 考勤表详细 (员工编号) VALUES ('００１３')");
  EXPECT_EQ(single::recordsHolding(session, "0013"), "工资单明细 1行，考勤表详细 1行");
  EXPECT_EQ(batch::heldElsewhere(session, {{"0007", "0013"}}),
            (std::vector<batch::HeldNumber>{{"0013", "工资单明细 1行，考勤表详细 1行"}}));
  const preview::Impact impact =
      preview::impact(database, single::renumberColumns(session.added()), {{"0007", "0013"}});
  EXPECT_EQ(impact.totalNew, 2);
  EXPECT_EQ(impact.employees.front().newRows, 2);
}

// ---- Over a scripted SQL Server ------------------------------------------------------------

class ScriptedServer : public ::testing::Test {
 protected:
  std::shared_ptr<scripted::State> state = std::make_shared<scripted::State>();
  db::Database database;
  QTemporaryDir dir;
  session::Session session{database, {"127.0.0.1,1433", "Tarnholm", "sa"}, dir.filePath("renumber.ini"), dir.path()};
  void SetUp() override { open(); }
  void open() {
    QString error;
    ASSERT_TRUE(database.openOdbcConnection(scripted::connection(state), &error)) << error.toStdString();
    state->executed.clear();  // the session settings
  }
  void reply(const QStringList& columns, const QList<QVariantList>& rows) {
    state->replies << QList<scripted::Result>{scripted::rows(columns, rows)};
  }
  // The catalogue's answer: 工资单明细.员工编号 of the given type and width.
  void catalogue(const QString& type, const QVariant& width) {
    reply({"TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME", "DATA_TYPE", "CHARACTER_MAXIMUM_LENGTH", "COLLATION_NAME",
           "DEFAULT_SCHEMA"},
          {{"dbo", "工资单明细", "员工编号", type, width, QVariant(), "dbo"}});
  }
};

TEST_F(ScriptedServer, TheStatementDecidesTheMatchAndTheToolReadsOnlyThePlaceOfTheAskedNumber) {
  // The asked numbers are a table of the statement (SQL Server 2005: a UNION ALL of SELECTs).
  EXPECT_EQ(common::registerHoldersSql({"0013", "O'1"}),
            "SELECT 问.序 AS 序, 问.号 AS 工号, COUNT(*) AS 人数, MIN(员工档案.姓名) AS 姓名 FROM 员工档案 INNER JOIN "
            "(SELECT 0 AS 序, '0013' AS 号 UNION ALL SELECT 1, 'O''1') AS 问 ON 员工档案.工号 = 问.号 GROUP BY 问.序, "
            "问.号");
  // Inside a change's transaction the rows read are kept until it ends. One number is compared
  // with directly, still by the database, and only a number held gives a row.
  EXPECT_EQ(common::registerHoldersSql({"0013"}, common::Lock::Held),
            "SELECT 0 AS 序, '0013' AS 工号, COUNT(*) AS 人数, MIN(员工档案.姓名) AS 姓名 FROM 员工档案 WITH (UPDLOCK, "
            "HOLDLOCK) WHERE 员工档案.工号 = '0013' HAVING COUNT(*) > 0");

  // The merge question: an int column answers 13, a char(10) column "0013      ".
  const std::vector<host::RefColumn> columns = host::allColumns({});
  reply({"列", "序", "工号", "行数"}, {{5, 0, 13, 2}, {7, 0, "0013      ", 1}});
  EXPECT_EQ(single::recordsHolding(session, "0013"),
            columns[5].tableName() + " 2行，" + columns[7].tableName() + " 1行");
  EXPECT_EQ(state->executed, QStringList{common::holdersUnionSql(columns, {"0013"})});

  // The preview: the rows under 0007 and 0013 of one column, whatever text the server hands back.
  catalogue("int", QVariant());
  reply({"列", "序", "工号", "行数"}, {{0, 0, 7, 3}, {0, 1, 13, 2}});
  const preview::Impact impact = preview::impact(database, {{"工资单明细", "员工编号", false, ""}}, {{"0007", "0013"}});
  EXPECT_EQ(impact.totalOld, 3);
  EXPECT_EQ(impact.totalNew, 2);
  EXPECT_EQ(state->executed.last(),
            common::holdersUnionSql({{{u8"工资单明细", u8"员工编号", u8""}, true}}, {"0007", "0013"}));

  // The batch check: the register's answer for the asked number, the holder named.
  state->executed.clear();
  reply({"序", "工号", "人数", "姓名"}, {{0, "0013", 1, "同号"}});
  batch::Rows rows{{"0007", "0013"}};
  const batch::Outcome taken = batch::checkRows(database, rows, false);
  EXPECT_EQ(taken.status, batch::Status::Taken);
  EXPECT_EQ(taken.holderName, "同号");
  EXPECT_EQ(state->executed, QStringList{common::registerHoldersSql({"0013"})});

  // The apply's re-check: two employees under what the server takes for the old number.
  catalogue("nvarchar", 50);
  reply({"序", "工号", "人数", "姓名"}, {{0, "0013", 2, "甲"}});
  EXPECT_EQ(batch::applyRows(session, {{"0013", "0020"}}).staleRow, 0);
  EXPECT_TRUE(state->executed.contains(common::registerHoldersSql({"0013", "0020"}, common::Lock::Held)));
  EXPECT_EQ(state->trancount, 0);
}

TEST_F(ScriptedServer, ANumberLongerThanAColumnIsRefusedBeforeAnythingIsSentAndTheWidthsAreReadOncePerConnection) {
  catalogue("varchar", 6);  // bytes of the code page: two for a character beyond ASCII
  const std::vector<preview::Column> columns{{"工资单明细", "员工编号", false, ""}, {"员工档案", "工号", false, ""}};
  EXPECT_EQ(preview::firstTooLong(session.catalogue(), columns, {"号0013", "0013", "工号0013"}),
            (preview::TooLong{"工号0013", "工资单明细", "员工编号", 6}));
  EXPECT_EQ(state->executed, QStringList{db::catalogueSql(database)});
  EXPECT_EQ(preview::tooLongMessage({"工号0013", "工资单明细", "员工编号", 6}),
            "新工号工号0013超过表工资单明细列员工编号的长度6，没有做任何修改");
  // Kept for the connection: the batch apply refuses without a statement.
  state->executed.clear();
  const batch::ApplyResult refused = batch::applyRows(session, {{"0007", "0007"}, {"0008", "1234567"}});
  EXPECT_EQ(refused.tooLong, (preview::TooLong{"1234567", "工资单明细", "员工编号", 6}));
  EXPECT_FALSE(refused.applied());
  EXPECT_TRUE(state->executed.isEmpty());
  // Read again after a reconnect.
  open();
  catalogue("nvarchar", 8);
  EXPECT_EQ(preview::firstTooLong(session.catalogue(), columns, {"工号0013"}), std::nullopt);
  EXPECT_EQ(state->executed, QStringList{db::catalogueSql(database)});
}

// ---- Lengths on the embedded engine --------------------------------------------------------

TEST_F(JournalOrganisation, ANumberOneCharacterLongerThanTheNarrowestColumnIsRefusedWithNothingSent) {
  // A legacy 员工照片 whose number column holds 8 characters; every other column 50.
  testdb::rawExec("DROP TABLE 员工照片");
  testdb::rawExec("CREATE TABLE 员工照片 (ID INTEGER PRIMARY KEY, 工号 VARCHAR(8), 照片 BLOB)");
  addEmployee("A00000013", "长号");
  ASSERT_EQ(single::renumber(session, "A00000013", "0013", std::nullopt), RenumberResult::Done);  // entry 1
  const testdb::Snapshot before = snapshot();
  const preview::TooLong tooLong{"A00000013", "员工照片", "工号", 8};

  h.clearStatements();
  EXPECT_EQ(single::renumber(session, "0007", "A00000013", std::nullopt), RenumberResult::TooLong);
  EXPECT_EQ(single::newNumberTooLong(session, "A00000013"), tooLong);
  EXPECT_EQ(single::newNumberTooLong(session, "A0000013"), std::nullopt);
  const batch::ApplyResult applied = batch::applyRows(session, {{"0007", "A0000013"}, {"0099", "A00000013"}});
  EXPECT_EQ(applied.tooLong, tooLong);
  const undo::UndoCheck undone = undo::undo(session, 1);
  EXPECT_EQ(undone.status, UndoStatus::TooLong);
  EXPECT_EQ(undo::undoMessage(undone, 1), "新工号A00000013超过表员工照片列工号的长度8，没有做任何修改");
  EXPECT_EQ(undo::checkUndo(session, 1).status, UndoStatus::TooLong);
  EXPECT_EQ(h.statements(), QStringList{});
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  // The impact previews (and so --dry-run) refuse it as the renumbers do: no script to export.
  const single::RenumberPreview one = single::previewRenumber(session, "0007", "A00000013", std::nullopt, {});
  EXPECT_EQ(one.status, single::RenumberPreview::Status::TooLong);
  EXPECT_EQ(single::refusalMessage(one), "新工号A00000013超过表员工照片列工号的长度8，没有做任何修改");
  EXPECT_TRUE(one.script.isEmpty());
  const batch::ApplyPreview apply = batch::previewApply(session, {{"0007", "A0000013"}, {"0099", "A00000013"}}, {});
  EXPECT_EQ(apply.status, batch::ApplyPreview::Status::TooLong);
  EXPECT_EQ(batch::refusalMessage(apply), "新工号A00000013超过表员工照片列工号的长度8，没有做任何修改");
  EXPECT_TRUE(apply.script.isEmpty());

  // The staging: the employees whose number cannot take the "9", named; only read.
  testdata::employee({.number = "0000013", .name = "无岗甲", .category = "管理人员"});
  testdata::employee({.number = "B0000013", .name = "无岗乙", .category = "管理人员"});
  const testdb::Snapshot staged = snapshot();
  h.clearStatements();
  const batch::StagingResult s = batch::stageNoPosition(session);
  EXPECT_EQ(s.tooLong,
            (std::vector<batch::StagingTooLong>{{"B0000013", "无岗乙", {"9B0000013", "员工照片", "工号", 8}}}));
  EXPECT_FALSE(s.staged);
  EXPECT_EQ(h.statements(), QStringList{batch::noPositionEmployeesSql()});
  EXPECT_EQ(batch::stagingTooLongMessage(s.tooLong),
            "以下无岗位员工的工号不能加9：无岗乙（B0000013）：新工号9B0000013超过表员工照片列工号的长度8\n"
            "没有修改任何工号，请先处理这些员工的工号");
  EXPECT_EQ(testdb::difference(staged, snapshot()), QString());
  EXPECT_EQ(all().size(), 1u);
}

// '9' + a number column adds on SQL Server (13 would become 22, another employee's number): the
// staging refuses every rewritten column that is not of a character type, naming them, and sends nothing.
TEST_F(JournalOrganisation, TheStagingRefusesColumnsThatAreNotTextWithNothingSent) {
  testdb::rawExec("DROP TABLE 员工照片");
  testdb::rawExec("CREATE TABLE 员工照片 (ID INTEGER PRIMARY KEY, 工号 INT, 照片 BLOB)");
  testdb::rawExec("DROP TABLE 工资单明细");
  testdb::rawExec("CREATE TABLE 工资单明细 (ID INTEGER PRIMARY KEY, 员工编号 DECIMAL(10,0), 金额 MONEY)");
  testdata::employee({.number = "13", .name = "无岗甲", .category = "管理人员"});
  testdb::rawExec("INSERT INTO 员工照片 (工号) VALUES (13)");
  const testdb::Snapshot before = snapshot();
  const batch::StagingResult s = batch::stageNoPosition(session);
  // In the staging's order; the embedded engine's catalogue names the type without its precision.
  EXPECT_EQ(s.notText,
            (std::vector<preview::NotText>{{"员工照片", "工号", "int"}, {"工资单明细", "员工编号", "decimal"}}));
  EXPECT_FALSE(s.staged);
  EXPECT_EQ(preview::notTextMessage(s.notText),
            "以下列不是字符类型，工号前加9会变成数值相加，没有做任何修改：员工照片.工号（int）、工资单明细."
            "员工编号（decimal）");
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_TRUE(all().empty());
}

}  // namespace
