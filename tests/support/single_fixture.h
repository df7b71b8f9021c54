#pragma once
// A small organisation on a fresh embedded database, shared by the operations and window tests of
// the single-employee renumber: two departments, two position categories, two posts, a category
// with the code 18 and one without a code.
#include <gtest/gtest.h>

#include <QSet>
#include <QString>
#include <QStringList>

#include "db/database.h"
#include "host/host_tables.h"
#include "core/session/session.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/pinned_columns.h"
#include "tests/support/harness.h"
#include "tests/support/test_data.h"

class SingleOrganisation : public ::testing::Test {
 protected:
  Harness h;
  db::Database& database = h.database();
  session::Session& session = h.session();

  void SetUp() override {
    testdata::department("D01", "综合部");
    testdata::department("D02", "工程部");
    testdata::positionCategory("01", "管理岗");
    testdata::positionCategory("02", "技术岗");
    testdata::position("P01", "主管", "D01", "01");
    testdata::position("P02", "技工", "D02", "02");
    testdata::employeeCategory("01", "管理人员", "18");
    testdata::employeeCategory("02", "临时工");
  }

  // The value of an SQL literal as the tests write it: NULL, or '...' with its quotes doubled.
  static QString literal(const QString& sql) {
    if (sql == "NULL") return QString();
    return sql.mid(1, sql.size() - 2).replace("''", "'");
  }

  void addEmployee(const QString& number, const QString& name, const QString& category = "管理人员",
                   const QString& position = "P01", const QString& idCard = "110101199001011234") {
    testdata::employee({.number = number, .name = name, .category = category, .position = position, .idCard = idCard});
  }
  void addRule(int ruleCode, const QString& pattern = "'000'", const QString& code = "18") {
    testdata::rule(code, "管理编号", ruleCode, literal(pattern));
  }
  // A specific rule row, values given as SQL literals (NULL or '...'); returns its ID.
  QString addRuleRow(const QString& dept, const QString& deptCode, const QString& posCat, const QString& posCode,
                     const QString& serial, const QString& code = "'18'") {
    if (code == "''") {  // the builder writes an empty text as Null; this row needs the empty text
      h.exec(
          "INSERT INTO 员工工号编码规则 (类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码, 流水号位数, 流水号) "
          "VALUES ('', " +
          dept + ", " + deptCode + ", " + posCat + ", " + posCode + ", '00000', " + serial + ")");
      return h.value("SELECT MAX(ID) FROM 员工工号编码规则");
    }
    return QString::number(
        testdata::ruleRow({.code = literal(code),
                           .department = literal(dept),
                           .departmentCode = literal(deptCode),
                           .positionCategory = literal(posCat),
                           .positionCode = literal(posCode),
                           .pattern = "00000",
                           .serial = serial == "NULL" ? std::nullopt : std::optional<int>(serial.toInt())}));
  }

  // Employees 0007 (张三, post P01) and 0099 (李四, post P02), each the holder of its post, and a
  // row under each number in every other column that stores an employee number (员工档案temp rows
  // of the kind the renumber moves, and one of another kind under 0007); one filing record
  // drafted and stamped by 0007.
  void seedEveryColumn() {
    addEmployee("0007", "张三");
    addEmployee("0099", "李四", "管理人员", "P02");
    QStringList inserts{"UPDATE 岗位信息New SET 工号='0007' WHERE 岗位代号='P01'",
                        "UPDATE 岗位信息New SET 工号='0099' WHERE 岗位代号='P02'",
                        "INSERT INTO XZ文件记录 (拟稿人, 盖章人) VALUES ('0007', '0007')",
                        "INSERT INTO 员工档案temp (工号, 类型) VALUES ('0007', '新员工入职')"};
    for (const host::RefColumn& ref : pinned::refColumns()) {
      const QString table = ref.tableName();
      if (table == "员工档案" || table.compare("岗位信息new", Qt::CaseInsensitive) == 0) continue;
      const bool typed = !ref.extraCondition().isEmpty();
      for (const char* n : {"0007", "0099"})
        inserts << "INSERT INTO " + table + " (" + ref.columnName() + (typed ? ", 类型" : "") + ") VALUES ('" + n +
                       (typed ? "', '档案信息修改')" : "')");
    }
    h.exec(inserts.join(" "));
  }
};
