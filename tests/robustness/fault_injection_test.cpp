// Fault injection: every statement of every change the windows make is made to fail in turn (a
// trigger raises an error on exactly that statement), and so is the start of each change on a
// database locked by another connection or made read-only. Each time the database must be
// exactly as before, the user must have seen the database's text, and the window must carry on.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <functional>
#include <iostream>
#include <memory>

#include "host/host_tables.h"
#include "db/database.h"
#include "core/batch/batch_sql.h"
#include "gui/batch/batch_window.h"
#include "core/single/single_sql.h"
#include "gui/single/single_window.h"
#include "core/rules/rules_ops.h"
#include "gui/rules/rules_window.h"
#include "tests/robustness/listed_batch.h"
#include "tests/robustness/robust_support.h"
#include "gui/widgets/flex_grid.h"
#include "gui/widgets/keyed_tree.h"

using namespace robust;

namespace {

// A change one window makes, ready to be made on a fresh database of its own.
class Operation {
 public:
  Harness h;
  virtual ~Operation() = default;
  // "" when the window is ready for the change (the set-up did what the case relies on).
  virtual QString ready() = 0;
  // The user's action; questions are answered with Yes.
  virtual void act() = 0;
  // The statement texts the action must have sent for the change itself.
  virtual QStringList changeStatements() = 0;
  // The database after a successful change, from the database before it.
  virtual Snapshot changed(const Snapshot& before) = 0;
  // The messages a successful action shows.
  virtual QStringList successMessages() = 0;
  // Problems with the window's state after a failed change (it must be as before the action).
  virtual void checkUnchangedWindow(Problems& p) = 0;
};

// ---- The four changes ------------------------------------------------------------------------

// The single-employee window renumbers 0007 to the composed number 18001: the 66 cascade
// statements and the serial statement.
class SingleRenumber : public Operation {
 public:
  frm员工Kestrune* w = nullptr;
  QString ruleRowId;
  SingleRenumber() {
    organisation(h);
    testdata::employee({.number = "0007", .name = "张三", .category = "管理人员", .position = "P01"});
    testdata::employee({.number = "0008", .name = "李四", .category = "管理人员", .position = "P02"});
    testdata::references(host::kSingleCascade, "0007");
    testdata::references(host::kSingleCascade, "0008");
    ruleRowId = h.value(u("SELECT ID FROM 员工工号编码规则 WHERE 类别代码='18'"));
    w = &h.open<frm员工Kestrune>();
    w->Text1->setText(u("0007"));
    w->Command1->click();
    w->Check1->setChecked(true);
  }
  QString ready() override {
    if (!w->Frame2->isEnabled()) return u("no employee selected");
    return w->Text4->text() == u("18001") ? QString() : u("proposal ") + w->Text4->text();
  }
  void act() override { w->Command3->click(); }
  QStringList changeStatements() override {
    return {single::renumberBatch(u("0007"), u("18001"), {}) + single::serialStatement(1, ruleRowId)};
  }
  Snapshot changed(const Snapshot& before) override {
    const Snapshot s = renamed(before, host::kSingleCascade, u("0007"), u("18001"));
    return renamedColumn(s, u("员工工号编码规则"), u("流水号"), u("NULL"), u("1"), u("ID=") + ruleRowId);
  }
  QStringList successMessages() override { return {single::successMessage(u("张三"), u("18001"))}; }
  void checkUnchangedWindow(Problems& p) override {
    p.same(u("18001"), w->Text4->text(), u("new number box"));
    p.same(u("0007"), w->MSFlexGrid1->TextMatrix(1, 1), u("list cell"));
    p.same(u("0007"), w->Label1[4]->property("Tag").toString(), u("selected number"));
    p.expect(w->Frame2->isEnabled() && w->Command3->isEnabled() && w->Check1->isChecked(), u("step two usable"));
    p.expect(w->nextSerial() == 1, u("serial moved on"));
  }
};

// The batch window applies its checked list of three rows: 2001, 2002, 2003 to 12001, 12002, 12003.
class BatchApply : public Operation {
 public:
  ListedBatch list{h};
  frm员工工号统一修改* w = list.w;
  const QStringList olds = list.olds;
  const QStringList news{u("12001"), u("12002"), u("12003")};
  BatchApply() {
    w->Command2->click();
    if (w->Command4->isEnabled()) w->Command4->click();  // the export window, closed at once
  }
  QStringList column(int c) const { return list.column(c); }
  QString ready() override {
    if (column(1) != olds || column(2) != news)
      return u("list ") + column(1).join(u(",")) + u(" / ") + column(2).join(u(","));
    return w->Command3->isEnabled() ? QString() : u("the check did not pass");
  }
  void act() override { w->Command3->click(); }
  QStringList changeStatements() override {
    // The three rows' texts go in one execution.
    QString text;
    for (int i = 0; i < olds.size(); ++i) text += batch::applyBatch(olds[i], news[i], {});
    return {text};
  }
  Snapshot changed(const Snapshot& before) override {
    Snapshot s = before;
    for (int i = 0; i < olds.size(); ++i) s = renamed(s, host::kBatchApply, olds[i], news[i]);
    return s;
  }
  QStringList successMessages() override { return {u("修改完成")}; }
  void checkUnchangedWindow(Problems& p) override {
    p.same(olds.join(u(",")), column(1).join(u(",")), u("old numbers"));
    p.same(news.join(u(",")), column(2).join(u(",")), u("new numbers"));
    p.expect(w->MSFlexGrid1->isVisible() && w->Command3->isEnabled(), u("list and apply button usable"));
    p.expect(QApplication::overrideCursor() == nullptr, u("wait cursor left on"));
  }
};

// The batch window stages the employees without a position, 12 and 13 (34 has a position).
class Staging : public Operation {
 public:
  frm员工工号统一修改* w = nullptr;
  Staging() {
    organisation(h);
    testdata::employee({.number = "12", .name = "无岗甲", .category = "保安"});
    testdata::employee({.number = "13", .name = "无岗乙", .category = "保安"});
    testdata::employee({.number = "34", .name = "有岗", .category = "保安", .position = "P01"});
    for (const QString& n : {u("12"), u("13"), u("34")}) testdata::references(host::kStaging, n);
    w = &h.open<frm员工工号统一修改>();
  }
  QString ready() override { return w->Command5->isEnabled() ? QString() : u("staging button disabled"); }
  void act() override {
    h.answer(true);
    w->Command5->click();
  }
  QStringList changeStatements() override { return db::Database::splitBatches(batch::stagingScript({})); }
  Snapshot changed(const Snapshot& before) override {
    return renamed(renamed(before, host::kStaging, u("12"), u("912")), host::kStaging, u("13"), u("913"));
  }
  QStringList successMessages() override { return {batch::stagingQuestion(2), batch::stagedMessage(2)}; }
  void checkUnchangedWindow(Problems& p) override {
    p.expect(w->Command5->isEnabled(), u("staging button usable"));
    p.expect(QApplication::overrideCursor() == nullptr, u("wait cursor left on"));
  }
};

// The rule window deletes rule 7 (layout 5, two specific rows, two categories); rule 8 stays.
class RuleDeletion : public Operation {
 public:
  frm工号规则设置* w = nullptr;
  RuleDeletion() {
    organisation(h);
    testdata::rule("7", "合同工", 5);
    testdata::rule("8", "正式工", 3);
    testdata::ruleRow(
        {.code = "7", .department = "D01", .departmentCode = "12", .positionCategory = "01", .positionCode = "1"});
    testdata::ruleRow(
        {.code = "7", .department = "D02", .departmentCode = "13", .positionCategory = "02", .positionCode = "2"});
    testdata::ruleRow({.code = "8", .department = "D02", .departmentCode = "13"});
    testdata::employeeCategory("04", "合同工", "7");
    testdata::employeeCategory("05", "外包工", "7");
    testdata::employeeCategory("06", "正式工", "8");
    w = &h.open<frm工号规则设置>();
    w->TreeView3->clickNode(u("LB7"));
  }
  QString ready() override {
    if (!w->Command11->isEnabled()) return u("no rule shown");
    return w->MSFlexGrid1->Rows() == 3 ? QString() : u("specific rows not listed");
  }
  void act() override {
    h.answer(true);
    w->Command11->click();
  }
  QStringList changeStatements() override { return {rules::sqlDeleteRule(u("7"))}; }
  Snapshot changed(const Snapshot& before) override {
    Snapshot s = renamedColumn(before, u("员工类别"), u("类别码"), u("'7'"), u("NULL"));
    s = withoutRows(s, u("员工工号编码规则"), u("类别代码='7'"));
    return withoutRows(s, u("员工工号编码规则名称"), u("类别码='7'"));
  }
  QStringList successMessages() override { return {u("是否要删除合同工?")}; }
  void checkUnchangedWindow(Problems& p) override {
    p.same(u("LB1,LB18,LB7,LB8"), w->TreeView3->keys().join(u(",")), u("rule list"));
    p.same(u("合同工"), w->Text2->text(), u("rule name"));
    p.same(u("7"), w->Text3->text(), u("rule code"));
    p.expect(w->Command11->isEnabled() && w->Command12->isEnabled() && w->Frame1->isEnabled(), u("rule still shown"));
    p.expect(w->MSFlexGrid1->Rows() == 3, u("specific rows still listed"));
    p.same(u("04 合同工,05 外包工"), w->TreeView4->texts().join(u(",")), u("categories of the rule"));
  }
};

template <class Op>
std::unique_ptr<Operation> make() {
  return std::make_unique<Op>();
}
using Factory = std::function<std::unique_ptr<Operation>()>;

// ---- One case --------------------------------------------------------------------------------

// Makes the change with a failure in place (set up by fail, taken away by heal), then checks
// that nothing changed, that the database's text was shown, and that the same change succeeds
// once the failure is gone. Adds the case to series.
void failAndRecover(Series& series, Operation& op, const QString& name, const std::function<void()>& fail,
                    const std::function<void()>& heal, const QString& failureText,
                    const std::function<void(Problems&, const QStringList& log)>& extraChecks = nullptr) {
  const QString notReady = op.ready();
  if (!notReady.isEmpty()) return series.add(name, {u("set-up: ") + notReady});
  Problems p;

  const Snapshot before = snapshot();  // before the failure: a locked database can't be read
  fail();
  const QByteArray fileBefore = fileBytes(op.h.databasePath());
  const qsizetype shown = op.h.messages().size();
  op.h.clearStatements();
  op.act();
  const QStringList log = op.h.statements();
  // The file itself is as it was (read before the failure is taken away, which writes to it).
  p.expect(fileBytes(op.h.databasePath()) == fileBefore, u("database file changed"));
  heal();

  // The user saw the database's own text, and no success.
  const QStringList messages = op.h.messages().mid(shown);
  p.expect(!messages.isEmpty() && messages.last().contains(failureText),
           u("the failure's text was not shown: ") + messages.join(u(" / ")));
  p.expect(messages != op.successMessages(), u("success reported"));
  if (extraChecks) extraChecks(p, log);
  // Every table as before, value for value.
  const QString diff = difference(before, snapshot());
  p.expect(diff.isEmpty(), u("database changed: ") + diff);
  op.checkUnchangedWindow(p);

  // The window carries on: the same change now goes through.
  const qsizetype shownBefore = op.h.messages().size();
  op.h.clearStatements();
  op.act();
  const QStringList log2 = op.h.statements();
  p.same(op.successMessages().join(u(" / ")), op.h.messages().mid(shownBefore).join(u(" / ")), u("retry messages"));
  for (const QString& s : op.changeStatements()) p.expect(log2.contains(s), u("retry did not send ") + s.left(80));
  const QString diff2 = difference(op.changed(before), snapshot());
  p.expect(diff2.isEmpty(), u("retry left: ") + diff2);

  series.add(name, p.list);
}

// The statement log must hold the change statements up to the failing one and none after it;
// failingIndex counts from 0 in changeStatements().
void checkSentUpTo(Problems& p, const QStringList& log, const QStringList& change, int failingIndex) {
  int sent = 0;
  for (const QString& s : change) sent += log.contains(s) ? 1 : 0;
  p.expect(sent == failingIndex + 1, u("%1 change statements sent, expected %2").arg(sent).arg(failingIndex + 1));
  p.expect(log.contains(change.value(failingIndex)), u("the failing statement was not sent"));
}

// The trigger event of a cascade column (a column of its own: the register temp table and the
// document table each hold two employee columns or share a table).
QString updateOf(const host::RefColumn& ref) { return u("UPDATE OF ") + ref.columnName(); }

// ---- Every statement -------------------------------------------------------------------------

TEST(FaultInjection, EveryStatementOfTheSingleRenumber) {
  Series series(u("single renumber"));
  for (int k = 1; k <= 67; ++k) {
    SingleRenumber op;
    const bool serial = k == 67;
    const QString table = serial ? u("员工工号编码规则") : host::kSingleCascade[k - 1].tableName();
    const QString event = serial ? u("UPDATE OF 流水号") : updateOf(host::kSingleCascade[k - 1]);
    failAndRecover(
        series, op, u("statement %1 (%2)").arg(k).arg(table), [&] { injectFailure(table, event, injectedText(k)); },
        [] { removeInjectedFailure(); }, injectedText(k));
  }
  series.expectAllHeld();
  EXPECT_EQ(series.cases(), 67);
}

TEST(FaultInjection, EveryStatementOfTheBatchApplyOnItsThirdRow) {
  Series series(u("batch apply"));
  for (int k = 1; k <= 66; ++k) {
    BatchApply op;
    const host::RefColumn& ref = host::kBatchApply[k - 1];
    // The third row fails: rows one and two, and statements 1 to k - 1 of row three, ran first.
    failAndRecover(
        series, op, u("statement %1 (%2)").arg(k).arg(ref.tableName()),
        [&] { injectFailure(ref.tableName(), updateOf(ref), injectedText(k), ref.columnName(), u("2003")); },
        [] { removeInjectedFailure(); }, injectedText(k));
  }
  series.expectAllHeld();
  EXPECT_EQ(series.cases(), 66);
}

TEST(FaultInjection, EveryStatementOfTheStagingScript) {
  Series series(u("staging script"));
  for (int k = 1; k <= 87; ++k) {
    Staging op;
    const host::RefColumn& ref = host::kStaging[k - 1];
    failAndRecover(
        series, op, u("statement %1 (%2)").arg(k).arg(ref.tableName()),
        [&] { injectFailure(ref.tableName(), updateOf(ref), injectedText(k)); }, [] { removeInjectedFailure(); },
        injectedText(k),
        [&](Problems& p, const QStringList& log) {
          // Each statement is a batch of its own: the failure stopped the script at k (the register's
          // statement, the last of the list, comes after every further column's).
          const QStringList change = op.changeStatements();
          checkSentUpTo(p, log, change, k == 87 ? int(change.size()) - 1 : k - 1);
        });
  }
  series.expectAllHeld();
  EXPECT_EQ(series.cases(), 87);
}

TEST(FaultInjection, EveryStatementOfARuleDeletion) {
  const struct {
    const char* table;
    const char* event;
  } statements[] = {
      {"员工类别", "UPDATE OF 类别码"}, {"员工工号编码规则", "DELETE"}, {"员工工号编码规则名称", "DELETE"}};
  Series series(u("rule deletion"));
  for (int k = 1; k <= 3; ++k) {
    RuleDeletion op;
    const QString table = u(statements[k - 1].table), event = u(statements[k - 1].event);
    failAndRecover(
        series, op, u("statement %1 (%2)").arg(k).arg(table), [&] { injectFailure(table, event, injectedText(k)); },
        [] { removeInjectedFailure(); }, injectedText(k));
  }
  series.expectAllHeld();
  EXPECT_EQ(series.cases(), 3);
}

// ---- Locked and read-only databases -----------------------------------------------------------

const std::vector<std::pair<QString, Factory>>& operations() {
  static const std::vector<std::pair<QString, Factory>> list{{u("single renumber"), make<SingleRenumber>},
                                                             {u("batch apply"), make<BatchApply>},
                                                             {u("staging"), make<Staging>},
                                                             {u("rule deletion"), make<RuleDeletion>}};
  return list;
}

TEST(FaultInjection, ADatabaseLockedByAnotherConnection) {
  Series series(u("locked database"));
  for (const auto& [name, factory] : operations()) {
    // EXCLUSIVE: not even the checks before the change can read; IMMEDIATE: they read, the
    // change itself can't write.
    for (const QString& kind : {u("EXCLUSIVE"), u("IMMEDIATE")}) {
      std::unique_ptr<Operation> op = factory();
      OtherConnection other(op->h.databasePath());
      lockWait(200);
      failAndRecover(
          series, *op, name + u(", ") + kind, [&] { other.lock(kind); }, [&] { other.release(); },
          u("database is locked"));
    }
  }
  series.expectAllHeld();
  EXPECT_EQ(series.cases(), 8);
}

TEST(FaultInjection, ADatabaseThatBecameReadOnly) {
  Series series(u("read-only database"));
  for (const auto& [name, factory] : operations()) {
    // The connection switched to read-only.
    {
      std::unique_ptr<Operation> op = factory();
      failAndRecover(
          series, *op, name + u(", read-only connection"), [] { readOnlyConnection(true); },
          [] { readOnlyConnection(false); }, u("attempt to write a readonly database"));
    }
    // The file itself made immutable: even root can't write it.
    {
      std::unique_ptr<Operation> op = factory();
      const QString path = op->h.databasePath();
      if (!immutableFile(path, false)) {  // a file system or a user that can't: that half is left out
        std::cout << "left out: " << name.toStdString() << " on an immutable file (not allowed here)\n";
        continue;
      }
      failAndRecover(
          series, *op, name + u(", immutable file"), [&] { immutableFile(path, true); },
          [&] { immutableFile(path, false); }, u("disk I/O error"));
      immutableFile(path, false);
    }
  }
  series.expectAllHeld();
}

}  // namespace
