// The SQL Server dialect guard of the test suite (tests/support/dialect_guard.*): statement shapes,
// what is collected, and the T-SQL grammar check that refuses texts only SQLite takes.
#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include "tests/support/dialect_guard.h"
#include "tests/support/qt_print.h"

using dialect_guard::shape;

TEST(DialectGuard, ShapesHideValuesAndCollectOnlyWhatIsNotSuspended) {
  EXPECT_EQ(shape("Update 员工档案 Set 工号='0099' Where 工号='0012' And ID=17"),
            "Update 员工档案 Set 工号='s' Where 工号='s' And ID=0");
  EXPECT_EQ(shape("SELECT N'张''三', 1.5, 0x1F FROM t WHERE a IN ('1', N'2' , '3') AND b In (1,2) AND c IN (x, '1')"),
            "SELECT N's', 0, 0 FROM t WHERE a IN ('s') AND b In (0) AND c IN (x, 's')");
  EXPECT_EQ(shape("VALUES ('a', 'b') -- 'note'\r\nGO"), "VALUES ('s', 's') -- 'note'\r\nGO");
  EXPECT_EQ(dialect_guard::encode({"a\\b\r\nc", "d"}), "a\\\\b\\r\\nc\nd\n");

  const QStringList before = dialect_guard::collected();
  {
    const dialect_guard::Suspend own;
    dialect_guard::collect("SELECT 工号 FROM 员工档案 WHERE ID = 4711");
  }
  EXPECT_EQ(dialect_guard::collected(), before);
  dialect_guard::collect("SELECT 工号 FROM 员工档案 WHERE ID = 4712");
  dialect_guard::collect("SELECT 工号 FROM 员工档案 WHERE ID = 4713");  // the same shape
  EXPECT_EQ(dialect_guard::collected(), before + QStringList{"SELECT 工号 FROM 员工档案 WHERE ID = 0"});
}

namespace {

struct Verdict {
  int code = -1;
  QString output;
};

// Runs the guard on these texts, as the suite's collected shapes.
Verdict guard(const QStringList& texts) {
  QTemporaryDir dir;
  QFile file(dir.filePath("texts.shapes"));
  QStringList shapes;
  for (const QString& t : texts) shapes << shape(t);
  if (!file.open(QIODevice::WriteOnly) || file.write(dialect_guard::encode(shapes).toUtf8()) < 0) return {};
  file.close();
  QProcess p;
  p.start(QStringLiteral(RENUMBER_DIALECT_GUARD), {"--jobs", "1", dir.path()});
  if (!p.waitForFinished(120000)) return {};
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAll())};
}

}  // namespace

TEST(DialectGuard, RefusesTextsOnlySqliteTakesAndAcceptsTheToolsTexts) {
#ifdef _WIN32
  GTEST_SKIP() << "the guard is a Python program of the Linux build: it checks the shapes there";
#endif
  const QStringList sqliteOnly = {
      "SELECT 工号 FROM 员工档案 WHERE 工号 > '0012' ORDER BY 工号 LIMIT 1",
      "SELECT '甲' || 工号 FROM 员工档案",
      "INSERT OR REPLACE INTO 员工工号编码规则 (类别代码, 流水号) VALUES ('7', 3)",
      "SELECT IFNULL(姓名, '') FROM 员工档案",
  };
  const Verdict refused = guard(sqliteOnly);
  EXPECT_EQ(refused.code, 1) << refused.output.toStdString();
  for (const QString& text : sqliteOnly) EXPECT_TRUE(refused.output.contains(shape(text))) << text.toStdString();
  EXPECT_TRUE(refused.output.contains("4 refused")) << refused.output.toStdString();

  const Verdict accepted = guard({
      "SELECT 员工档案.工号, 员工档案.姓名, 岗位信息New.岗位名称 From 员工档案 Left Join 岗位信息New On "
      "员工档案.岗位编号=岗位信息New.岗位代号 Where 员工档案.工号='0012'",
      "Update 员工档案 Set 工号='0099' Where 工号='0012'\r\nUpdate [岗位信息New] Set 工号='0099' Where 工号='0012'",
      "SELECT TOP 1 ISNULL(流水号, 0) FROM 员工工号编码规则 WHERE 类别代码 = N'7' AND 类别代码 + '1' IN ('71', '72')",
      "INSERT INTO 员工工号编码规则 (类别代码, 流水号) VALUES (?, ?); SELECT CAST(SCOPE_IDENTITY() AS bigint)",
  });
  EXPECT_EQ(accepted.code, 0) << accepted.output.toStdString();
  EXPECT_TRUE(accepted.output.contains("0 refused")) << accepted.output.toStdString();
}
