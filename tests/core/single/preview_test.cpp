// The impact preview of the single renumber: the columns it rewrites (built-in and added), the rows
// holding the old and the new number in each, the script of exactly what the renumber then sends;
// `renumber --dry-run`; and the preview button of the single window wired to the preview window.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "app/wiring.h"
#include "core/common/added_columns.h"
#include "core/single/single_sql.h"
#include "core/single/single_preview.h"
#include "gui/preview/preview_window.h"
#include "gui/single/single_window.h"
#include "tests/support/script_statements.h"
#include "tests/support/single_fixture.h"
#include "tests/support/tool_run.h"
#include "gui/widgets/flex_grid.h"

using namespace single;
using testdb::asSent;
using testdb::scriptStatements;
using testdb::snapshot;
using testdb::Snapshot;
using testdb::writes;

namespace {

const bool kWired = (wireFeatures(), true);

// 0007 and 0099 in every column (fixture), three pay slips and a door card already under 0012, and
// the administrator's added column 门禁卡.持卡人 (plus one naming a built-in column, left out).
class Preview : public SingleOrganisation {
 protected:
  void SetUp() override {
    SingleOrganisation::SetUp();
    (void)kWired;
    seedEveryColumn();
    h.exec("CREATE TABLE 门禁卡 (ID INTEGER PRIMARY KEY, 持卡人 TEXT)");
    h.exec(
        "INSERT INTO 门禁卡 (持卡人) VALUES ('0007') INSERT INTO 门禁卡 (持卡人) VALUES ('0007') "
        "INSERT INTO 门禁卡 (持卡人) VALUES ('0012') INSERT INTO 门禁卡 (持卡人) VALUES ('0099')");
    h.exec(QString("INSERT INTO 工资单明细 (员工编号) VALUES ('0012') ").repeated(3));
    ASSERT_EQ(session.addColumn({"门禁卡", "持卡人"}), "");
    ASSERT_EQ(session.addColumn({"员工档案", "工号"}), "");
    origin.server = "hr-sql01";
    origin.database = "Tarnholm";
    origin.login = "hradmin";
    origin.time = QDateTime(QDate(2026, 3, 9), QTime(14, 5, 6));
  }

  qint64 rows(const preview::Column& c, const QString& number) {
    return h.value("SELECT COUNT(*) FROM " + c.table + " WHERE " + c.column + "=" + db::sqlQuote(number) + c.extra)
        .toLongLong();
  }

  preview::ScriptHeader origin;
};

TEST_F(Preview, CountsEveryRewrittenColumnWithTheAddedOneLastAndChangesNothing) {
  // The built-in columns, then the added one (published to the host lists as the store is current).
  const std::vector<preview::Column> columns = renumberColumns(session.added());
  ASSERT_EQ(columns.size(), host::builtInColumns().size() + 1);
  EXPECT_EQ(columns.back().table, "门禁卡");
  EXPECT_TRUE(columns.back().added);
  EXPECT_FALSE(columns[columns.size() - 2].added);
  EXPECT_EQ(columns.size(), session.allColumns().size());

  const Snapshot before = snapshot();
  h.clearStatements();
  const RenumberPreview p = previewRenumber(session, "0007", "0012", std::nullopt, origin);
  ASSERT_EQ(p.status, RenumberPreview::Status::Ready);
  // Reads only: the register's count, the existence check, the catalogue kept for the widths, the
  // impact's own catalogue, then every column in one statement: each joined to the asked numbers,
  // 员工档案temp twice (the kind of record the renumber moves, and every kind).
  EXPECT_TRUE(writes(h.statements()).isEmpty()) << writes(h.statements()).join("\n").toStdString();
  ASSERT_EQ(h.statements().size(), 5);
  const QString counts = h.statements()[4];
  const QString asked = " INNER JOIN (SELECT 0 AS 序, '0007' AS 号 UNION ALL SELECT 1, '0012') AS 问 ON ";
  EXPECT_TRUE(counts.startsWith("SELECT 0 AS 列, 问.序 AS 序, 问.号 AS 工号, COUNT(*) AS 行数 FROM 员工档案" + asked +
                                "员工档案.工号 = 问.号 GROUP BY 问.序, 问.号 UNION ALL SELECT 1 AS 列, "))
      << counts.left(300).toStdString();
  EXPECT_TRUE(counts.contains(
      " UNION ALL SELECT 8 AS 列, 问.序 AS 序, 问.号 AS 工号, COUNT(*) AS 行数 FROM 员工档案temp" + asked +
      "员工档案temp.工号 = 问.号 WHERE 1=1 AND 类型=N'档案信息修改' GROUP BY 问.序, 问.号 UNION "
      "ALL SELECT 9 AS 列, 问.序 AS 序, 问.号 AS 工号, COUNT(*) AS 行数 FROM 员工档案temp" +
      asked + "员工档案temp.工号 = 问.号 GROUP BY 问.序, 问.号 UNION ALL SELECT 10 AS 列, "));
  EXPECT_TRUE(
      counts.endsWith(QString(" UNION ALL SELECT %1 AS 列, 问.序 AS 序, 问.号 AS 工号, COUNT(*) AS 行数 FROM 门禁卡")
                          .arg(columns.size()) +
                      asked + "门禁卡.持卡人 = 问.号 GROUP BY 问.序, 问.号"));
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());

