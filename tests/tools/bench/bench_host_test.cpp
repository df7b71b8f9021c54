// The benchmark's bare statements do exactly the work of the tool's own statements, so the ratios
// compare like with like; the cache is generated once and never changed by a measurement.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <stdexcept>

#include "host/host_schema.h"
#include "tools/bench/bench_host.h"
#include "db/database.h"
#include "core/batch/batch_sql.h"
#include "core/single/single_sql.h"
#include "tests/tools/bench/file_hash.h"
#include "tests/support/harness.h"

using namespace bench;

namespace {

// The bare statements run on the harness's connection while it lives.
struct OnHarness {
  explicit OnHarness(Harness& h) { useConnection(&h.database()); }
  ~OnHarness() { useConnection(nullptr); }
};

// Every row of every table, as text.
QString contents() {
  QSqlQuery q(QSqlDatabase::database(Harness::current().database().connectionName(), false));
  QString out;
  for (const QString& table : host::allTables()) {
    EXPECT_TRUE(q.exec(QStringLiteral("SELECT * FROM \"%1\" ORDER BY ID").arg(table))) << table.toStdString();
    out += table + u'\n';
    while (q.next()) {
      for (int i = 0; i < q.record().count(); ++i) out += q.value(i).toString() + u'\x1f';
      out += u'\n';
    }
  }
  return out;
}

// The employee with the most reference rows in the batch apply's tables.
QString busiestEmployee(Harness& h) {
  return h.value(
      QStringLiteral("SELECT 员工编号 FROM 工资单项目明细 GROUP BY 员工编号 ORDER BY count(*) DESC, 员工编号 LIMIT 1"));
}

}  // namespace

TEST(BenchBare, RenameStatementsDoWhatTheToolsBatchesDo) {
  Harness h;
  const OnHarness bare(h);
  h.seedDemo();
  const QString o = busiestEmployee(h), n = QStringLiteral("9100001");
  ASSERT_FALSE(o.isEmpty());
  const QString before = contents();

  // Single renumber (its cascade, then every other employee-number column): the tool's text
  // forward, the bare statements back, then forward again.
  const std::vector<host::RefColumn> columns = host::allColumns({});
  Harness::current().database().execute(single::renumberBatch(o, n, {}));
  const QString toolAfter = contents();
  ASSERT_NE(toolAfter, before);
  runBare(renameStatements(columns.data(), columns.size(), n, o), true);
  EXPECT_EQ(contents(), before);
  runBare(renameStatements(columns.data(), columns.size(), o, n), false);
  EXPECT_EQ(contents(), toolAfter);
  runBare(renameStatements(columns.data(), columns.size(), n, o), true);

  // Batch apply list, then every further column: the same.
  std::vector<host::RefColumn> batchColumns(host::kBatchApply.begin(), host::kBatchApply.end());
  for (const host::RefColumn& c : host::missingFrom(host::kBatchApply, {})) batchColumns.push_back(c);
  Harness::current().database().execute(batch::applyBatch(o, n, {}));
  const QString batchAfter = contents();
  ASSERT_NE(batchAfter, before);
  EXPECT_EQ(batchAfter, toolAfter);  // both rewrite every employee-number column, in their own orders
  runBare(renameStatements(batchColumns.data(), batchColumns.size(), n, o), true);
  EXPECT_EQ(contents(), before);
  runBare(renameStatements(batchColumns.data(), batchColumns.size(), o, n), false);
  EXPECT_EQ(contents(), batchAfter);
}

TEST(BenchBare, StagingStatementsDoWhatTheStagingScriptDoes) {
  QString byTool, byBare, before;
  {
    Harness h;
    const OnHarness bare(h);
    h.seedDemo();
    before = contents();
    Harness::current().database().executeScript(batch::stagingScript({}));
    byTool = contents();
  }
  {
    Harness h;
    const OnHarness bare(h);
    h.seedDemo();
    ASSERT_EQ(contents(), before);  // the demo data are the same every time
    runBare(stagingStatements(), true);
    byBare = contents();
  }
  EXPECT_NE(byTool, before);
  EXPECT_EQ(byBare, byTool);
}

TEST(BenchBare, OneTransactionIsAllOrNothingAutocommitIsNot) {
  Harness h;
  const OnHarness bare(h);
  h.seedDemo();
  const QString o = busiestEmployee(h), n = QStringLiteral("9100002");
  h.exec(QStringLiteral(
      "CREATE TRIGGER stop BEFORE UPDATE ON 工资单明细 BEGIN SELECT RAISE(ABORT, '工资单明细 is locked'); END"));
  const QString before = contents();
  const QString inRegister = QStringLiteral("SELECT count(*) FROM 员工档案 WHERE 工号='%1'");

  try {
    runBare(renameStatements(host::kBatchApply, o, n), true);
    FAIL() << "the failing statement was not reported";
  } catch (const std::runtime_error& e) {
    EXPECT_TRUE(QString::fromUtf8(e.what()).startsWith(QStringLiteral("工资单明细 is locked"))) << e.what();
  }
  EXPECT_EQ(contents(), before);

  EXPECT_THROW(runBare(renameStatements(host::kBatchApply, o, n), false), std::runtime_error);
  EXPECT_EQ(h.value(inRegister.arg(n)), "1");  // statement 1 ran and stays applied
  EXPECT_EQ(h.value(inRegister.arg(o)), "0");
}

TEST(BenchBare, QueriesAndQuotedLists) {
  Harness h;
  const OnHarness bare(h);
  h.seedDemo();
  EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM 员工档案")),
            h.value(QStringLiteral("SELECT count(*) FROM 员工档案")));
  EXPECT_EQ(column(QStringLiteral("SELECT 工号 FROM 员工档案 ORDER BY ID")),
            h.column(QStringLiteral("SELECT 工号 FROM 员工档案 ORDER BY ID")));
  EXPECT_EQ(scalar(QStringLiteral("SELECT 工号 FROM 员工档案 WHERE 0")), "");
  EXPECT_EQ(quotedList({"0012", "O'Neil"}), "'0012','O''Neil'");
  EXPECT_THROW(scalar(QStringLiteral("SELECT nothing FROM nowhere")), std::runtime_error);
}

TEST(BenchCache, GeneratedOnceNamedByScaleAndNeverChangedByACopy) {
  QTemporaryDir dir;
  QStringList said;
  const auto progress = [&](const QString& line) { said << line; };
  const QString path = ensureCache(dir.path(), 60, 1, progress);
  EXPECT_EQ(QFileInfo(path).fileName(), QStringLiteral("host-60-8790.db"));  // 60 employees, 8,790 reference rows
  EXPECT_EQ(path, cachePath(dir.path(), 60, 1));
  EXPECT_FALSE(QFileInfo::exists(path + ".part"));
  const QByteArray hash = fileHash(path);
  const QDateTime made = QFileInfo(path).lastModified();

  said.clear();
  EXPECT_EQ(ensureCache(dir.path(), 60, 1, progress), path);
  ASSERT_EQ(said.size(), 1);
  EXPECT_TRUE(said[0].startsWith(QStringLiteral("host database from the cache")));
  EXPECT_EQ(QFileInfo(path).lastModified(), made);

  const QString copy = dir.filePath("scratch.db");
  openCopy(path, copy);
  EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM 员工档案")), "60");
  runBare(QStringLiteral("DELETE FROM 员工档案"));
  openCopy(path, copy);  // a fresh copy replaces the changed one
  EXPECT_EQ(scalar(QStringLiteral("SELECT count(*) FROM 员工档案")), "60");
  closeShared();
  EXPECT_EQ(fileHash(path), hash);
}
