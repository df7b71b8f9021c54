// The impact preview of the batch apply: the columns it rewrites (its list, the columns the list
// misses, the added ones), the rows holding the work list's old and new numbers in each, the
// script of exactly what the apply then sends; and the batch window's preview button.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>

#include "app/wiring.h"
#include "core/common/added_columns.h"
#include "core/batch/batch_ops.h"
#include "core/batch/batch_preview.h"
#include "core/session/session.h"
#include "gui/preview/preview_window.h"
#include "gui/batch/batch_window.h"
#include "tests/support/batch_fixture.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/script_statements.h"
#include "gui/widgets/flex_grid.h"

using namespace batch;
using testdb::asSent;
using testdb::scriptStatements;
using testdb::snapshot;
using testdb::Snapshot;
using testdb::writes;

namespace {

const bool kWired = (wireFeatures(), true);

// Two listed employees 1001 and 1002 (rule 1, new numbers 11001 and 11002); 1001 in every table
// of the apply list; three pay slips already under 11002; the added column 门禁卡.持卡人 holding
// 1001 twice, 11002 once and 1002 once.
class BatchPreview : public BatchData {
 protected:
  db::Database& database = h.database();
  session::Session& session = h.session();
  const Rows rows{{u"1001"_s, u"11001"_s}, {u"1002"_s, u"11002"_s}};
  preview::ScriptHeader origin;

  void SetUp() override {
    BatchData::SetUp();
    (void)kWired;
    addListed({u"1001"_s, u"1002"_s});
    testdata::references(host::kBatchApply, u"1001"_s);
    h.exec(u"INSERT INTO 工资单明细 (员工编号) VALUES ('11002') "_s.repeated(3));
    h.exec(u"CREATE TABLE 门禁卡 (ID INTEGER PRIMARY KEY, 持卡人 TEXT)"_s);
    h.exec(
        u"INSERT INTO 门禁卡 (持卡人) VALUES ('1001') INSERT INTO 门禁卡 (持卡人) VALUES ('1001') "
        "INSERT INTO 门禁卡 (持卡人) VALUES ('11002') INSERT INTO 门禁卡 (持卡人) VALUES ('1002')"_s);
    ASSERT_EQ(session.addColumn({u"门禁卡"_s, u"持卡人"_s}), QString());
    origin = {u"hr-sql01"_s, u"Tarnholm"_s, u"hradmin"_s, QDateTime(QDate(2026, 3, 9), QTime(14, 5, 6)), {}};
  }

  qint64 count(const preview::Column& c, const QString& number) {
    return h
        .value(u"SELECT COUNT(*) FROM "_s + c.table + u" WHERE "_s + c.column + u'=' + db::sqlQuote(number) + c.extra)
        .toLongLong();
  }
};

TEST_F(BatchPreview, CountsEveryRewrittenColumnForAllRowsAndChangesNothing) {
  const std::vector<preview::Column> columns = applyColumns(session.added());
  ASSERT_EQ(columns.size(), session.allColumns().size());  // the apply rewrites every column
  EXPECT_EQ(columns.front().table + u'.' + columns.front().column, u"员工档案.工号"_s);
  EXPECT_EQ(columns.back().table + u'.' + columns.back().column, u"门禁卡.持卡人"_s);
  for (const preview::Column& c : columns) EXPECT_EQ(c.added, c.table == u"门禁卡"_s) << c.table.toStdString();
  // Column names compare regardless of case, also beyond ASCII.
  EXPECT_TRUE(host::sameColumn({u8"操作证New", u8"Gh", u8""}, {u8"操作证new", u8"gH", u8""}));
  EXPECT_TRUE(host::sameColumn({u8"Ärger", u8"工号", u8""}, {u8"ärger", u8"工号", u8""}));
  EXPECT_FALSE(host::sameColumn({u8"操作证New", u8"工号", u8""}, {u8"操作证News", u8"工号", u8""}));
  EXPECT_FALSE(host::sameColumn({u8"门禁卡", u8"工号", u8""}, {u8"门禁表", u8"工号", u8""}));

  h.exec(u"INSERT INTO 员工档案temp (工号, 类型) VALUES ('1002', '离职')"_s);  // a kind no renumber moves
  const Snapshot before = snapshot();
  h.clearStatements();
  const ApplyPreview p = previewApply(session, rows, origin);
  ASSERT_EQ(p.status, ApplyPreview::Status::Ready) << refusalMessage(p).toStdString();
  // Reads only: the register once, the catalogue kept for the widths, the impact's own catalogue,
  // then every column in one statement for all four numbers (员工档案temp also among its rows of
  // every kind).
  EXPECT_TRUE(writes(h.statements()).isEmpty()) << writes(h.statements()).join(u'\n').toStdString();
  ASSERT_EQ(h.statements().size(), 4);
  EXPECT_TRUE(h.statements()[3].startsWith(
      u"SELECT 0 AS 列, 问.序 AS 序, 问.号 AS 工号, COUNT(*) AS 行数 FROM 员工档案 INNER JOIN (SELECT 0 AS 序, '1001' "
      u"AS 号 UNION ALL SELECT 1, '11001' UNION ALL SELECT 2, '1002' UNION ALL SELECT 3, '11002') AS 问 ON "
      u"员工档案.工号 = 问.号 GROUP BY 问.序, 问.号 UNION ALL SELECT 1 AS 列, "_s))
      << h.statements()[3].left(300).toStdString();
  EXPECT_EQ(p.impact.totalStaying, 1);
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());