  ASSERT_EQ(p.impact.columns.size(), columns.size());
  qint64 totalOld = 0, totalNew = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const preview::ColumnImpact& c = p.impact.columns[i];
    SCOPED_TRACE((c.column.table + "." + c.column.column).toStdString());
    EXPECT_EQ(c.column.table, columns[i].table);
    EXPECT_EQ(c.column.column, columns[i].column);
    EXPECT_EQ(c.oldRows, rows(c.column, "0007"));
    EXPECT_EQ(c.newRows, rows(c.column, "0012"));
    totalOld += c.oldRows;
    totalNew += c.newRows;
  }
  EXPECT_EQ(p.impact.totalOld, totalOld);
  EXPECT_EQ(p.impact.totalNew, 4);  // three pay slips and the door card
  EXPECT_EQ(p.impact.columns.back().oldRows, 2);
  EXPECT_EQ(p.impact.columns.back().newRows, 1);
  // Of 员工档案temp only the kind of record the renumber moves counts.
  for (const preview::ColumnImpact& c : p.impact.columns)
    if (c.column.table == "员工档案temp") {
      EXPECT_EQ(c.oldRows, 1);
    }

  const QString table = preview::table(p.impact);
  EXPECT_TRUE(table.contains("门禁卡\t持卡人（加入的列）\t2\t1\t*\n"));
  EXPECT_TRUE(table.contains("工资单明细\t员工编号\t1\t3\t*\n"));
  EXPECT_TRUE(table.contains(QString("合计\t%1列\t%2\t4\n").arg(columns.size()).arg(totalOld)));
  // The record of another kind stays under 0007, and says so (the second such row is 0099's).
  h.exec(
      "INSERT INTO 员工档案temp (工号, 类型) VALUES ('0099', '离职') INSERT INTO 员工档案temp (工号) VALUES ('0007')");
  const RenumberPreview again = previewRenumber(session, "0007", "0012", std::nullopt, origin);
  EXPECT_EQ(again.impact.totalStaying, 2);
  const QString staying = "员工档案temp中另有2行记录不满足 类型='档案信息修改'，留在原工号下，不会修改";
  EXPECT_EQ(preview::stayingLines(again.impact), QStringList{staying});
  EXPECT_TRUE(preview::table(again.impact).endsWith("\n" + staying + "\n"));
  EXPECT_TRUE(again.script.contains("\r\n-- " + staying + "\r\nSET XACT_ABORT ON\r\n"));
}

