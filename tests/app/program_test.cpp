// The executable's options: --help, --print-schema, --create-demo, and its refusal of others.
#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include "host/host_schema.h"
#include "db/database.h"
#include "tests/support/tool_run.h"

using namespace Qt::StringLiterals;

namespace {

struct Outcome {
  int code = -1;
  QByteArray out, err;
};

Outcome run(const QStringList& args) {
  QProcess p;
  p.start(QStringLiteral(RENUMBER_EXE), args);
  Outcome r;
  if (!p.waitForFinished(120000)) {
    p.kill();
    p.waitForFinished();
    ADD_FAILURE() << "renumber " << args.join(u' ').toStdString() << " did not end";
    return r;
  }
  r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  r.out = p.readAllStandardOutput();
  r.err = p.readAllStandardError();
  return r;
}

TEST(Program, PrintSchemaWritesTheTsqlScript) {
  const Outcome r = run({u"--print-schema"_s});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(consoleText(r.out), host::tsqlSchema());
}

TEST(Program, HelpNamesEveryOptionAndUnknownOptionsAreRefused) {
  const Outcome help = run({u"--help"_s});
  EXPECT_EQ(help.code, 0);
  for (const char* option : {"--enable-batch", "--print-schema", "--create-demo", "--help"})
    EXPECT_TRUE(help.out.contains(option)) << option;
  const Outcome bad = run({u"--frobnicate"_s});
  EXPECT_EQ(bad.code, 2);
  EXPECT_TRUE(consoleText(bad.err).startsWith(u"未知的选项：--frobnicate\n\n用法："_s));
  EXPECT_TRUE(bad.out.isEmpty());
  const Outcome noPath = run({u"--create-demo"_s});
  EXPECT_EQ(noPath.code, 2);
}

TEST(Program, CreateDemoWritesADatabaseOnceAndNeverOverwritesIt) {
  QTemporaryDir dir;
  const QString path = dir.filePath(u"demo.db"_s);
  const Outcome made = run({u"--create-demo"_s, path, u"--employees"_s, u"210"_s});
  ASSERT_EQ(made.code, 0) << made.err.toStdString();
  {
    db::Database d;
    QString error;
    ASSERT_TRUE(d.openSqlite(path, &error)) << error.toStdString();
    db::Recordset rs = d.open(u"SELECT COUNT(*) AS n FROM 员工档案"_s);
    EXPECT_EQ(rs.text(u"n"_s), u"210"_s);
  }
  const qint64 size = QFileInfo(path).size();
  const Outcome again = run({u"--create-demo"_s, path});
  EXPECT_EQ(again.code, 1);
  EXPECT_TRUE(consoleText(again.err).startsWith(u"无法创建演示数据库："_s));
  EXPECT_EQ(QFileInfo(path).size(), size);
}

}  // namespace