  ASSERT_EQ(p.impact.columns.size(), columns.size());
  qint64 totalOld = 0, totalNew = 0, moved1001 = 0;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const preview::ColumnImpact& c = p.impact.columns[i];
    SCOPED_TRACE((c.column.table + u'.' + c.column.column).toStdString());
    EXPECT_EQ(c.column.table, columns[i].table);
    EXPECT_EQ(c.column.column, columns[i].column);
    EXPECT_EQ(c.oldRows, count(c.column, u"1001"_s) + count(c.column, u"1002"_s));
    EXPECT_EQ(c.newRows, count(c.column, u"11001"_s) + count(c.column, u"11002"_s));
    totalOld += c.oldRows;
    totalNew += c.newRows;
    moved1001 += count(c.column, u"1001"_s);
  }
  EXPECT_GT(moved1001, qint64(host::kBatchApply.size()));  // every table of the list, and more
  EXPECT_EQ(p.impact.totalOld, totalOld);
  EXPECT_EQ(p.impact.totalNew, 4);  // three pay slips and the door card
  EXPECT_EQ(p.impact.totalNew, totalNew);
  EXPECT_EQ(p.impact.columns.back().oldRows, 3);
  EXPECT_EQ(p.impact.columns.back().newRows, 1);

  ASSERT_EQ(p.impact.employees.size(), 2u);
  const preview::EmployeeImpact &e1 = p.impact.employees[0], &e2 = p.impact.employees[1];
  EXPECT_EQ(QStringList({e1.oldNo, e1.newNo, e2.oldNo, e2.newNo}),
            QStringList({u"1001"_s, u"11001"_s, u"1002"_s, u"11002"_s}));
  EXPECT_EQ(e1.rowsMoved, moved1001);
  EXPECT_EQ(e1.newRows, 0);
  EXPECT_EQ(e2.rowsMoved, 2);  // the register and the door card
  EXPECT_EQ(e2.newRows, 4);

  // Progress counts the columns, all counted in the one statement; a stop ends the preview and
  // still changes nothing.
  std::vector<std::pair<int, int>> steps;
  EXPECT_EQ(previewApply(session, rows, origin,
                         [&](int done, int total) {
                           if (done >= 0) steps.emplace_back(done, total);
                           return true;
                         })
                .impact.totalOld,
            totalOld);
  EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{0, int(columns.size())}}));
  EXPECT_THROW(previewApply(session, rows, origin, [](int done, int) { return done < 0; }), Cancelled);
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
}

