// The SQL Server side as far as it can be reached without a server: driver choice, the
// connection string, refusal of values that cannot be carried, and failed logins through the
// real FreeTDS driver.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>

#include "db/database.h"
#include "db/odbc_connection.h"
#include "tests/support/qt_print.h"

namespace odbc = db::odbc;

TEST(OdbcConnectionString, BracesEveryValueAndAddsUtf8ForFreeTds) {
  QString refusal;
  EXPECT_EQ(odbc::connectionString("FreeTDS", "sa", "p;w=1 'x", "人事'库", "db.local\\HR", &refusal),
            QStringLiteral("DRIVER={FreeTDS};SERVER={db.local\\HR};UID={sa};PWD={p;w=1 'x};DATABASE={人事'库};"
                           "ClientCharset=UTF-8;TDS_Version=7.4;"));
  EXPECT_EQ(odbc::connectionString("FreeTDS", "", "", "", "", &refusal),
            QStringLiteral("DRIVER={FreeTDS};SERVER={};UID={};PWD={};DATABASE={};ClientCharset=UTF-8;TDS_Version=7.4;"
                           "Port=1433;"));
  // "host,port" names its own port; a plain host name gets SQL Server's usual one.
  EXPECT_EQ(odbc::connectionString("FreeTDS", "u", "p", "d", "10.1.2.3,14330", &refusal),
            QStringLiteral("DRIVER={FreeTDS};SERVER={10.1.2.3,14330};UID={u};PWD={p};DATABASE={d};"
                           "ClientCharset=UTF-8;TDS_Version=7.4;"));
  // FreeTDS takes "}" as it stands; other drivers read "}}" as "}".
  EXPECT_EQ(
      odbc::connectionString("FreeTDS", "u", "a}b}", "d", "s", &refusal),
      QStringLiteral("DRIVER={FreeTDS};SERVER={s};UID={u};PWD={a}b}};DATABASE={d};ClientCharset=UTF-8;TDS_Version=7.4;"
                     "Port=1433;"));
  EXPECT_EQ(odbc::connectionString("ODBC Driver 18 for SQL Server", "u", "a}b};c", "d", "s", &refusal),
            QStringLiteral("DRIVER={ODBC Driver 18 for SQL Server};SERVER={s};UID={u};PWD={a}}b}};c};DATABASE={d};"
                           "Encrypt=Optional;TrustServerCertificate=yes;"));
  EXPECT_TRUE(refusal.isEmpty());
}

// Driver 18 and later connect as Driver 17 did: encrypted when the server asks, its certificate
// taken without verification (a legacy server's own certificate does not lock the tool out).
TEST(OdbcConnectionString, MicrosoftsDriver18AndLaterConnectAsDriver17Did) {
  QString refusal;
  EXPECT_EQ(odbc::connectionString("ODBC Driver 17 for SQL Server", "sa", "pw", "人事", "10.0.0.5\\HR", &refusal),
            QStringLiteral("DRIVER={ODBC Driver 17 for SQL Server};SERVER={10.0.0.5\\HR};UID={sa};PWD={pw};"
                           "DATABASE={人事};"));
  EXPECT_EQ(odbc::connectionString("odbc driver 18 for sql server", "sa", "pw", "人事", "host,1500", &refusal),
            QStringLiteral("DRIVER={odbc driver 18 for sql server};SERVER={host,1500};UID={sa};PWD={pw};"
                           "DATABASE={人事};Encrypt=Optional;TrustServerCertificate=yes;"));
  EXPECT_TRUE(odbc::connectionString("ODBC Driver 19 for SQL Server", "u", "p", "d", "s", &refusal)
                  .endsWith(QStringLiteral("DATABASE={d};Encrypt=Optional;TrustServerCertificate=yes;")));
  EXPECT_EQ(odbc::connectionString("SQL Server Native Client 11.0", "u", "p", "d", "s", &refusal),
            QStringLiteral("DRIVER={SQL Server Native Client 11.0};SERVER={s};UID={u};PWD={p};DATABASE={d};"));
}

TEST(OdbcConnectionString, FreeTdsRefusesAValueHoldingBraceSemicolon) {
  QString refusal;
  EXPECT_TRUE(odbc::connectionString("FreeTDS", "u", "a};b", "d", "s", &refusal).isEmpty());
  EXPECT_EQ(refusal, QStringLiteral("The password (PWD) holds \"};\", which the FreeTDS ODBC driver cannot take in a "
                                    "connection string."));
  EXPECT_TRUE(odbc::connectionString("FreeTDS", "u", "p", "x};", "s", &refusal).isEmpty());
  EXPECT_TRUE(refusal.contains("database name (DBname)"));

  // The whole start-up path refuses it before any connection attempt.
  if (odbc::chooseSqlServerDriver(odbc::installedDrivers()).contains("FreeTDS")) {
    db::Database database;
    QString error;
    EXPECT_FALSE(database.openSqlServer("sa", "x};y", "db", "127.0.0.1,1", &error));
    EXPECT_TRUE(error.contains("password (PWD)")) << error.toStdString();
  }
}

