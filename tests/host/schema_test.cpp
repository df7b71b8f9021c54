// The embedded host schema: every table and column the tool's statements name, with indexes.
#include <gtest/gtest.h>

#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

#include "host/host_schema.h"
#include "host/host_tables.h"
#include "db/database.h"
#include "tests/support/harness.h"
#include "tests/support/test_data.h"

using namespace Qt::StringLiterals;

namespace {

QSqlDatabase handle() { return QSqlDatabase::database(Harness::current().database().connectionName(), false); }

QString quoted(const QString& id) { return u'"' + id + u'"'; }

// Column names of a table as the embedded database reports them, folded to lower case.
QSet<QString> columnsOf(const QString& table) {
  QSet<QString> names;
  QSqlQuery q(handle());
  EXPECT_TRUE(q.exec(u"PRAGMA table_info("_s + quoted(table) + u')'));
  while (q.next()) names.insert(q.value(1).toString().toLower());
  return names;
}

// Columns that lead an index of the table, folded to lower case.
QSet<QString> indexedColumnsOf(const QString& table) {
  QSet<QString> names;
  QSqlQuery list(handle());
  EXPECT_TRUE(list.exec(u"PRAGMA index_list("_s + quoted(table) + u')'));
  while (list.next()) {
    QSqlQuery info(handle());
    EXPECT_TRUE(info.exec(u"PRAGMA index_info("_s + quoted(list.value(1).toString()) + u')'));
    if (info.next()) names.insert(info.value(2).toString().toLower());
  }
  return names;
}

template <std::size_t N>
void expectListCovered(const std::array<host::RefColumn, N>& refs, const char* listName) {
  for (const host::RefColumn& ref : refs) {
    const QSet<QString> columns = columnsOf(ref.tableName());
    SCOPED_TRACE(std::string(listName) + ": " + ref.tableName().toStdString() + "." + ref.columnName().toStdString());
    EXPECT_TRUE(columns.contains(u"id"_s));
    EXPECT_TRUE(columns.contains(ref.columnName().toLower()));
    EXPECT_TRUE(indexedColumnsOf(ref.tableName()).contains(ref.columnName().toLower()));
  }
}

TEST(HostSchema, EveryColumnOfTheThreeListsExistsWithAnIndex) {
  Harness h;
  expectListCovered(host::kSingleCascade, "single cascade");
  expectListCovered(host::kBatchApply, "batch apply");
  expectListCovered(host::kStaging, "staging");
  EXPECT_TRUE(columnsOf(u"员工档案temp"_s).contains(u"类型"_s));
  const QSet<QString> xz = columnsOf(u"XZ文件记录"_s);
  EXPECT_TRUE(xz.contains(u"拟稿人"_s) && xz.contains(u"盖章人"_s));
}

TEST(HostSchema, CoreAndRuleTablesHaveTheirColumnsAndIndexes) {
  Harness h;
  const QList<QPair<QString, QStringList>> expected{
      {u"员工档案"_s, {u"ID"_s, u"工号"_s, u"姓名"_s, u"性别"_s, u"身份证号码"_s, u"员工类别"_s, u"岗位编号"_s}},
      {u"员工类别"_s, {u"ID"_s, u"类别编号"_s, u"类别名称"_s, u"类别码"_s}},
      {u"岗位类别"_s, {u"ID"_s, u"岗位类别编号"_s, u"岗位类别名称"_s}},
      {u"岗位信息New"_s, {u"ID"_s, u"岗位代号"_s, u"岗位名称"_s, u"职能部门代号"_s, u"岗位类别代号"_s, u"工号"_s}},
      {u"职能部门new"_s, {u"ID"_s, u"职能部门编号"_s, u"职能部门名称"_s, u"终止日期"_s}},
      {u"上级部门new"_s, {u"ID"_s, u"职能部门编号"_s, u"上级部门编号"_s, u"起始日期"_s}},
      {u"员工工号编码规则名称"_s, {u"ID"_s, u"类别码"_s, u"编码类别名称"_s, u"编码规则"_s, u"流水号位数"_s}},
      {u"员工工号编码规则"_s,
       {u"ID"_s, u"员工类别"_s, u"类别代码"_s, u"部门编号"_s, u"部门代码"_s, u"岗位类别"_s, u"岗位代码"_s,
        u"流水号位数"_s, u"流水号"_s}},
  };
  for (const auto& [table, columns] : expected) {
    const QSet<QString> have = columnsOf(table);
    for (const QString& c : columns)
      EXPECT_TRUE(have.contains(c.toLower())) << table.toStdString() << "." << c.toStdString();
  }
  EXPECT_TRUE(indexedColumnsOf(u"员工档案"_s).contains(u"工号"_s));
  EXPECT_TRUE(indexedColumnsOf(u"岗位信息new"_s).contains(u"岗位代号"_s));
  EXPECT_TRUE(indexedColumnsOf(u"员工类别"_s).contains(u"类别名称"_s));
  EXPECT_TRUE(indexedColumnsOf(u"员工类别"_s).contains(u"类别码"_s));
  EXPECT_TRUE(indexedColumnsOf(u"员工工号编码规则"_s).contains(u"类别代码"_s));
}

TEST(HostSchema, NamesThatDifferOnlyInLetterCaseAreOneTable) {
  QSet<QString> folded;
  for (const QString& t : host::allTables()) EXPECT_FALSE(folded.contains(t.toLower())) << t.toStdString();
  for (const QString& t : host::allTables()) folded.insert(t.toLower());

  // Eight core and rule tables plus every table the lists name, once each.
  QSet<QString> expected{u"员工档案"_s,
                         u"员工类别"_s,
                         u"岗位类别"_s,
                         u"岗位信息new"_s,
                         u"职能部门new"_s,
                         u"上级部门new"_s,
                         u"员工工号编码规则名称"_s,
                         u"员工工号编码规则"_s};
  for (const auto& r : host::kSingleCascade) expected.insert(r.tableName().toLower());
  for (const auto& r : host::kBatchApply) expected.insert(r.tableName().toLower());
  for (const auto& r : host::kStaging) expected.insert(r.tableName().toLower());
  EXPECT_EQ(folded, expected);
  EXPECT_EQ(host::allTables().size(), expected.size());
  ASSERT_NE(host::findTable(u"SKOPERATOR"_s), nullptr);
  EXPECT_EQ(host::findTable(u"岗位信息new"_s)->name, u"岗位信息New"_s);
}

TEST(HostSchema, TextComparesWithoutLetterCaseAndIdsAreAssigned) {
  Harness h;
  h.exec(u"INSERT INTO SKOperator (OperatorNum) VALUES ('ab12')"_s);
  h.exec(u"INSERT INTO skoperator (OperatorNum) VALUES ('cd34')"_s);
  EXPECT_EQ(h.value(u"SELECT OperatorNum FROM skoperator WHERE OperatorNum='AB12'"_s), u"ab12"_s);
  EXPECT_EQ(h.column(u"SELECT ID FROM SKOperator ORDER BY ID"_s), (QStringList{u"1"_s, u"2"_s}));
}

TEST(HostSchema, EveryRenumberStatementOfTheListsRunsOnTheSchema) {
  Harness h;
  auto run = [&](const host::RefColumn& r) {
    const QString t = r.tableName(), c = r.columnName();
    testdata::reference(r, u"0007"_s);
    h.exec(u"Update "_s + t + u" set "_s + c + u"='0012' Where "_s + c + u"='0007'"_s + r.extraCondition());
    EXPECT_EQ(h.value(u"SELECT COUNT(*) FROM "_s + t + u" WHERE "_s + c + u"='0012'"_s), u"1"_s)
        << t.toStdString() << "." << c.toStdString();
    h.exec(u"Delete From "_s + t);
  };
  db::Transaction transaction(Harness::current().database());  // rolled back: only speeds the file up
  for (const auto& r : host::kSingleCascade) run(r);
  for (const auto& r : host::kBatchApply) run(r);
  for (const auto& r : host::kStaging) run(r);
}

TEST(HostSchema, TsqlScriptHasOneGoLinePerStatement) {
  const QString script = host::tsqlSchema();
  const QStringList sqlite = host::sqliteSchema();
  const QStringList lines = script.split(u'\n');
  EXPECT_EQ(lines.count(u"go"_s), sqlite.size());
  const QStringList batches = db::Database::splitBatches(script);
  QStringList nonEmpty;
  for (const QString& b : batches)
    if (!b.trimmed().isEmpty()) nonEmpty << b.trimmed();
  ASSERT_EQ(nonEmpty.size(), sqlite.size());
  int tables = 0;
  for (const QString& b : nonEmpty) {
    EXPECT_TRUE(b.startsWith(u"CREATE TABLE ["_s) || b.startsWith(u"CREATE INDEX ["_s)) << b.toStdString();
    EXPECT_FALSE(b.contains(u'\n'));
    if (b.startsWith(u"CREATE TABLE"_s)) ++tables;
  }
  EXPECT_EQ(tables, host::allTables().size());
  EXPECT_EQ(nonEmpty.first(),
            u"CREATE TABLE [员工档案] ([ID] int IDENTITY(1,1) PRIMARY KEY, [工号] nvarchar(50), [姓名] nvarchar(50), "
            u"[性别] nvarchar(50), [身份证号码] nvarchar(50), [员工类别] nvarchar(50), [岗位编号] nvarchar(50))"_s);
  EXPECT_TRUE(script.contains(u"[终止日期] datetime"_s));
  EXPECT_TRUE(script.contains(u"[起始日期] datetime"_s));
  EXPECT_TRUE(script.contains(u"[编码规则] int,"_s));
  EXPECT_TRUE(script.contains(u"[流水号] int)"_s));
  EXPECT_TRUE(script.contains(u"CREATE INDEX [IX_XZ文件记录_盖章人] ON [XZ文件记录] ([盖章人])"_s));
}

}  // namespace
