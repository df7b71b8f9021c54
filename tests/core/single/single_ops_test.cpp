// The single-employee renumber on the embedded database, without a window: the searches, the
// composition of a new number, the existence checks and the renumber with its transaction.
#include <gtest/gtest.h>

#include <QMap>

#include "core/common/holders.h"
#include "core/single/single_sql.h"
#include "db/catalogue.h"
#include "core/single/single_ops.h"
#include "tests/support/single_fixture.h"
#include "tests/support/pinned_columns.h"

using namespace single;
using testdb::snapshot;
using testdb::Snapshot;

namespace {

using SingleOps = SingleOrganisation;

QStringList numbersOf(const std::vector<EmployeeRow>& rows) {
  QStringList numbers;
  for (const EmployeeRow& r : rows) numbers << r.number;
  return numbers;
}

// ---- Search ----------------------------------------------------------------------------------

TEST_F(SingleOps, TextSearchRows) {
  addEmployee("0007", "张三");
  addEmployee("0103", "O'Neil", "管理人员", "");
  addEmployee("0113", "赵六", "管理人员", "GW999");  // names a post that does not exist
  addEmployee("0130", "钱七");
  h.clearStatements();
  EXPECT_EQ(numbersOf(textSearch(database, "0007", "", "")), QStringList{"0007"});
  EXPECT_EQ(h.statements(), QStringList{textSearchStatement("员工档案.工号 Like '%0007%' ESCAPE '!'")});
  // No box filled: nothing is asked.
  h.clearStatements();
  EXPECT_TRUE(textSearch(database, "", "", "").empty());
  EXPECT_TRUE(h.statements().isEmpty());
  // Employees without a (known) post have empty post columns.
  const std::vector<EmployeeRow> rows = textSearch(database, "011", "O'Neil", "");
  QStringList found = numbersOf(rows);
  found.sort();
  EXPECT_EQ(found, (QStringList{"0103", "0113"}));
  for (const EmployeeRow& e : rows) EXPECT_EQ(e.department + e.position + e.positionCategory, QString());
  // "%", "_" and "[" are no wildcards: a text holding them is found as typed.
  addEmployee("0150", "王%_[五]");
  EXPECT_TRUE(textSearch(database, "1_3", "", "").empty());
  for (const char* typed : {"%", "_", "%_[", "[五]"})
    EXPECT_EQ(numbersOf(textSearch(database, "", typed, "")), QStringList{"0150"}) << typed;
  // A quote finds what it says; a blank is a criterion as typed.
  EXPECT_EQ(numbersOf(textSearch(database, "", "O'Neil", "")), QStringList{"0103"});
  EXPECT_TRUE(textSearch(database, " ", "", "").empty());
}

TEST_F(SingleOps, EqualNumbersStandTogether) {
  // A number holding a letter is not compared (and fails nothing); neither are blanks inside one.
  for (const char* n : {"0012", "0005", "12", "0013", "0007", "5", "A12", "012", "13", "0A12", "1 3", "007 "})
    addEmployee(n, QString("员工") + n);
  h.clearStatements();
  EXPECT_EQ(numbersOf(equalNumbersSearch(database)),
            (QStringList{"0005", "5", "0007", "007 ", "0012", "012", "12", "0013", "13"}));
  EXPECT_EQ(h.statements(), QStringList{equalNumbersStatement()});
}

// ---- Composition -----------------------------------------------------------------------------

TEST_F(SingleOps, ComposesForEveryRuleCode) {
  addRule(0);
  QMap<QString, QString> row;
  row["default"] = addRuleRow("NULL", "NULL", "NULL", "NULL", "NULL");
  row["position"] = addRuleRow("NULL", "NULL", "'01'", "'28'", "4");
  row["department"] = addRuleRow("'D01'", "'68'", "NULL", "NULL", "7");
  row["both"] = addRuleRow("'D01'", "'68'", "'01'", "'28'", "12");
  addRuleRow("'D02'", "'69'", "'01'", "'29'", "50");  // another department's row
  addRuleRow("'D01'", "'99'", "'01'", "'99'", "90");  // a second row for the pair: the first by ID counts
  struct Case {
    QString number, prefix, rowKey;
    qint32 serial;
  };
  const Case cases[] = {{"001", "", "default", 1},           {"18001", "18", "default", 1},
                        {"1828005", "1828", "position", 5},  {"68008", "68", "department", 8},
                        {"6828013", "6828", "both", 13},     {"681828013", "681828", "both", 13},
                        {"6818008", "6818", "department", 8}};
  for (int code = 0; code <= 6; ++code) {
    SCOPED_TRACE(code);
    const Case& c = cases[code];
    h.exec("UPDATE 员工工号编码规则名称 SET 编码规则=" + QString::number(code));
    h.clearStatements();
    const std::optional<Composition> got = compose(database, "管理人员", "D01", "01");
    // The rule, then its row in the order of ID (the texts per code: single_logic_test.cpp).
    EXPECT_EQ(h.statements(),
              (QStringList{ruleQuery("管理人员"), ruleRowQuery(*ruleRowCondition(code, "D01", "01", "18"))}));
    ASSERT_TRUE(got);
    // The rule's pattern counts, not the row's.
    EXPECT_EQ(QStringList({got->number, QString::number(got->ruleCode), got->serialPattern, got->categoryCode,
                           got->ruleRowId, got->prefix, QString::number(got->serial)}),
              QStringList(
                  {c.number, QString::number(code), "000", "18", row[c.rowKey], c.prefix, QString::number(c.serial)}));
  }
}

TEST_F(SingleOps, NullsQuotesAndLongSerials) {
  addRule(1, "'00'");
  const QString id = addRuleRow("NULL", "NULL", "NULL", "NULL", "99");
  EXPECT_EQ(compose(database, "管理人员", "", "").value().number, "18100");  // the serial is not cut
  // A Null pattern reads "0000", a Null serial 0, a Null rule code 0.
  h.exec("UPDATE 员工工号编码规则名称 SET 编码规则=NULL, 流水号位数=NULL");
  h.exec("UPDATE 员工工号编码规则 SET 流水号=NULL WHERE ID=" + id);
  const std::optional<Composition> c = compose(database, "管理人员", "", "");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->number, "0001");
  EXPECT_EQ(c->serialPattern, "0000");
  EXPECT_EQ(c->ruleCode, 0);
  // Quotes in a category name and a category code.
  h.exec("INSERT INTO 员工类别 (类别编号, 类别名称, 类别码) VALUES ('03', 'O''Brien类', 'Q''1')");
  addRule(1, "'000'", "Q'1");
  addRuleRow("NULL", "NULL", "NULL", "NULL", "2", "'Q''1'");
  EXPECT_EQ(compose(database, "O'Brien类", "", "").value().number, "Q'1003");
}

