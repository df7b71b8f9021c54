// The database check on SQL Server, over a scripted driver: the catalogue statements it sends and the
// content queries it builds from the catalogue's answer (no DISTINCT on ntext, no comparison that
// converts the register's numbers), and the findings it makes of the scripted answers.
#include <gtest/gtest.h>

#include <QSet>

#include "db/database.h"
#include "ops/dbcheck/dbcheck_ops.h"
#include "tests/support/scripted_driver.h"
#include "tests/support/dialect_guard.h"

namespace {

using scripted::rows;

TEST(DbCheckOnSqlServer, SendsTheCatalogueQueriesAndSamplesOnlyCharacterColumnsAsText) {
  auto state = std::make_shared<scripted::State>();
  db::Database database;
  QString error;
  ASSERT_TRUE(database.openOdbcConnection(scripted::connection(state), &error)) << error.toStdString();
  state->executed.clear();  // the session settings
  database.setStatementObserver([](const QString& sql) { dialect_guard::collect(sql); });

  const QVariant null;
  // The base tables (a view is no row of the answer): 员工记录 twice, the second in another schema.
  state->replies << QList<scripted::Result>{
      rows({"TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME", "DATA_TYPE", "CHARACTER_MAXIMUM_LENGTH", "COLLATION_NAME",
            "DEFAULT_SCHEMA"},
           {{"archive", "员工记录", "工号", "nvarchar", 50, "Chinese_PRC_CI_AS", "dbo"},
            {"dbo", "员工档案", "工号", "nvarchar", 50, "Chinese_PRC_CI_AS", "dbo"},
            {"dbo", "员工档案", "姓名", "nvarchar", 50, "Chinese_PRC_CI_AS", "dbo"},
            {"dbo", "员工记录", "工号", "varchar", 10, "Chinese_PRC_BIN", "dbo"},
            {"dbo", "员工记录", "备注", "ntext", 1073741823, "Chinese_PRC_CI_AS", "dbo"},
            {"dbo", "出勤", "员工编号", "int", null, null, "dbo"},
            {"dbo", "门禁", "工号", "int", null, null, "dbo"},
            {"dbo", "门禁", "持卡人", "nvarchar", -1, "Latin1_General_CI_AS", "dbo"}})};
  state->replies << QList<scripted::Result>{
      rows({"CONSTRAINT_NAME", "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME", "REF_SCHEMA", "REF_TABLE", "REF_COLUMN",
            "UPDATE_RULE"},
           {{"FK_出勤_员工档案", "dbo", "出勤", "员工编号", "dbo", "员工档案", "工号", "NO ACTION"},
            {"FK_门禁_姓名", "dbo", "门禁", "持卡人", "dbo", "员工档案", "姓名", "NO ACTION"}})};
  state->replies << QList<scripted::Result>{
      rows({"TRIGGER_NAME", "TABLE_SCHEMA", "TABLE_NAME", "ON_UPDATE", "DISABLED"},
           {{"tr_记录", "dbo", "员工记录", 1, 0},
            {"tr_旧记录", "archive", "员工记录", 1, 0},
            {"tr_停用", "dbo", "员工记录", 1, 1},
            {"tr_门禁", "dbo", "门禁", 1, 0}})};
  for (int n : {3, 0, 25, 19}) state->replies << QList<scripted::Result>{rows({"n"}, {{n}})};

  const dbcheck::Report r = dbcheck::check(database, {});
  const QString content =
      "SELECT COUNT(*) AS n FROM (SELECT TOP 1000 %1 AS v FROM %2 WHERE %3 IS NOT NULL GROUP BY %1) AS s WHERE s.v "
      "COLLATE DATABASE_DEFAULT IN (SELECT 工号 COLLATE DATABASE_DEFAULT FROM 员工档案)";
  EXPECT_EQ(
      state->executed,
      (QStringList{
          "SELECT c.TABLE_SCHEMA, c.TABLE_NAME, c.COLUMN_NAME, c.DATA_TYPE, c.CHARACTER_MAXIMUM_LENGTH, "
          "c.COLLATION_NAME, "
          "SCHEMA_NAME() AS DEFAULT_SCHEMA FROM INFORMATION_SCHEMA.COLUMNS AS c INNER JOIN INFORMATION_SCHEMA.TABLES "
          "AS "
          "t ON t.TABLE_CATALOG = c.TABLE_CATALOG AND t.TABLE_SCHEMA = c.TABLE_SCHEMA AND t.TABLE_NAME = c.TABLE_NAME "
          "WHERE t.TABLE_TYPE = 'BASE TABLE' ORDER BY c.TABLE_SCHEMA, c.TABLE_NAME, c.ORDINAL_POSITION",
          "SELECT fk.CONSTRAINT_NAME, c.TABLE_SCHEMA, c.TABLE_NAME, c.COLUMN_NAME, p.TABLE_SCHEMA AS REF_SCHEMA, "
          "p.TABLE_NAME AS REF_TABLE, p.COLUMN_NAME AS REF_COLUMN, fk.UPDATE_RULE FROM "
          "INFORMATION_SCHEMA.REFERENTIAL_CONSTRAINTS AS fk INNER JOIN INFORMATION_SCHEMA.KEY_COLUMN_USAGE AS c ON "
          "c.CONSTRAINT_SCHEMA = fk.CONSTRAINT_SCHEMA AND c.CONSTRAINT_NAME = fk.CONSTRAINT_NAME LEFT JOIN "
          "INFORMATION_SCHEMA.KEY_COLUMN_USAGE AS p ON p.CONSTRAINT_SCHEMA = fk.UNIQUE_CONSTRAINT_SCHEMA AND "
          "p.CONSTRAINT_NAME = fk.UNIQUE_CONSTRAINT_NAME AND p.ORDINAL_POSITION = c.ORDINAL_POSITION ORDER BY "
          "c.TABLE_SCHEMA, c.TABLE_NAME, fk.CONSTRAINT_NAME, c.ORDINAL_POSITION",
          "SELECT o.name AS TRIGGER_NAME, SCHEMA_NAME(o.uid) AS TABLE_SCHEMA, OBJECT_NAME(o.parent_obj) AS TABLE_NAME, "
          "OBJECTPROPERTY(o.id, 'ExecIsUpdateTrigger') AS ON_UPDATE, OBJECTPROPERTY(o.id, 'ExecIsTriggerDisabled') AS "
          "DISABLED FROM sysobjects AS o WHERE o.xtype = 'TR' ORDER BY TABLE_NAME, TRIGGER_NAME",
          // The int columns 出勤.员工编号 (rewritten) and 门禁.工号 (found by its name) are not sampled.
          content.arg("[工号]", "[archive].[员工记录]", "[工号]"),
          content.arg("[姓名]", "[dbo].[员工档案]", "[姓名]"),
          content.arg("CAST([备注] AS nvarchar(4000))", "[dbo].[员工记录]", "[备注]"),
          content.arg("[持卡人]", "[dbo].[门禁]", "[持卡人]"),
      }));

  ASSERT_EQ(r.suspects.size(), 3u);
  QStringList suspects;
  for (const dbcheck::Suspect& s : r.suspects) suspects << s.table + "." + s.column + " " + s.reason();
  EXPECT_EQ(suspects, (QStringList{"archive.员工记录.工号 列名与工号列相同；3个值是员工档案中的工号",
                                   "员工记录.备注 内容：25个值是员工档案中的工号",
                                   "门禁.工号 列名与工号列相同；类型为int，未比较内容"}));
  const QString text = r.text();
  EXPECT_TRUE(
      text.contains("改写的列（3列）：nvarchar(50) Chinese_PRC_CI_AS 1列，varchar(10) Chinese_PRC_BIN 1列，int 1列\n"
                    "类型或宽度不符的改写列：\n"
                    "  员工记录.工号  varchar(10)比员工档案.工号窄：更长的新工号写不进去，修改会失败并全部撤销\n"
                    "  出勤.员工编号  "
                    "类型为int，不是字符类型：含非数字字符的新工号写不进去，前导零会丢失；无岗位员工的工号加9会变成数值"
                    "相加（13变成22），因此加9会被拒绝\n"
                    "涉及改写列的外键：\n"
                    "  FK_出勤_员工档案：出勤.员工编号  更新规则NO "
                    "ACTION：引用员工档案.工号，员工在出勤中有记录时修改工号会失败并全部撤销；"
                    "影响：单个修改、批量上传、无岗位处理\n"
                    "改写的表上的触发器：\n"
                    "  tr_记录（员工记录）  "
                    "员工记录的记录更新时运行：修改工号时它也运行，它的改写一并提交，它报错时修改失败并全部撤销\n"
                    "  tr_停用（员工记录）  已禁用：修改工号时不运行\n"))
      << text.toStdString();
  // The tables that are there are not missing; the others are.
  QStringList missing;
  for (const dbcheck::Missing& m : r.missing) missing << m.table + (m.column.isEmpty() ? "" : "." + m.column);
  QSet<QString> listed;
  for (const host::RefColumn& c : host::builtInColumns()) listed << c.tableName().toCaseFolded();
  EXPECT_EQ(missing.size(), listed.size() - 3);
  for (const char* there : {"员工档案", "员工记录", "出勤"}) EXPECT_FALSE(missing.contains(there));
  EXPECT_TRUE(missing.contains("员工照片"));
  EXPECT_FALSE(r.ok());
}

}  // namespace
