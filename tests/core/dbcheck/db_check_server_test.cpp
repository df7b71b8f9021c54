// The database check on SQL Server, over a scripted driver: the catalogue statements it sends and the
// content queries it builds from the catalogue's answer (no DISTINCT on ntext, no comparison that
// converts the register's numbers), and the findings it makes of the scripted answers.
#include <gtest/gtest.h>

#include <QSet>

#include "db/database.h"
#include "core/dbcheck/dbcheck_ops.h"
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
  // The rewritten columns' properties: an archive table of the same name answers as well.
  state->replies << QList<scripted::Result>{
      rows({"TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME", "IS_COMPUTED", "IS_IDENTITY", "INDEXED"},
           {{"archive", "员工记录", "工号", 0, 0, 0},
            {"dbo", "员工档案", "工号", 0, 0, 1},
            {"dbo", "员工档案", "姓名", 0, 0, 0},
            {"dbo", "员工记录", "工号", 0, 0, 0},
            {"dbo", "员工记录", "备注", 0, 0, 0},
            {"dbo", "出勤", "员工编号", 0, 1, 1}})};
  state->replies << QList<scripted::Result>{
      rows({"CONSTRAINT_NAME", "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME", "REF_SCHEMA", "REF_TABLE", "REF_COLUMN",
            "UPDATE_RULE", "IS_DISABLED"},
           {{"FK_出勤_员工档案", "dbo", "出勤", "员工编号", "dbo", "员工档案", "工号", "NO ACTION", 0},
            {"FK_记录_员工档案", "dbo", "员工记录", "工号", "dbo", "员工档案", "工号", "NO ACTION", 1},
            {"FK_门禁_姓名", "dbo", "门禁", "持卡人", "dbo", "员工档案", "姓名", "NO ACTION", 0}})};
  state->replies << QList<scripted::Result>{
      rows({"CONSTRAINT_NAME", "TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME", "DEFINITION", "IS_DISABLED"},
           {{"CK_旧记录", "archive", "员工记录", "工号", "([工号]<>'')", 0},
            {"CK_记录_备注", "dbo", "员工记录", null, "([备注]<>'')", 0},
            {"CK_记录_工号", "dbo", "员工记录", "工号", "([工号]<>'')", 0},
            {"CK_记录_长度", "dbo", "员工记录", null, "(len([工号])>=(4))", 1}})};
  state->replies << QList<scripted::Result>{
      rows({"TRIGGER_NAME", "TABLE_SCHEMA", "TABLE_NAME", "ON_UPDATE", "DISABLED", "INSTEAD_OF"},
           {{"tr_代替", "dbo", "出勤", 1, 0, 1},
            {"tr_记录", "dbo", "员工记录", 1, 0, 0},
            {"tr_旧记录", "archive", "员工记录", 1, 0, 0},
            {"tr_停用", "dbo", "员工记录", 1, 1, 0},
            {"tr_门禁", "dbo", "门禁", 1, 0, 0}})};
  // The sampled columns in one statement, each row naming its column's place.
  state->replies << QList<scripted::Result>{rows({"列", "n"}, {{0, 3}, {1, 0}, {2, 25}, {3, 19}})};

  const dbcheck::Report r = dbcheck::check(database, {});
  const QString content =
      "SELECT %1 AS 列, COUNT(DISTINCT s.v) AS n FROM (SELECT TOP 10000 %2 AS v FROM %3 WHERE %4 IS NOT NULL) AS s "
      "WHERE s.v COLLATE DATABASE_DEFAULT IN (SELECT 工号 COLLATE DATABASE_DEFAULT FROM 员工档案)";
  EXPECT_EQ(
      state->executed,
      (QStringList{
          "SELECT c.TABLE_SCHEMA, c.TABLE_NAME, c.COLUMN_NAME, c.DATA_TYPE, c.CHARACTER_MAXIMUM_LENGTH, "
          "c.COLLATION_NAME, "
          "SCHEMA_NAME() AS DEFAULT_SCHEMA FROM INFORMATION_SCHEMA.COLUMNS AS c INNER JOIN INFORMATION_SCHEMA.TABLES "
          "AS "
          "t ON t.TABLE_CATALOG = c.TABLE_CATALOG AND t.TABLE_SCHEMA = c.TABLE_SCHEMA AND t.TABLE_NAME = c.TABLE_NAME "
          "WHERE t.TABLE_TYPE = 'BASE TABLE' ORDER BY c.TABLE_SCHEMA, c.TABLE_NAME, c.ORDINAL_POSITION",
          "SELECT SCHEMA_NAME(t.schema_id) AS TABLE_SCHEMA, t.name AS TABLE_NAME, c.name AS COLUMN_NAME, c.is_computed "
          "AS IS_COMPUTED, c.is_identity AS IS_IDENTITY, CASE WHEN EXISTS (SELECT * FROM sys.index_columns AS ic INNER "
          "JOIN sys.indexes AS i ON i.object_id = ic.object_id AND i.index_id = ic.index_id WHERE ic.object_id = "
          "c.object_id AND ic.column_id = c.column_id AND ic.key_ordinal = 1 AND i.is_disabled = 0 AND "
          "i.is_hypothetical = 0) THEN 1 ELSE 0 END AS INDEXED FROM sys.columns AS c INNER JOIN sys.tables AS t ON "
          "t.object_id = c.object_id WHERE t.name IN (N'员工档案', N'员工记录', N'出勤')",
          "SELECT fk.name AS CONSTRAINT_NAME, SCHEMA_NAME(pt.schema_id) AS TABLE_SCHEMA, pt.name AS TABLE_NAME, "
          "pc.name AS COLUMN_NAME, SCHEMA_NAME(rt.schema_id) AS REF_SCHEMA, rt.name AS REF_TABLE, rc.name AS "
          "REF_COLUMN, REPLACE(fk.update_referential_action_desc, '_', ' ') AS UPDATE_RULE, fk.is_disabled AS "
          "IS_DISABLED FROM sys.foreign_keys AS fk INNER JOIN sys.foreign_key_columns AS k ON k.constraint_object_id "
          "= fk.object_id INNER JOIN sys.tables AS pt ON pt.object_id = k.parent_object_id INNER JOIN sys.columns AS "
          "pc ON pc.object_id = k.parent_object_id AND pc.column_id = k.parent_column_id INNER JOIN sys.tables AS rt "
          "ON rt.object_id = k.referenced_object_id INNER JOIN sys.columns AS rc ON rc.object_id = "
          "k.referenced_object_id AND rc.column_id = k.referenced_column_id ORDER BY TABLE_SCHEMA, TABLE_NAME, "
          "CONSTRAINT_NAME, k.constraint_column_id",
          "SELECT cc.name AS CONSTRAINT_NAME, SCHEMA_NAME(t.schema_id) AS TABLE_SCHEMA, t.name AS TABLE_NAME, "
          "COL_NAME(cc.parent_object_id, cc.parent_column_id) AS COLUMN_NAME, cc.definition AS DEFINITION, "
          "cc.is_disabled AS IS_DISABLED FROM sys.check_constraints AS cc INNER JOIN sys.tables AS t ON t.object_id = "
          "cc.parent_object_id ORDER BY TABLE_SCHEMA, TABLE_NAME, CONSTRAINT_NAME",
          "SELECT tr.name AS TRIGGER_NAME, SCHEMA_NAME(t.schema_id) AS TABLE_SCHEMA, t.name AS TABLE_NAME, "
          "OBJECTPROPERTY(tr.object_id, 'ExecIsUpdateTrigger') AS ON_UPDATE, tr.is_disabled AS DISABLED, "
          "tr.is_instead_of_trigger AS INSTEAD_OF FROM sys.triggers AS tr INNER JOIN sys.tables AS t ON t.object_id = "
          "tr.parent_id ORDER BY TABLE_NAME, TRIGGER_NAME",
          // The int columns 出勤.员工编号 (rewritten) and 门禁.工号 (found by its name) are not sampled.
          content.arg("0", "[工号]", "[archive].[员工记录]", "[工号]") + " UNION ALL " +
              content.arg("1", "[姓名]", "[dbo].[员工档案]", "[姓名]") + " UNION ALL " +
              content.arg("2", "CAST([备注] AS nvarchar(4000))", "[dbo].[员工记录]", "[备注]") + " UNION ALL " +
              content.arg("3", "[持卡人]", "[dbo].[门禁]", "[持卡人]"),
      }));

  ASSERT_EQ(r.suspects.size(), 3u);
  QStringList suspects;
  for (const dbcheck::Suspect& s : r.suspects) suspects << s.table + "." + s.column + " " + s.reason();
  EXPECT_EQ(suspects, (QStringList{"archive.员工记录.工号 列名与工号列相同；3个值是员工档案中的工号",
                                   "员工记录.备注 内容：25个值是员工档案中的工号",
                                   "门禁.工号 列名与工号列相同；类型为int，未比较内容"}));
  const QString text = r.text();
  EXPECT_TRUE(text.contains(
      "改写的列（3列）：nvarchar(50) Chinese_PRC_CI_AS 1列，varchar(10) Chinese_PRC_BIN 1列，int 1列\n"
      "类型或宽度不符的改写列：\n"
      "  员工记录.工号  varchar(10)比员工档案.工号窄：更长的新工号写不进去，修改会失败并全部撤销\n"
      "  出勤.员工编号  "
      "类型为int，不是字符类型：含非数字字符的新工号写不进去，前导零会丢失；无岗位员工的工号加9会变成数值"
      "相加（13变成22），因此加9会被拒绝\n"
      "排序规则与员工档案.工号不同的改写列：\n"
      "  员工记录.工号  排序规则Chinese_PRC_BIN与员工档案.工号的Chinese_PRC_CI_AS不同：与工号列比较时数据"
      "库报排序规则冲突（Msg 468），或按另一种规则判断工号是否相同\n"
      "不能改写的列（计算列或标识列）：\n"
      "  出勤.员工编号  标识列（IDENTITY）：数据库不允许改写它，修改工号会失败并全部撤销\n"
      "没有索引的改写列：\n"
      "  员工记录.工号  没有以此列开头的索引：每次修改工号都要扫描整张表，扫描期间持有锁，其他程序要等待\n"
      "涉及改写列的CHECK约束：\n"
      "  CK_记录_工号：员工记录.工号  CHECK ([工号]<>'')：新工号不满足此条件时修改会失败并全部撤销\n"
      "  CK_记录_长度：员工记录.工号  CHECK (len([工号])>=(4))：已停用，修改工号时数据库不检查它\n"
      "涉及改写列的外键：\n"
      "  FK_出勤_员工档案：出勤.员工编号  更新规则NO "
      "ACTION：引用员工档案.工号，员工在出勤中有记录时修改工号会失败并全部撤销；"
      "影响：单个修改、批量上传、无岗位处理\n"
      "  FK_记录_员工档案：员工记录.工号  已停用（引用员工档案.工号）：修改工号时数据库既不检查它，也不随之"
      "改写员工记录.工号\n"
      "改写的表上的触发器：\n"
      "  tr_代替（出勤）  INSTEAD OF触发器：出勤的更新由它代替执行，修改工号时数据库不直接改写这张表，工号"
      "可能没有改变\n"
      "  tr_记录（员工记录）  "
      "员工记录的记录更新时运行：修改工号时它也运行，它的改写一并提交，它报错时修改失败并全部撤销\n"
      "  tr_停用（员工记录）  已禁用：修改工号时不运行\n"))
      << text.toStdString();
  EXPECT_EQ(r.keyProblems().size(), 1u);  // the disabled key fails nothing
  EXPECT_EQ(r.triggerProblems().size(), 1u);
  // The tables that are there are not missing; the others are.
  QStringList missing;
  for (const common::Missing& m : r.missing) missing << m.table + (m.column.isEmpty() ? "" : "." + m.column);
  QSet<QString> listed;
  for (const host::RefColumn& c : host::builtInColumns()) listed << c.tableName().toCaseFolded();
  EXPECT_EQ(missing.size(), listed.size() - 3);
  for (const char* there : {"员工档案", "员工记录", "出勤"}) EXPECT_FALSE(missing.contains(there));
  EXPECT_TRUE(missing.contains("员工照片"));
  EXPECT_FALSE(r.ok());
}

