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
#include "ops/connection.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/harness.h"

class SingleOrganisation : public ::testing::Test {
 protected:
  Harness h;
  db::Database& database = ops::sharedConnection();

  void SetUp() override {
    h.exec(
        "INSERT INTO 职能部门new (职能部门编号, 职能部门名称) VALUES ('D01', '综合部')  "
        "INSERT INTO 职能部门new (职能部门编号, 职能部门名称) VALUES ('D02', '工程部')  "
        "INSERT INTO 岗位类别 (岗位类别编号, 岗位类别名称) VALUES ('01', '管理岗')  "
        "INSERT INTO 岗位类别 (岗位类别编号, 岗位类别名称) VALUES ('02', '技术岗')  "
        "INSERT INTO 岗位信息New (岗位代号, 岗位名称, 职能部门代号, 岗位类别代号) VALUES ('P01', '主管', 'D01', '01') "
        "INSERT INTO 岗位信息New (岗位代号, 岗位名称, 职能部门代号, 岗位类别代号) VALUES ('P02', '技工', 'D02', '02')  "
        "INSERT INTO 员工类别 (类别编号, 类别名称, 类别码) VALUES ('01', '管理人员', '18')  "
        "INSERT INTO 员工类别 (类别编号, 类别名称, 类别码) VALUES ('02', '临时工', NULL)");
  }

  void addEmployee(const QString& number, const QString& name, const QString& category = "管理人员",
                   const QString& position = "P01", const QString& idCard = "110101199001011234") {
    h.exec("INSERT INTO 员工档案 (工号, 姓名, 性别, 身份证号码, 员工类别, 岗位编号) VALUES (" + db::sqlQuote(number) +
           ", " + db::sqlQuote(name) + ", '男', " + db::sqlQuote(idCard) + ", " + db::sqlQuote(category) + ", " +
           (position.isEmpty() ? QString("NULL") : db::sqlQuote(position)) + ")");
  }
  void addRule(int ruleCode, const QString& pattern = "'000'", const QString& code = "18") {
    h.exec("INSERT INTO 员工工号编码规则名称 (类别码, 编码类别名称, 编码规则, 流水号位数) VALUES (" +
           db::sqlQuote(code) + ", '管理编号', " + QString::number(ruleCode) + ", " + pattern + ")");
  }
  // A specific rule row, values given as SQL literals (NULL or '...'); returns its ID.
  QString addRuleRow(const QString& dept, const QString& deptCode, const QString& posCat, const QString& posCode,
                     const QString& serial, const QString& code = "'18'") {
    h.exec(
        "INSERT INTO 员工工号编码规则 (类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码, 流水号位数, 流水号) VALUES (" +
        code + ", " + dept + ", " + deptCode + ", " + posCat + ", " + posCode + ", '00000', " + serial + ")");
    return h.value("SELECT MAX(ID) FROM 员工工号编码规则");
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
    for (const host::RefColumn& ref : host::allColumns()) {
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