TEST_F(SingleOps, NoRuleToComposeFrom) {
  addRule(3);
  addRuleRow("'D01'", "NULL", "NULL", "NULL", "3");  // a department row without a department code
  addRuleRow("'D01'", "NULL", "'01'", "NULL", "3");  // a pair row without any code
  // Rows under the codes a category without a rule would read as ("" and "0") are never used.
  addRuleRow("NULL", "NULL", "NULL", "NULL", "5", "''");
  addRuleRow("NULL", "NULL", "NULL", "NULL", "5", "'0'");
  struct Case {
    const char *category, *department;
    int ruleCode, queries;
  };
  const Case cases[] = {{"临时工", "D01", 3, 1},  // category without a rule
                        {"不存在的类别", "D01", 3, 1},  // category that does not exist
                        {"管理人员", "", 3, 1},  // no department under a department rule
                        {"管理人员", "D02", 3, 2},  // no row for the department
                        {"管理人员", "D01", 3, 2},  // a row without the code the rule needs
                        {"管理人员", "D01", 4, 2},     {"管理人员", "D01", 7, 1}};  // a code no rule may carry
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.category) + " " + c.department + " rule code " + std::to_string(c.ruleCode));
    h.exec("UPDATE 员工工号编码规则名称 SET 编码规则=" + QString::number(c.ruleCode));
    h.clearStatements();
    EXPECT_FALSE(compose(database, c.category, c.department, "01"));
    EXPECT_EQ(h.statements().size(), c.queries);
  }
}

// ---- Existence checks ------------------------------------------------------------------------