TEST_F(BatchPreview, TheScriptIsWhatTheApplySendsAndEndsTheSame) {
  testdata::employee({.number = u"1003"_s, .name = u"员工3"_s, .category = u"保安"_s, .position = u"P01"_s});
  // The third row keeps its number: the apply sends it all the same.
  const Rows three{rows[0], rows[1], {u"1003"_s, u"1003"_s}};
  const ApplyPreview p = previewApply(session, three, origin);
  ASSERT_EQ(p.status, ApplyPreview::Status::Ready) << refusalMessage(p).toStdString();
  EXPECT_EQ(p.caption, u"员工工号统一修改 3人"_s);
  EXPECT_EQ(p.fileName, u"员工工号统一修改_20260309_140506.sql"_s);
  EXPECT_EQ(p.impact.employees[2].rowsMoved, 0);
  EXPECT_TRUE(p.script.startsWith(
      u"-- renumber 修改脚本：员工工号统一修改 3人\r\n-- 服务器：hr-sql01  数据库：Tarnholm  登录：hradmin\r\n"
      "-- 生成时间：2026-03-09 14:05:06\r\n"_s))
      << p.script.left(300).toStdString();
  EXPECT_TRUE(p.script.contains(u"WHERE step = 0) SET NOEXEC ON\r\ngo\r\n Update 员工档案 set 工号='11001'"_s));
  EXPECT_TRUE(p.script.endsWith(u"DROP TABLE #renumber_step\r\ngo\r\n"_s));
  EXPECT_EQ(QString::fromUtf8(preview::scriptFile(p.script).mid(3)), p.script);

  // The three rows go in one execution, as the apply sends them (the row whose numbers are equal too).
  // One statement a line; as sent once the line breaks are taken out.
  const QStringList statements = scriptStatements(p.script);
  ASSERT_EQ(statements.size(), 1);
  EXPECT_EQ(asSent(statements)[0], applyBatch(u"1001"_s, u"11001"_s, session.added()) +
                                       applyBatch(u"1002"_s, u"11002"_s, session.added()) +
                                       applyBatch(u"1003"_s, u"1003"_s, session.added()));
  EXPECT_EQ(statements[0].count(u"\r\n"_s), 3 * qsizetype(p.impact.columns.size()) - 1);
  EXPECT_TRUE(
      statements[0].startsWith(u" Update 员工档案 set 工号='11001' Where 工号='1001'\r\n"
                               u" Update 岗位员工new set 员工代号='11001' Where 员工代号='1001'\r\n"_s));
  EXPECT_TRUE(statements[0].contains(u"持卡人='1001'\r\n Update 员工档案 set 工号='11002' Where 工号='1002'\r\n"_s));
  EXPECT_TRUE(applyBatch(u"1001"_s, u"11001"_s, session.added())
                  .endsWith(u" Update 门禁卡 set 持卡人='11001' Where 持卡人='1001'"_s));

  // The script on the embedded engine, in a transaction taken back afterwards.
  const Snapshot before = snapshot();
  database.begin();
  for (const QString& s : statements) database.execute(s);
  const Snapshot byScript = snapshot();
  database.rollback();
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  std::vector<host::RefColumn> applied(host::kBatchApply.begin(), host::kBatchApply.end());
  for (const host::RefColumn& ref : host::missingFrom(host::kBatchApply, session.added())) applied.push_back(ref);
  EXPECT_EQ(testdb::difference(testdb::renamed(testdb::renamed(before, applied, u"1001"_s, u"11001"_s), applied,
                                               u"1002"_s, u"11002"_s),
                               byScript),
            QString());

  h.clearStatements();
  ASSERT_TRUE(applyRows(session, three).applied());
  EXPECT_EQ(writes(h.statements()), asSent(statements));
  EXPECT_EQ(testdb::difference(byScript, snapshot()), QString());
  EXPECT_EQ(h.column(u"SELECT 持卡人 FROM 门禁卡 ORDER BY ID"_s),
            (QStringList{u"11001"_s, u"11001"_s, u"11002"_s, u"11002"_s}));
}

