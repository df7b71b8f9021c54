#pragma once
// The batch feature's test data on a fresh embedded database: the small organisation of testdata
// (rules 1 保安类 of category 保安 and 18 管理编号 of 管理人员) with a second category 保洁 of rule 1,
// rule 2 工程类 of category 工程, and a position P09 of a missing department.
#include <gtest/gtest.h>

#include "db/database.h"
#include "host/host_tables.h"
#include "core/batch/batch_ops.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/harness.h"
#include "tests/support/pinned_columns.h"
#include "tests/support/test_data.h"

using namespace Qt::StringLiterals;

class BatchData : public ::testing::Test {
 protected:
  Harness h;
  void SetUp() override {
    testdata::smallOrganisation();
    testdata::position("P09", "撤销岗", "D99");
    testdata::employeeCategory("04", "保洁", "1");
    testdata::employeeCategory("05", "工程", "2");
    testdata::rule("2", "工程类", 0, "0000");
  }
  // Employees of rule 1 with a position in department D01 (odd) or D02 (even), named 员工1, 员工2 ...
  void addListed(const QStringList& numbers) {
    for (int i = 0; i < numbers.size(); ++i)
      testdata::employee({.number = numbers[i],
                          .name = u"员工"_s + QString::number(i + 1),
                          .category = i % 2 ? u"保洁"_s : u"保安"_s,
                          .position = i % 2 ? u"P02"_s : u"P01"_s});
  }
  // Every column of the hand-written list holds number once (held) or not at all; names the first
  // that does not.
  QString everyColumn(const QString& number, bool held) {
    for (const host::RefColumn& ref : pinned::refColumns())
      if (h.value(u"SELECT COUNT(*) FROM %1 WHERE %2=%3"_s.arg(ref.tableName(), ref.columnName(),
                                                               db::sqlQuote(number))) != (held ? u"1"_s : u"0"_s))
        return ref.tableName() + u'.' + ref.columnName();
    return QString();
  }

  // The error text of an apply of rows whose write of newNo into the photo table fails as a row's
  // failure does (a trigger refuses it with the text of a NOT NULL constraint: the apply sends the
  // failed slice's rows again one by one to name the row); "(no error)" when the apply goes through.
  QString applyFailingAt(const batch::Rows& rows, const QString& newNo) {
    testdb::rawExec(u"CREATE TRIGGER photo_locked BEFORE UPDATE ON 员工照片 WHEN NEW.工号="_s + db::sqlQuote(newNo) +
                    u" BEGIN SELECT RAISE(ABORT, 'NOT NULL constraint failed: 员工照片.工号'); END"_s);
    try {
      batch::applyRows(Harness::current().session(), rows);
    } catch (const db::DbError& e) {
      return e.text();
    }
    return u"(no error)"_s;
  }
};
