// A change whose impact preview finds a table missing is refused by its plan, before anything is
// sent; its preview still shows the table as missing.
#include <gtest/gtest.h>

#include "core/batch/batch_ops.h"
#include "core/single/single_ops.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/single_fixture.h"

namespace {

using MissingTable = SingleOrganisation;

TEST_F(MissingTable, TheRenumberAndTheApplyAreRefusedByTheirPlans) {
  addEmployee("0007", "张三");
  testdb::rawExec("DROP TABLE 员工照片");
  // A new connection: the session reads the catalogue again.
  const QString path = h.databasePath();
  database.close();
  QString error;
  ASSERT_TRUE(database.openSqlite(path, &error)) << error.toStdString();
  const QString refused = "缺少表员工照片，请先运行数据库检查";
  const single::RenumberPlan renumber = single::planRenumber(session, "0007", "0012", std::nullopt);
  ASSERT_TRUE(renumber.refusal);
  EXPECT_EQ(renumber.refusal->text, refused);
  EXPECT_EQ(renumber.status, single::RenumberPlan::Status::MissingTable);
  const batch::ApplyPlan apply = batch::planApply(session, {{"0007", "0012"}});
  ASSERT_TRUE(apply.refusal);
  EXPECT_EQ(apply.refusal->text, refused);
  // The previews are no change: they show what is missing.
  EXPECT_TRUE(single::planRenumber(session, "0007", "0012", std::nullopt, single::Purpose::Preview).ready());
  EXPECT_TRUE(batch::planApply(session, {{"0007", "0012"}}, batch::Purpose::Preview).ready());
}

}  // namespace