// The script a DBA runs in SSMS or sqlcmd changes nothing unless every execution ran to its end:
// after a run-time error (XACT_ABORT ends the transaction) or a batch that does not compile (it is
// skipped, the transaction stays open) the guards stop the rest and the end rolls back.
TEST(Script, EachExecutionRunsOnlyAfterTheOneBeforeItRanToItsEndAndOnlyAllOfThemCommit) {
  const QString s = preview::script({"srv", "db", "sa", QDateTime(QDate(2026, 3, 9), QTime(14, 5, 6)), "修改"}, {},
                                    {"Update a set x='2' Where x='1'", "Update b set y='2' Where y='1'"});
  const QString guard = "IF @@TRANCOUNT = 0 OR NOT EXISTS (SELECT 1 FROM #renumber_step WHERE step = %1) SET NOEXEC ON";
  EXPECT_EQ(
      db::Database::splitBatches(s.mid(s.indexOf("SET XACT_ABORT ON"))),
      QStringList({"SET XACT_ABORT ON\r\nSET NOEXEC OFF",
                   "-- 分2段执行：任何一段失败或不能执行时，后面各段都不执行，全部修改撤销\r\n"
                   "IF OBJECT_ID('tempdb..#renumber_step') IS NOT NULL DROP TABLE #renumber_step\r\n"
                   "CREATE TABLE #renumber_step (step int NOT NULL)\r\n"
                   "INSERT INTO #renumber_step (step) VALUES (0)\r\nBEGIN TRANSACTION",
                   guard.arg(0), "Update a set x='2' Where x='1'\r\nUPDATE #renumber_step SET step = 1", guard.arg(1),
                   "Update b set y='2' Where y='1'\r\nUPDATE #renumber_step SET step = 2", "SET NOEXEC OFF",
                   "IF @@TRANCOUNT > 0 AND EXISTS (SELECT 1 FROM #renumber_step WHERE step = 2)\r\n"
                   "  COMMIT TRANSACTION\r\nELSE\r\nBEGIN\r\n  IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION\r\n"
                   "  RAISERROR(N'修改没有全部完成，已全部撤销，数据库没有任何修改', 16, 1)\r\nEND",
                   "DROP TABLE #renumber_step"}));
  EXPECT_TRUE(s.endsWith("DROP TABLE #renumber_step\r\ngo\r\n"));
}

TEST_F(Preview, TheScriptIsWhatTheRenumberSendsAndEndsTheSame) {
  const RenumberPreview p = previewRenumber(session, "0007", "0012", std::nullopt, origin);
  ASSERT_EQ(p.status, RenumberPreview::Status::Ready);
  EXPECT_EQ(p.caption, "修改工号 0007 -> 0012");
  EXPECT_EQ(p.fileName, "修改工号_0007_0012.sql");
  EXPECT_TRUE(
      p.script.startsWith("-- renumber 修改脚本：修改工号 0007 -> 0012\r\n"
                          "-- 服务器：hr-sql01  数据库：Tarnholm  登录：hradmin\r\n"
                          "-- 生成时间：2026-03-09 14:05:06\r\n"))
      << p.script.left(300).toStdString();
  EXPECT_TRUE(p.script.contains(QString("-- 影响：%1列，原工号所在%2行将改为新工号；新工号已有4行\r\n")
                                    .arg(p.impact.columns.size())
                                    .arg(p.impact.totalOld)));
  EXPECT_TRUE(
      p.script.contains("BEGIN TRANSACTION\r\ngo\r\nIF @@TRANCOUNT = 0 OR NOT EXISTS (SELECT 1 FROM "
                        "#renumber_step WHERE step = 0) SET NOEXEC ON\r\ngo\r\nUpdate 员工档案 set 工号='0012'"));
  EXPECT_TRUE(
      p.script.contains("\r\nUPDATE #renumber_step SET step = 1\r\ngo\r\nSET NOEXEC OFF\r\ngo\r\n"
                        "IF @@TRANCOUNT > 0 AND EXISTS (SELECT 1 FROM #renumber_step WHERE step = 1)\r\n"));
  const QByteArray file = preview::scriptFile(p.script);
  EXPECT_TRUE(file.startsWith("\xEF\xBB\xBF"));
  EXPECT_EQ(QString::fromUtf8(file.mid(3)), p.script);

  // The added column is rewritten last, in the built-in statements' form.
  // One statement a line; as sent once the line breaks are taken out.
  const QStringList statements = scriptStatements(p.script);
  ASSERT_EQ(statements.size(), 1);
  EXPECT_EQ(asSent(statements)[0], renumberBatch("0007", "0012", session.added()));
  EXPECT_EQ(statements[0].count("\r\n"), qsizetype(p.impact.columns.size()) - 1);
  EXPECT_TRUE(
      statements[0].startsWith("Update 员工档案 set 工号='0012' Where 工号='0007'\r\n"
                               " Update 岗位信息new set 工号='0012' Where 工号='0007'\r\n"));
  EXPECT_TRUE(
      statements[0].endsWith("'0007'\r\n Update 招聘岗位员工new set 员工代号='0012' Where 员工代号='0007'\r\n"
                             " Update 门禁卡 set 持卡人='0012' Where 持卡人='0007'"));

  // The script on the embedded engine, one batch per execution, in a transaction taken back afterwards.
  const Snapshot before = snapshot();
  database.begin();
  for (const QString& s : statements) database.execute(s);
  const Snapshot byScript = snapshot();
  database.rollback();
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_EQ(testdb::difference(testdb::renamed(before, session.allColumns(), "0007", "0012"), byScript), QString());

  h.clearStatements();
  ASSERT_EQ(renumber(session, "0007", "0012", std::nullopt), RenumberResult::Done);
  EXPECT_EQ(writes(h.statements()), asSent(statements));
  EXPECT_EQ(testdb::difference(byScript, snapshot()), QString());
  EXPECT_EQ(h.column("SELECT 持卡人 FROM 门禁卡 ORDER BY ID"), (QStringList{"0012", "0012", "0012", "0099"}));
}