TEST(OdbcDriver, FreeTdsFirstThenMicrosoftsDriversThenAnySqlServerDriver) {
#ifndef _WIN32
  EXPECT_EQ(odbc::chooseSqlServerDriver({"PostgreSQL", "ODBC Driver 18 for SQL Server", "FreeTDS"}), "FreeTDS");
  EXPECT_EQ(odbc::chooseSqlServerDriver({"ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"}),
            "ODBC Driver 18 for SQL Server");
  EXPECT_EQ(odbc::chooseSqlServerDriver({"MySQL", "FreeTDS 1.3"}), "FreeTDS 1.3");
#else
  EXPECT_EQ(
      odbc::chooseSqlServerDriver({"SQL Server", "ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server"}),
      "ODBC Driver 17 for SQL Server");
  EXPECT_EQ(odbc::chooseSqlServerDriver({"SQL Server", "SQL Server Native Client 11.0"}),
            "SQL Server Native Client 11.0");
  EXPECT_EQ(odbc::chooseSqlServerDriver({"SQL Server", "SQLite3"}), "SQL Server");
#endif
  EXPECT_EQ(odbc::chooseSqlServerDriver({"MySQL", "Old SQL Server driver"}), "Old SQL Server driver");
  EXPECT_EQ(odbc::chooseSqlServerDriver({"MySQL", "PostgreSQL Unicode"}), "");
  EXPECT_EQ(odbc::chooseSqlServerDriver({}), "");
}

namespace {

QString freeTds() {
  for (const QString& d : odbc::installedDrivers()) {
    if (odbc::isFreeTds(d)) return d;
  }
  return {};
}

quint16 closedPort() {
  QTcpServer probe;
  probe.listen(QHostAddress::LocalHost);
  const quint16 port = probe.serverPort();
  probe.close();
  return port;
}

}  // namespace

TEST(OdbcLogin, ClosedPortFailsQuicklyWithTheDriversDescription) {
  if (freeTds().isEmpty()) GTEST_SKIP() << "no FreeTDS ODBC driver is registered";
  db::Database database;
  QString error;
  QElapsedTimer timer;
  timer.start();
  EXPECT_FALSE(
      database.openSqlServer("sa", "secret", "人事", QStringLiteral("127.0.0.1,%1").arg(closedPort()), &error));
  EXPECT_LT(timer.elapsed(), 15000);
  EXPECT_FALSE(database.isOpen());
  EXPECT_TRUE(error.contains("FreeTDS")) << error.toStdString();  // the driver's own text
}

TEST(OdbcLogin, APlainHostNameIsReachedOnPort1433) {
  if (freeTds().isEmpty()) GTEST_SKIP() << "no FreeTDS ODBC driver is registered";
  QTcpServer server;  // stands where SQL Server usually listens; it never answers
  if (!server.listen(QHostAddress::LocalHost, 1433)) GTEST_SKIP() << "port 1433 is in use here";
  const QString connection = odbc::connectionString(freeTds(), "sa", "secret", "db", "127.0.0.1", nullptr);
  db::Database database;
  QString error;
  EXPECT_FALSE(database.openOdbc(connection, 1, &error));
  EXPECT_TRUE(server.hasPendingConnections() || server.waitForNewConnection(100));
  EXPECT_FALSE(error.contains("port")) << error.toStdString();
}

TEST(OdbcLogin, AServerThatNeverAnswersEndsAtTheLoginTimeOut) {
  if (freeTds().isEmpty()) GTEST_SKIP() << "no FreeTDS ODBC driver is registered";
  QTcpServer silent;  // the system accepts connections on its behalf; it never answers
  ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
  const QString connection = odbc::connectionString(freeTds(), "sa", "secret", "db",
                                                    QStringLiteral("127.0.0.1,%1").arg(silent.serverPort()), nullptr);
  db::Database database;
  QString error;
  QElapsedTimer timer;
  timer.start();
  EXPECT_FALSE(database.openOdbc(connection, 2, &error));
  EXPECT_GE(timer.elapsed(), 1500);
  EXPECT_LT(timer.elapsed(), 20000);
  EXPECT_FALSE(error.isEmpty());
}
