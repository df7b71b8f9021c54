// The columns every renumber rewrites, compared entry by entry with the lists written out by hand
// in tests/support/pinned_columns: the tool's own lists, and the Update statements each operation
// really sends through its window. The test databases' reference tables come from the written-out
// lists, so a misspelled table in the tool's lists also fails the statement that names it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <QTemporaryDir>

#include "app/wiring.h"
#include "core/common/added_columns.h"
#include "db/database.h"
#include "host/host_tables.h"
#include "gui/batch/batch_window.h"
#include "gui/single/single_window.h"
#include "core/session/session.h"
#include "tests/support/harness.h"
#include "tests/support/pinned_columns.h"
#include "tests/support/test_data.h"
#include "tests/support/test_data.h"

namespace {

const bool kWired = (wireFeatures(), true);

using Pairs = std::vector<std::pair<QString, QString>>;

template <class List>
Pairs pairsOf(const List& list) {
  Pairs out;
  for (const auto& c : list) out.emplace_back(c.tableName(), c.columnName());
  return out;
}

// (table, column) of every Update statement in the texts, in order; the rule tables aside.
Pairs updated(const QStringList& texts) {
  static const QRegularExpression update(QStringLiteral(R"(Update\s+(\S+)\s+set\s+([^=\s]+)\s*=)"),
                                         QRegularExpression::CaseInsensitiveOption);
  Pairs out;
  for (const QString& text : texts)
    for (auto it = update.globalMatch(text); it.hasNext();) {
      const auto m = it.next();
      if (!m.captured(1).startsWith(QStringLiteral("员工工号编码规则"))) out.emplace_back(m.captured(1), m.captured(2));
    }
  return out;
}

// Written-out list, then the columns it misses; for the staging those go before the register,
// which must stay last.
Pairs expected(const std::vector<pinned::PinnedColumn>& list, bool registerLast) {
  Pairs own = pairsOf(list), added = pairsOf(pinned::missingFrom(list));
  if (!registerLast) {
    own.insert(own.end(), added.begin(), added.end());
    return own;
  }
  const auto reg = own.back();
  own.pop_back();
  own.insert(own.end(), added.begin(), added.end());
  own.push_back(reg);
  return own;
}

void expectSame(const Pairs& actual, const Pairs& wanted) {
  ASSERT_EQ(actual.size(), wanted.size());
  for (std::size_t i = 0; i < wanted.size(); ++i) {
    EXPECT_EQ(actual[i].first, wanted[i].first) << "entry " << i + 1;
    EXPECT_EQ(actual[i].second, wanted[i].second) << "entry " << i + 1;
  }
}

TEST(ColumnLists, TheToolsListsAreTheWrittenOutOnes) {
  expectSame(pairsOf(host::kSingleCascade), pairsOf(pinned::singleList()));
  expectSame(pairsOf(host::kBatchApply), pairsOf(pinned::applyList()));
  expectSame(pairsOf(host::kStaging), pairsOf(pinned::stagingList()));
  expectSame(pairsOf(host::allColumns({})), pairsOf(pinned::allColumns()));
  EXPECT_EQ(host::allColumns({}).size(), 92u);  // the register and 91 reference columns
  EXPECT_EQ(host::missingFrom(host::kSingleCascade, {}).size(), 26u);
  EXPECT_EQ(host::missingFrom(host::kBatchApply, {}).size(), 26u);
  EXPECT_EQ(host::missingFrom(host::kStaging, {}).size(), 5u);
  // The condition on the kind of record, in every list, as written out.
  const std::vector<host::RefColumn> written = pinned::refColumns();
  const auto sameConditions = [&](const auto& list) {
    for (const host::RefColumn& c : list)
      for (const host::RefColumn& w : written)
        if (host::sameColumn(c, w)) {
          EXPECT_EQ(c.extraCondition(), w.extraCondition()) << c.tableName().toStdString();
        }
  };
  sameConditions(host::kSingleCascade);
  sameConditions(host::kBatchApply);
  sameConditions(host::kStaging);
}

// A name as statements spell it: as it is when a regular identifier, else bracketed; every
// built-in name is regular.
TEST(ColumnLists, StatementFormsOfNames) {
  const std::pair<const char8_t*, const char*> cases[] = {{u8"员工档案temp", "员工档案temp"},
                                                          {u8"月考勤记录_temp", "月考勤记录_temp"},
                                                          {u8"OperatorNum", "OperatorNum"},
                                                          {u8"_x1", "_x1"},
                                                          {u8"Order", "[Order]"},
                                                          {u8"user", "[user]"},
                                                          {u8"Key", "[Key]"},
                                                          {u8"GROUP", "[GROUP]"},
                                                          {u8"2号", "[2号]"},
                                                          {u8"a]b", "[a]]b]"},
                                                          {u8"门禁 卡", "[门禁 卡]"},
                                                          {u8"x-y", "[x-y]"}};
  for (const auto& [name, form] : cases) {
    const host::RefColumn c{name, name, u8""};
    EXPECT_EQ(c.tableSql(), form);
    EXPECT_EQ(c.columnSql(), form);
  }
  for (const host::RefColumn& c : host::allColumns({})) {
    EXPECT_EQ(c.tableSql(), c.tableName());
    EXPECT_EQ(c.columnSql(), c.columnName());
  }
}

class Sent : public ::testing::Test {
 protected:
  Harness h;
  void SetUp() override {
    testdata::department("D01", "综合部");
    testdata::position("P01", "主管", "D01");
    testdata::employeeCategory("01", "管理人员", "7");
    testdata::rule("7", "管理", 1);
    testdata::employee({.number = "3001", .name = "甲", .category = "管理人员", .position = "P01"});
    testdata::employee({.number = "3002", .name = "乙", .category = "管理人员"});
    h.clearStatements();
  }
};

TEST_F(Sent, SingleRenumberUpdatesItsListThenEveryColumnItMisses) {
  auto& w = h.open<frm员工Kestrune>();
  w.Text1->setText("3001");
  w.Command1->click();
  w.Text4->setText("3999");
  h.clearStatements();
  w.Command3->click();
  expectSame(updated(h.statements()), expected(pinned::singleList(), false));
  EXPECT_EQ(h.value("SELECT 工号 FROM 员工档案 WHERE 姓名='甲'"), "3999");
}

TEST_F(Sent, BatchApplyUpdatesItsListThenEveryColumnItMisses) {
  auto& w = h.open<frm员工工号统一修改>();
  w.Combo1->setCurrentIndex(w.Combo1->findData("7"));
  w.Command1->click();  // proposes 7 + 3001's last four
  w.Command2->click();
  ASSERT_TRUE(w.Command4->isEnabled());
  w.Command4->click();  // the export window, closed at once
  ASSERT_TRUE(w.Command3->isEnabled());
  h.clearStatements();
  w.Command3->click();
  expectSame(updated(h.statements()), expected(pinned::applyList(), false));
  EXPECT_EQ(h.value("SELECT 工号 FROM 员工档案 WHERE 姓名='甲'"), "73001");
}

TEST_F(Sent, StagingUpdatesItsListAndEveryColumnItMissesBeforeTheRegister) {
  auto& w = h.open<frm员工工号统一修改>();
  h.clearStatements();
  w.Command5->click();  // asks first; an unqueued question is answered Yes
  expectSame(updated(h.statements()), expected(pinned::stagingList(), true));
  EXPECT_EQ(h.value("SELECT 工号 FROM 员工档案 WHERE 姓名='乙'"), "93002");
}

// A column added in the database check is rewritten by all three operations, after their lists.
TEST_F(Sent, AnAddedColumnIsRewrittenByEveryRenumber) {
  h.exec("CREATE TABLE 外包人员 (ID INTEGER PRIMARY KEY, 员工编号 TEXT)");
  h.exec("INSERT INTO 外包人员 (员工编号) VALUES ('3001')");
  h.exec("INSERT INTO 外包人员 (员工编号) VALUES ('3002')");
  ASSERT_EQ(h.session().addColumn({"外包人员", "员工编号"}), "");
  ASSERT_EQ(h.session().allColumns().size(), 93u);

  auto& single = h.open<frm员工Kestrune>();
  single.Text1->setText("3001");
  single.Command1->click();
  single.Text4->setText("3999");
  h.clearStatements();
  single.Command3->click();
  EXPECT_EQ(updated(h.statements()).back(), std::make_pair(QString("外包人员"), QString("员工编号")));
  auto& batch = h.open<frm员工工号统一修改>();
  batch.Combo1->setCurrentIndex(batch.Combo1->findData("7"));
  batch.Command1->click();
  batch.Command2->click();
  batch.Command4->click();
  batch.Command3->click();  // 3999 -> 73999
  batch.Command5->click();  // 3002 -> 93002
  EXPECT_EQ(h.column("SELECT 员工编号 FROM 外包人员 ORDER BY ID"), (QStringList{"73999", "93002"}));
  h.session().removeColumn({"外包人员", "员工编号"});
  EXPECT_EQ(h.session().allColumns().size(), 92u);
}

}  // namespace