TEST_F(SingleOps, FreeNumbers) {
  addEmployee("0003", "王三");
  addEmployee("0004", "王四");
  h.clearStatements();
  EXPECT_TRUE(numberTaken(database, "0003"));
  EXPECT_FALSE(numberTaken(database, "0005"));
  EXPECT_EQ(h.statements(), (QStringList{existsQuery("0003"), existsQuery("0005")}));
  const auto free = [&](const QString& typed, const QString& prefix, qint32 serial, const QString& pattern) {
    const FreeNumber f = firstFreeNumber(database, typed, prefix, serial, pattern);
    return f.number + " " + QString::number(f.serial);
  };
  EXPECT_EQ(free("0003", "", 3, "0000"), "0005 5");
  EXPECT_EQ(free("8000", "", 3, "0000"), "8000 3");  // a free typed number is kept, the serial as given
  EXPECT_EQ(free("0004", "18", 1, "000"), "18002 2");  // a taken one moves on to the composed numbers
}

// ---- Renumber --------------------------------------------------------------------------------

class SingleOpsRenumber : public SingleOrganisation {
 protected:
  void SetUp() override {
    SingleOrganisation::SetUp();
    seedEveryColumn();
    addRule(0, "'0000'");
    rowId = addRuleRow("NULL", "NULL", "NULL", "NULL", "2");
  }
  QString count(const host::RefColumn& ref, const QString& number) {
    return h.value("SELECT COUNT(*) FROM " + ref.tableName() + " WHERE " + ref.columnName() + "=" +
                   db::sqlQuote(number) + ref.extraCondition());
  }
  QString rowId;
};

TEST_F(SingleOpsRenumber, EveryColumnMovesWithTheSerialInOneTransaction) {
  const Snapshot before = snapshot();
  h.clearStatements();
  EXPECT_EQ(renumber(session, "0007", "0012", SerialUpdate{rowId, 5}), RenumberResult::Done);
  // The widths (once per connection); inside the transaction: the register's holders of both
  // numbers, kept until the end, then the whole batch in one execution.
  EXPECT_EQ(h.statements(),
            (QStringList{db::catalogueSql(database), common::registerHoldersSql({"0007", "0012"}, common::Lock::Held),
                         renumberBatch("0007", "0012", {}) + serialStatement(5, rowId)}));

  const std::vector<host::RefColumn> all = pinned::refColumns();
  const Snapshot expected = testdb::renamedColumn(testdb::renamed(before, all, "0007", "0012"), "员工工号编码规则",
                                                  "流水号", "2", "5", "ID=" + rowId);
  EXPECT_EQ(testdb::difference(expected, snapshot()), QString());
  for (const host::RefColumn& ref : all) {
    SCOPED_TRACE((ref.tableName() + "." + ref.columnName()).toStdString());
    EXPECT_EQ(count(ref, "0007"), "0");
    EXPECT_NE(count(ref, "0012"), "0");
  }
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM XZ文件记录 WHERE 拟稿人='0012' AND 盖章人='0012'"), "1");
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM 员工档案temp WHERE 工号='0007'"), "1");  // another kind of record
  // Without a serial to store the rule row stays as it was.
  h.clearStatements();
  EXPECT_EQ(renumber(session, "0099", "0100", std::nullopt), RenumberResult::Done);
  EXPECT_EQ(h.statements().last(), renumberBatch("0099", "0100", {}));
  EXPECT_EQ(h.value("SELECT 流水号 FROM 员工工号编码规则 WHERE ID=" + rowId), "5");
}

TEST_F(SingleOpsRenumber, RecordsHoldingTheNewNumber) {
  h.clearStatements();
  EXPECT_EQ(recordsHolding(session, "0345"), QString());
  const std::vector<host::RefColumn> all = pinned::refColumns();
  // Every column in one query: its text written out for the first two columns and the last.
  ASSERT_EQ(h.statements().size(), 1);
  const QString sent = h.statements().first();
  // Each column is compared with the number in the statement: the database decides the match.
  EXPECT_TRUE(
      sent.startsWith("SELECT 0 AS 列, 0 AS 序, '0345' AS 工号, COUNT(*) AS 行数 FROM 员工档案 WHERE 员工档案.工号 "
                      "= '0345' HAVING COUNT(*) > 0 UNION ALL SELECT 1 AS 列, 0 AS 序, '0345' AS 工号, "
                      "COUNT(*) AS 行数 FROM 岗位信息new WHERE 岗位信息new.工号 = '0345' HAVING COUNT(*) > 0 "
                      "UNION ALL "))
      << sent.left(300).toStdString();
  EXPECT_TRUE(
      sent.endsWith(" UNION ALL SELECT 91 AS 列, 0 AS 序, '0345' AS 工号, COUNT(*) AS 行数 FROM 招聘岗位员工new "
                    "WHERE 招聘岗位员工new.员工代号 = '0345' HAVING COUNT(*) > 0"));
  EXPECT_EQ(sent.count(" UNION ALL "), qsizetype(all.size()) - 1);
  h.exec(QString("INSERT INTO 工资单明细 (员工编号) VALUES ('0345') ").repeated(3) +
         QString("INSERT INTO 考勤表详细 (员工编号) VALUES ('0345') ").repeated(12));
  EXPECT_EQ(recordsHolding(session, "0345"), "工资单明细 3行，考勤表详细 12行");
  // The register and the post count too.
  EXPECT_TRUE(recordsHolding(session, "0099").startsWith("员工档案 1行，岗位信息new 1行，岗位员工new 1行，"));
}

