#pragma once
// The batch feature's test data on a fresh embedded database: two departments, three positions
// (one of a missing department), rules 1 保安类 (categories 保安, 保洁), 2 工程类 and 10 管理类.
#include <gtest/gtest.h>

#include <QMap>
#include <span>

#include "db/database.h"
#include "host/host_tables.h"
#include "tests/support/harness.h"

using namespace Qt::StringLiterals;

class BatchData : public ::testing::Test {
 protected:
  Harness h;
  void SetUp() override {
    h.exec(u"INSERT INTO 职能部门new (职能部门编号, 职能部门名称) VALUES ('D01', '综合部'), ('D02', '工程部')"_s);
    h.exec(
        u"INSERT INTO 岗位信息New (岗位代号, 岗位名称, 职能部门代号) VALUES ('P01', '主管', 'D01'), ('P02', '技工', "
        "'D02'), ('P09', '撤销岗', 'D99')"_s);
    h.exec(
        u"INSERT INTO 员工类别 (类别编号, 类别名称, 类别码) VALUES ('01', '保安', '1'), ('02', '保洁', '1'), ('03', "
        "'工程', '2'), ('04', '管理', '10')"_s);
    for (const char* rule : {"'2', '工程类'", "'1', '保安类'", "'10', '管理类'"})
      h.exec(u"INSERT INTO 员工工号编码规则名称 (类别码, 编码类别名称, 编码规则, 流水号位数) VALUES ("_s + rule +
             u", 0, '0000')"_s);
  }
  void add(const QString& number, const QString& name, const QString& category, const QString& position) {
    h.exec(u"INSERT INTO 员工档案 (工号, 姓名, 员工类别, 岗位编号) VALUES (%1, %2, %3, %4)"_s.arg(
        db::sqlQuote(number), db::sqlQuote(name), db::sqlQuote(category),
        position.isEmpty() ? u"NULL"_s : db::sqlQuote(position)));
  }
  // Employees of rule 1 with a position in department D01 (odd) or D02 (even), named 员工1, 员工2 ...
  void addListed(const QStringList& numbers) {
    for (int i = 0; i < numbers.size(); ++i)
      add(numbers[i], u"员工"_s + QString::number(i + 1), i % 2 ? u"保洁"_s : u"保安"_s, i % 2 ? u"P02"_s : u"P01"_s);
  }
  // One row holding number in every column of columns (the register's own rows aside).
  void referenceRows(std::span<const host::RefColumn> columns, const QString& number) {
    QMap<QString, QStringList> byTable;
    for (const host::RefColumn& ref : columns) byTable[ref.tableName()] << ref.columnName();
    db::Transaction tx(db::Database::shared());
    for (auto it = byTable.cbegin(); it != byTable.cend(); ++it) {
      if (it.key() == u"员工档案"_s) continue;
      QStringList cols = it.value(), values(cols.size(), db::sqlQuote(number));
      if (it.key() == u"员工档案temp"_s) {
        cols << u"类型"_s;
        values << u"'档案信息修改'"_s;
      }
      h.exec(u"INSERT INTO %1 (%2) VALUES (%3)"_s.arg(it.key(), cols.join(u", "_s), values.join(u", "_s)));
    }
    tx.commit();
  }
  // Every column of host::allColumns() holds number once (held) or not at all; names the first that does not.
  QString everyColumn(const QString& number, bool held) {
    for (const host::RefColumn& ref : host::allColumns())
      if (h.value(u"SELECT COUNT(*) FROM %1 WHERE %2=%3"_s.arg(ref.tableName(), ref.columnName(),
                                                               db::sqlQuote(number))) != (held ? u"1"_s : u"0"_s))
        return ref.tableName() + u'.' + ref.columnName();
    return QString();
  }
};