TEST_F(BatchPreview, RefusesWhatTheApplyRefuses) {
  const auto refusal = [&](const Rows& r) {
    const ApplyPreview p = previewApply(session, r, origin);
    return std::pair{p.status, refusalMessage(p)};
  };
  // The same old number twice: the apply stops at the second row, its number already moved.
  const Rows twice{rows[0], {u"1001"_s, u"11005"_s}};
  EXPECT_EQ(refusal(twice), std::pair(ApplyPreview::Status::Stale, staleMessage(2, u"1001"_s)));
  EXPECT_EQ(applyRows(session, twice).staleRow, 1);
  // A new number an employee holds, as the apply's check finds it.
  EXPECT_EQ(refusal({{u"1001"_s, u"1002"_s}}), std::pair(ApplyPreview::Status::CheckFailed, takenMessage(u"员工2"_s)));
  EXPECT_EQ(refusal({}).first, ApplyPreview::Status::NoRows);
  // An employee gone meanwhile.
  h.exec(u"DELETE FROM 员工档案 WHERE 工号='1002'"_s);
  EXPECT_EQ(refusal(rows), std::pair(ApplyPreview::Status::Stale, staleMessage(2, u"1002"_s)));
  EXPECT_EQ(applyRows(session, rows).staleRow, 1);
  // A table the apply rewrites is missing: listed as such, the rest counted.
  h.exec(u"DROP TABLE 门禁卡"_s);
  const Snapshot dropped = snapshot();
  const ApplyPreview lacking = previewApply(session, {rows[0]}, origin);
  EXPECT_EQ(lacking.status, ApplyPreview::Status::Ready);
  EXPECT_EQ(lacking.impact.missing(), QStringList{u"门禁卡"_s});
  EXPECT_GT(lacking.impact.totalOld, 0);
  EXPECT_EQ(testdb::difference(dropped, snapshot()), QString());
  EXPECT_FALSE(database.inTransaction());
}

// ---- The batch window's preview button ------------------------------------------------------

TEST_F(BatchPreview, TheButtonFollowsTheApplyAndShowsThePerEmployeeGrid) {
  auto& w = h.open<frm员工工号统一修改>();
  EXPECT_EQ(w.Command6->text(), u"影响预览"_s);
  w.Combo1->setCurrentIndex(w.Combo1->findText(u"1 保安类"_s));
  w.Command1->click();
  w.Command2->click();
  EXPECT_FALSE(w.Command3->isEnabled());
  EXPECT_FALSE(w.Command6->isEnabled());
  w.Command3->setEnabled(true);  // as after the export window
  ASSERT_TRUE(w.Command6->isEnabled());

  const Snapshot before = snapshot();
  w.Command6->click();
  EXPECT_TRUE(h.messages().isEmpty()) << h.messages().join(u'\n').toStdString();
  ASSERT_TRUE(widgets::shared_window::exists<frm影响预览>());
  auto& v = widgets::shared_window::instance<frm影响预览>();
  EXPECT_TRUE(v.isVisible());
  EXPECT_TRUE(v.Label1->text().startsWith(u"员工工号统一修改 2人"_s));
  EXPECT_TRUE(v.MSFlexGrid2->isVisible());
  ASSERT_EQ(v.MSFlexGrid2->Rows(), 3);
  EXPECT_EQ(QStringList({v.MSFlexGrid2->TextMatrix(2, 1), v.MSFlexGrid2->TextMatrix(2, 2),
                         v.MSFlexGrid2->TextMatrix(2, 3), v.MSFlexGrid2->TextMatrix(2, 4)}),
            QStringList({u"1002"_s, u"11002"_s, u"2"_s, u"4"_s}));
  const QString path = h.dir() + u"/batch.sql"_s;
  h.chooseFile(path);
  v.Command1->click();
  QFile saved(path);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(asSent(scriptStatements(QString::fromUtf8(saved.readAll().mid(3)))),
            applyExecutions(rows, session.added()));
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());

  // An edited number disables both; a failing check shows in the window as the apply's does.
  w.Command3->setEnabled(false);
  EXPECT_FALSE(w.Command6->isEnabled());
  w.Command3->setEnabled(true);
  w.MSFlexGrid1->setTextMatrix(2, 2, u"1001"_s);
  w.Command6->click();
  EXPECT_EQ(w.Label2->text(), takenMessage(u"员工1"_s));
  EXPECT_FALSE(w.Command6->isEnabled());
}

}  // namespace