TEST_F(SingleOpsRenumber, OldNumberNoLongerHeldByOneEmployee) {
  // Someone else renumbered 0007 meanwhile; and two register rows carry 0099.
  h.exec("UPDATE 员工档案 SET 工号='0008' WHERE 工号='0007'");
  addEmployee("0099", "王五");
  const Snapshot before = snapshot();
  h.clearStatements();
  EXPECT_EQ(renumber(session, "0007", "0012", SerialUpdate{rowId, 3}), RenumberResult::OldNumberGone);
  EXPECT_EQ(renumber(session, "0099", "0012", SerialUpdate{rowId, 3}), RenumberResult::OldNumberGone);
  EXPECT_EQ(h.statements(),
            (QStringList{db::catalogueSql(database), common::registerHoldersSql({"0007", "0012"}, common::Lock::Held),
                         common::registerHoldersSql({"0099", "0012"}, common::Lock::Held)}));
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_FALSE(database.inTransaction());
}

// Added columns named so that statements must bracket them: a reserved word, a name beginning
// with a digit.
TEST_F(SingleOpsRenumber, AddedColumnsNamedOrderAnd2号AreRewritten) {
  h.exec("CREATE TABLE 外包人员 (ID INTEGER PRIMARY KEY, [Order] nvarchar(50), [2号] nvarchar(50))");
  h.exec("INSERT INTO 外包人员 ([Order], [2号]) VALUES ('0007', '0007')");
  ASSERT_EQ(session.addColumn({"外包人员", "Order"}), "");
  ASSERT_EQ(session.addColumn({"外包人员", "2号"}), "");
  EXPECT_TRUE(renumberBatch("0007", "0012", session.added())
                  .endsWith(" Update 外包人员 set [Order]='0012' Where [Order]='0007' Update 外包人员 set "
                            "[2号]='0012' Where [2号]='0007'"));
  EXPECT_TRUE(recordsHolding(session, "0007").endsWith("，外包人员 1行，外包人员 1行"));
  EXPECT_EQ(renumber(session, "0007", "0012", std::nullopt), RenumberResult::Done);
  EXPECT_EQ(h.value("SELECT [Order] + ' ' + [2号] FROM 外包人员"), "0012 0012");
}

TEST_F(SingleOpsRenumber, AFailingStatementUndoesEverything) {
  // The 40th statement of the list, one of the columns after the list, and the serial statement.
  h.exec("DROP TABLE 工资事务处理人设置");
  const Snapshot before = snapshot();
  EXPECT_THROW(renumber(session, "0007", "0012", SerialUpdate{rowId, 3}), db::DbError);
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  testdb::rawExec("CREATE TABLE 工资事务处理人设置 (ID INTEGER PRIMARY KEY, 员工编号 TEXT)");
  testdb::rawExec("ALTER TABLE 考勤员设置 RENAME TO 考勤员设置_gone");
  EXPECT_THROW(renumber(session, "0007", "0012", std::nullopt), db::DbError);
  testdb::rawExec("ALTER TABLE 考勤员设置_gone RENAME TO 考勤员设置");
  testdb::rawExec(
      "CREATE TRIGGER serial_locked BEFORE UPDATE OF 流水号 ON 员工工号编码规则 "
      "BEGIN SELECT RAISE(ABORT, 'serial locked'); END");
  try {
    renumber(session, "0007", "0012", SerialUpdate{rowId, 3});
    ADD_FAILURE() << "no error";
  } catch (const db::DbError& e) {
    EXPECT_EQ(e.text(), "serial locked");
  }
  const Snapshot after = snapshot();
  for (const char* table : {"员工档案", "员工工号编码规则", "工资单明细", "考勤员设置", "票据核销记录"})
    EXPECT_EQ(after.value(table), before.value(table)) << table;
  EXPECT_FALSE(database.inTransaction());
}