TEST_F(Preview, AutomaticNumberingPreviewsTheFreeNumberAndTheSerial) {
  addRule(0, "'0000'");
  const QString rowId = addRuleRow("NULL", "NULL", "NULL", "NULL", "2");
  addEmployee("0003", "王五");
  const RenumberPreview p = previewRenumber(session, "0007", "0003", AutoNumbering{"", 3, "0000", rowId}, origin);
  ASSERT_EQ(p.status, RenumberPreview::Status::Ready);
  EXPECT_EQ(p.newNumber, "0004");
  ASSERT_TRUE(p.serial.has_value());
  EXPECT_EQ(p.serial->serial, 4);
  const QStringList statements = scriptStatements(p.script);
  ASSERT_EQ(statements.size(), 1);
  EXPECT_TRUE(statements[0].endsWith("'0007'\r\n" + serialStatement(4, rowId)));
  EXPECT_EQ(h.value("SELECT 流水号 FROM 员工工号编码规则 WHERE ID=" + rowId), "2");  // not stored by the preview

  h.clearStatements();
  ASSERT_EQ(renumber(session, "0007", p.newNumber, p.serial), RenumberResult::Done);
  EXPECT_EQ(writes(h.statements()), asSent(statements));
}

TEST_F(Preview, RefusesAMissingOldOrATakenNewNumberAndReportsADroppedTable) {
  addEmployee("0099", "王五");  // two employees hold 0099
  const auto status = [&](const QString& o, const QString& n) {
    const RenumberPreview p = previewRenumber(session, o, n, std::nullopt, origin);
    return std::pair{p.status, refusalMessage(p)};
  };
  EXPECT_EQ(status("0555", "0012"),
            std::pair(RenumberPreview::Status::OldNumberGone, QString("原工号0555不在员工档案中")));
  EXPECT_EQ(status("0099", "0012"),
            std::pair(RenumberPreview::Status::OldNumberGone, QString("员工档案中有2个员工的工号是0099，不能修改")));
  EXPECT_EQ(status("0007", "0099"), std::pair(RenumberPreview::Status::NewNumberTaken, numberTakenMessage("0099")));

  // A table the renumber rewrites is missing (a built-in one, the added one) and a condition's
  // column: listed as missing, the rest counted as before.
  const RenumberPreview whole = previewRenumber(session, "0007", "0012", std::nullopt, origin);
  h.exec("DROP TABLE 出勤");
  h.exec("DROP TABLE 门禁卡");
  h.exec("DROP TABLE 员工档案temp");
  h.exec("CREATE TABLE 员工档案temp (ID INTEGER PRIMARY KEY, 工号 TEXT)");
  const Snapshot before = snapshot();
  const RenumberPreview p = previewRenumber(session, "0007", "0012", std::nullopt, origin);
  ASSERT_EQ(p.status, RenumberPreview::Status::Ready);
  EXPECT_EQ(p.impact.missing(), (QStringList{"员工档案temp.工号", "出勤", "门禁卡"}));
  ASSERT_EQ(p.impact.columns.size(), whole.impact.columns.size());
  qint64 lost = 0;
  for (std::size_t i = 0; i < p.impact.columns.size(); ++i) {
    const preview::ColumnImpact &now = p.impact.columns[i], &was = whole.impact.columns[i];
    if (now.lack == preview::Lack::None) {
      EXPECT_EQ(std::pair(now.oldRows, now.newRows), std::pair(was.oldRows, was.newRows))
          << now.column.table.toStdString();
    } else {
      lost += was.oldRows;
      EXPECT_EQ(now.oldRows + now.newRows, 0);
    }
  }
  EXPECT_GT(lost, 0);
  EXPECT_EQ(p.impact.totalOld, whole.impact.totalOld - lost);
  const QString table = preview::table(p.impact);
  EXPECT_TRUE(table.contains("\n员工档案temp\t工号\t缺少此列，修改将失败并全部撤销\n")) << table.toStdString();
  EXPECT_TRUE(table.contains("\n出勤\t员工编号\t缺少此表，修改将失败并全部撤销\n"));
  EXPECT_TRUE(table.contains("\n门禁卡\t持卡人（加入的列）\t缺少此表，修改将失败并全部撤销\n"));
  EXPECT_TRUE(p.script.contains("\r\n--   出勤.员工编号：缺少此表，修改将失败并全部撤销\r\n"));
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_FALSE(database.inTransaction());
}