// A column that cannot be read is noted and the check goes on: a lock another program holds (Msg
// 1222; the table's other columns are not waited on again) or a value that does not convert (the
// connection answers a probe). A connection that no longer answers ends the check.
TEST(DbCheckOnSqlServer, NotesAColumnItCannotReadAndEndsOnlyWhenTheConnectionIsLost) {
  auto state = std::make_shared<scripted::State>();
  db::Database database;
  QString error;
  ASSERT_TRUE(database.openOdbcConnection(scripted::connection(state), &error)) << error.toStdString();
  const auto catalogue = [&] {
    state->executed.clear();
    state->replies.clear();
    state->replies << QList<scripted::Result>{
        rows({"TABLE_SCHEMA", "TABLE_NAME", "COLUMN_NAME", "DATA_TYPE", "CHARACTER_MAXIMUM_LENGTH", "COLLATION_NAME",
              "DEFAULT_SCHEMA"},
             {{"dbo", "员工档案", "工号", "nvarchar", 50, "Chinese_PRC_CI_AS", "dbo"},
              {"dbo", "门禁", "持卡人", "nvarchar", 50, "Chinese_PRC_CI_AS", "dbo"},
              {"dbo", "门禁", "备注", "nvarchar", 50, "Chinese_PRC_CI_AS", "dbo"},
              {"dbo", "外包", "编号", "nvarchar", 50, "Chinese_PRC_CI_AS", "dbo"}})};
    for (int i = 0; i < 4; ++i) state->replies << QList<scripted::Result>{scripted::count(0)};  // no keys, ...
  };
  const QString lock = "Lock request time out period exceeded.";
  const QString conversion = "Conversion failed when converting the nvarchar value 'A1' to data type int.";

  catalogue();
  state->replies << QList<scripted::Result>{scripted::error(lock, 1222)}  // the three columns at once
                 << QList<scripted::Result>{scripted::error(lock, 1222)}  // 门禁.持卡人 alone
                 << QList<scripted::Result>{scripted::error(conversion, 245)}  // 外包.编号 alone
                 << QList<scripted::Result>{rows({"n"}, {{1}})};  // the probe
  const dbcheck::Report r = dbcheck::check(database, {});
  EXPECT_EQ(state->executed.size(), 5 + 4);
  EXPECT_TRUE(state->executed[6].contains("[dbo].[门禁] WHERE [持卡人] IS NOT NULL"))
      << state->executed[6].toStdString();
  EXPECT_TRUE(state->executed[7].contains("[dbo].[外包]")) << state->executed[7].toStdString();
  EXPECT_EQ(state->executed[8], "SELECT 1 AS n");
  EXPECT_TRUE(
      r.text().contains("无法读取的列（检查跳过了它们）：\n"
                        "  门禁.持卡人  无法读取：" +
                        lock +
                        "\n"
                        "  门禁.备注  无法读取：" +
                        lock +
                        "\n"
                        "  外包.编号  无法读取：" +
                        conversion + "\n"))
      << r.text().toStdString();
  EXPECT_FALSE(r.ok());

  catalogue();
  state->replies << QList<scripted::Result>{scripted::error("Communication link failure")}
                 << QList<scripted::Result>{scripted::error("Communication link failure")};  // the probe
  try {
    dbcheck::check(database, {});
    ADD_FAILURE() << "the check went on without its connection";
  } catch (const db::DbError& e) {
    EXPECT_EQ(e.text(), "Communication link failure");
  }
  EXPECT_EQ(state->executed.size(), 5 + 2);
}

}  // namespace