// ---- On the demo data ------------------------------------------------------------------------

class SingleOpsDemo : public ::testing::Test {
 protected:
  Harness h;
  db::Database& database = Harness::current().database();
  void SetUp() override { h.seedDemo(); }

  struct Pick {
    QString category, department, positionCategory, rowId, departmentCode, positionCode;
    qint64 lastSerial = 0;
  };
  // The first employee of a category whose post matches a specific rule row of ruleKey under the
  // given condition on the row (r) and the post (p).
  Pick pick(const QString& category, const QString& ruleKey, const QString& match) {
    db::Recordset rs = database.open(
        "SELECT p.职能部门代号, p.岗位类别代号, r.ID, r.部门代码, r.岗位代码, r.流水号 FROM 员工档案 e "
        "JOIN 岗位信息New p ON e.岗位编号=p.岗位代号 JOIN 员工工号编码规则 r ON r.类别代码=" +
        db::sqlQuote(ruleKey) + " AND " + match + " WHERE e.员工类别=" + db::sqlQuote(category) + " ORDER BY e.ID");
    if (rs.eof()) return {};
    const auto t = [&](const char* column) { return rs.text(column); };
    return {category,      t("职能部门代号"), t("岗位类别代号"),       t("ID"),
            t("部门代码"), t("岗位代码"),     t("流水号").toLongLong()};
  }
  static QString serial(qint64 last, int width) { return QString("%1").arg(last + 1, width, 10, QLatin1Char('0')); }
  void expectComposed(const Pick& p, int ruleCode, const QString& number) {
    SCOPED_TRACE(ruleCode);
    const std::optional<Composition> c = compose(database, p.category, p.department, p.positionCategory);
    ASSERT_TRUE(c);
    EXPECT_EQ(QStringList({QString::number(c->ruleCode), c->ruleRowId, c->number, QString::number(c->serial)}),
              QStringList({QString::number(ruleCode), p.rowId, number, QString::number(p.lastSerial + 1)}));
  }
  void setRule(const QString& key, int code) {
    h.exec("UPDATE 员工工号编码规则名称 SET 编码规则=" + QString::number(code) + " WHERE 类别码=" + db::sqlQuote(key));
  }
};

TEST_F(SingleOpsDemo, ComposesUnderEveryRuleCode) {
  // The demo's own rules: managers by category code (1), technicians by department (3),
  // service staff by department, category and position (5).
  Pick p = pick("管理人员", "1", "r.部门编号 Is Null AND r.岗位类别 Is Null");
  expectComposed(p, 1, "1" + serial(p.lastSerial, 4));
  setRule("1", 0);
  expectComposed(p, 0, serial(p.lastSerial, 4));

  p = pick("专业技术人员", "2", "r.部门编号=p.职能部门代号 AND r.岗位类别 Is Null");
  expectComposed(p, 3, p.departmentCode + serial(p.lastSerial, 3));
  setRule("2", 6);
  expectComposed(p, 6, p.departmentCode + "2" + serial(p.lastSerial, 3));

  p = pick("服务人员", "3", "r.部门编号=p.职能部门代号 AND r.岗位类别=p.岗位类别代号");
  expectComposed(p, 5, p.departmentCode + "3" + p.positionCode + serial(p.lastSerial, 3));
  setRule("3", 4);
  expectComposed(p, 4, p.departmentCode + p.positionCode + serial(p.lastSerial, 3));

  // Code 2 by position category alone, from a new row without a serial; then a serial longer
  // than the pattern.
  h.exec("INSERT INTO 员工工号编码规则 (类别代码, 岗位类别, 岗位代码) SELECT '3', 岗位类别编号, '9' FROM 岗位类别");
  setRule("3", 2);
  p = pick("服务人员", "3", "r.部门编号 Is Null AND r.岗位类别=p.岗位类别代号");
  EXPECT_EQ(p.lastSerial, 0);
  expectComposed(p, 2, "39001");
  h.exec("UPDATE 员工工号编码规则 SET 流水号=1233 WHERE ID=" + p.rowId);
  p.lastSerial = 1233;
  expectComposed(p, 2, "391234");
}

}  // namespace