// ---- renumber --dry-run ----------------------------------------------------------------------

Ran dryRun(const QString& svr, const QStringList& numbers) {
  QTemporaryDir config;
  writeHostSettings(config.path(), svr, "hradmin", "Tarnholm");
  const QString settings = toolSettingsFile(config.path());
  EXPECT_EQ(common::added::Store(settings, svr).add({"门禁卡", "持卡人"}), "");
  const Ran ran =
      runTool(QStringLiteral(RENUMBER_EXE), QStringList{"--dry-run"} + numbers, {{"XDG_CONFIG_HOME", config.path()}});
  QFile::remove(settings);
  return ran;
}

TEST_F(Preview, DryRunPrintsTheTableAndTheScriptAndChangesNothing) {
  const Snapshot before = snapshot();
  const QString svr = "sqlite:" + h.databasePath();
  const Ran ok = dryRun(svr, {"0007", "0012"});
  EXPECT_EQ(ok.code, 0) << ok.err.toStdString();
  const RenumberPreview p = previewRenumber(session, "0007", "0012", std::nullopt, origin);
  EXPECT_TRUE(ok.out.startsWith("修改工号 0007 -> 0012\n" + preview::table(p.impact) + "\n-- renumber 修改脚本："))
      << ok.out.left(400).toStdString();
  const QString script = ok.out.mid(ok.out.indexOf("-- renumber"));
  EXPECT_TRUE(script.contains("-- 服务器：" + svr + "  数据库：Tarnholm  登录：hradmin\r\n"));
  EXPECT_EQ(scriptStatements(script), scriptStatements(p.script));
  EXPECT_TRUE(ok.err.isEmpty());

  const Ran gone = dryRun(svr, {"0555", "0012"});
  EXPECT_EQ(gone.code, 1);
  EXPECT_EQ(gone.err, "原工号0555不在员工档案中\n");
  EXPECT_TRUE(gone.out.isEmpty());
  const Ran taken = dryRun(svr, {"0007", " ００９９"});  // as the single window takes it: 0099
  EXPECT_EQ(taken.code, 1);
  EXPECT_EQ(taken.err, numberTakenMessage("0099") + "\n");
  const Ran refused = dryRun(svr, {"0007", "00%"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.err, "新工号不能含有“%”：只能由字母和数字组成\n");
  const Ran none = dryRun("sqlite:" + h.dir() + "/nowhere.db", {"0007", "0012"});
  EXPECT_EQ(none.code, 2);
  EXPECT_TRUE(none.err.startsWith("数据库连接失败"));
  EXPECT_TRUE(none.out.isEmpty());
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_EQ(h.column("SELECT 持卡人 FROM 门禁卡 ORDER BY ID"), (QStringList{"0007", "0007", "0012", "0099"}));

  // A database without a table the renumber rewrites: the preview all the same, the missing names
  // on standard error, exit code 1.
  h.exec("DROP TABLE 员工照片");
  const Ran lacking = dryRun(svr, {"0007", "0012"});
  EXPECT_EQ(lacking.code, 1);
  EXPECT_EQ(lacking.err, "缺少以下表或列，修改将失败并全部撤销：员工照片\n");
  EXPECT_TRUE(lacking.out.contains("\n员工照片\t工号\t缺少此表，修改将失败并全部撤销\n")) << lacking.out.toStdString();
  EXPECT_TRUE(lacking.out.contains("-- renumber 修改脚本："));
}

// ---- The single window's preview button ------------------------------------------------------

TEST_F(Preview, TheButtonShowsThePreviewWindowOrTheDatabaseError) {
  auto& w = h.open<frm员工Kestrune>();
  EXPECT_FALSE(w.Command6->isEnabled());
  w.Text1->setText("0007");
  w.Command1->click();
  ASSERT_TRUE(w.Frame2->isEnabled());
  EXPECT_FALSE(w.Command6->isEnabled());  // no new number yet
  w.Text4->setText("0012");
  ASSERT_TRUE(w.Command6->isEnabled());
  const Snapshot before = snapshot();
  w.Command6->click();
  EXPECT_TRUE(h.messages().isEmpty()) << h.messages().join("\n").toStdString();
  ASSERT_TRUE(widgets::shared_window::exists<frm影响预览>());
  auto& v = widgets::shared_window::instance<frm影响预览>();
  EXPECT_TRUE(v.isVisible());
  const RenumberPreview p = previewRenumber(session, "0007", "0012", std::nullopt, origin);
  EXPECT_EQ(v.MSFlexGrid1->Rows(), int(p.impact.columns.size()) + 2);
  EXPECT_EQ(v.MSFlexGrid1->TextMatrix(int(p.impact.columns.size()), 2), "持卡人（加入的列）");
  EXPECT_TRUE(v.Label1->text().startsWith(p.caption));
  EXPECT_TRUE(
      v.Label1->text().endsWith("。\n员工档案temp中另有1行记录不满足 类型='档案信息修改'，留在原工号下，不会修改"))
      << v.Label1->text().toStdString();
  const QString path = h.dir() + "/preview.sql";
  h.chooseFile(path);
  v.Command1->click();
  EXPECT_EQ(h.dialogs().saveDialogs, 1);
  EXPECT_EQ(h.messages(), QStringList{"SQL脚本已保存到" + QDir::toNativeSeparators(path)});
  h.dialogs().shown.clear();
  QFile saved(path);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QString script = QString::fromUtf8(saved.readAll().mid(3));
  EXPECT_EQ(scriptStatements(script), scriptStatements(p.script));
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());

  // A taken number is refused as the renumber refuses it.
  v.close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  w.Text4->setText("0099");
  w.Command6->click();
  EXPECT_EQ(h.messages(), QStringList{numberTakenMessage("0099")});
  EXPECT_FALSE(widgets::shared_window::exists<frm影响预览>());
  // A table dropped meanwhile: listed as missing, marked, and named under the caption.
  h.dialogs().shown.clear();
  w.Text4->setText("0012");
  h.exec("DROP TABLE 门禁卡");
  w.Command6->click();
  EXPECT_TRUE(h.messages().isEmpty()) << h.messages().join("\n").toStdString();
  auto& again = widgets::shared_window::instance<frm影响预览>();
  const int last = int(p.impact.columns.size());
  EXPECT_EQ(again.MSFlexGrid1->TextMatrix(last, 3), "缺少此表，修改将失败并全部撤销");
  EXPECT_TRUE(again.MSFlexGrid1->CellBackColor(last, 1).isValid());
  EXPECT_TRUE(again.Label1->text().endsWith("\n缺少1处（已标红）：门禁卡，修改将失败并全部撤销。"))
      << again.Label1->text().toStdString();
  // A database error: its text, no new preview.
  again.close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  h.exec("DROP TABLE 员工档案");
  w.Command6->click();
  ASSERT_EQ(h.messages().size(), 1);
  EXPECT_TRUE(h.messages()[0].contains("员工档案")) << h.messages()[0].toStdString();
  EXPECT_FALSE(widgets::shared_window::exists<frm影响预览>());
}

}  // namespace
