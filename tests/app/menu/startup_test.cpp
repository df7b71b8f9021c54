// Start-up: settings of application Tarnholm, the connection and its session, the two failure messages
// and the main menu.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QSettings>

#include "app/connection.h"
#include "app/menu/menu_window.h"
#include "db/database.h"
#include "core/session/session.h"
#include "tests/support/harness.h"
#include "tests/support/scripted_dialogs.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/shared_window.h"

using namespace Qt::StringLiterals;

namespace {

class Startup : public ::testing::Test {
 protected:
  Harness h;

#ifdef _WIN32
  // On Windows the host system keeps its settings in the registry: the test writes its key, each
  // "key=value" line of body as a text value ("…" quotes dropped), and removes it again.
  static QSettings registry() {
    return QSettings(u"HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Tarnholm"_s, QSettings::NativeFormat);
  }
  void writeSettings(const QString& body) {
    removeSettings();
    QSettings key = registry();
    for (const QString& line : body.split(u'\n', Qt::SkipEmptyParts)) {
      QString value = line.section(u'=', 1);
      if (value.startsWith(u'"') && value.endsWith(u'"')) value = value.mid(1, value.size() - 2);
      key.setValue(u"DBConfig/"_s + line.section(u'=', 0, 0), value);
    }
  }
  void removeSettings() { registry().remove(u"DBConfig"_s); }
  static QString settingsPlace() {
    return u"注册表项 HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Tarnholm\\DBConfig"_s;
  }
#else
  QString settingsFile() const {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, u"Tarnholm"_s).fileName();
  }
  // Writes the settings file as a text, so values stand in it exactly as given.
  void writeSettings(const QString& body) {
    QFile f(settingsFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write((u"[DBConfig]\n"_s + body).toUtf8());
  }
  void removeSettings() { QFile::remove(settingsFile()); }
  QString settingsPlace() const { return u"文件 "_s + settingsFile() + u" 的 [DBConfig] 节"_s; }
#endif
  void TearDown() override { removeSettings(); }

  // The two messages of a failed start-up, with their titles and icons.
  void expectConnectionFailure(const std::unique_ptr<session::Session>& session,
                               const QString& driverText = QString()) {
    EXPECT_EQ(session, nullptr);
    ASSERT_EQ(h.messages().size(), 2) << h.messages().join(u" | "_s).toStdString();
    EXPECT_TRUE(h.messages()[0].startsWith(u"错误信息："_s));
    EXPECT_GT(h.messages()[0].size(), u"错误信息："_s.size()) << "the driver's description is missing";
    EXPECT_TRUE(h.messages()[0].contains(driverText)) << h.messages()[0].toStdString();
    EXPECT_EQ(h.messages()[1], u"数据库连接失败!"_s);
    EXPECT_EQ(h.titles(), (QStringList{u"信息文本"_s, u"连接提示"_s}));
    for (const auto& shown : h.dialogs().shown) EXPECT_EQ(shown.icon, widgets::Icon::Warning);
    EXPECT_FALSE(widgets::shared_window::exists<frm协调>());
  }
};

TEST_F(Startup, SettingsAreReadInOrderSvrUidPwdDbnameAsTyped) {
  writeSettings(u"DBname=物业库\nPWD=\"p;w'1\"\nUID=sa\nSvr=127.0.0.1,1433\n"_s);
  QStringList order;
  const Connection::Settings s = Connection::ReadSettings(&order);
  EXPECT_EQ(order, (QStringList{u"Svr"_s, u"UID"_s, u"PWD"_s, u"DBname"_s}));
  EXPECT_EQ(s.Svr, u"127.0.0.1,1433"_s);  // commas do not split the value
  EXPECT_EQ(s.UID, u"sa"_s);
  EXPECT_EQ(s.PWD, u"p;w'1"_s);
  EXPECT_EQ(s.DBname, u"物业库"_s);
}

TEST_F(Startup, MissingSettingsReadAsEmptyTexts) {
  writeSettings(u"UID=sa\n"_s);
  const Connection::Settings s = Connection::ReadSettings();
  EXPECT_EQ(s.UID, u"sa"_s);
  EXPECT_TRUE(s.Svr.isEmpty() && s.PWD.isEmpty() && s.DBname.isEmpty());
  EXPECT_FALSE(s.Svr.isNull());
}

TEST_F(Startup, EmbeddedSettingOpensTheConnectionAndShowsOneMenu) {
  writeSettings(u"Svr=\"sqlite:"_s + h.databasePath() + u"\"\n"_s);
  const std::unique_ptr<session::Session> first = Connection::Main(h.database());
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(h.messages().isEmpty());
  EXPECT_EQ(h.database().kind(), db::EngineKind::Sqlite);
  EXPECT_EQ(first->origin().server, u"sqlite:"_s + h.databasePath());
  EXPECT_EQ(h.value(u"SELECT COUNT(*) FROM 员工档案"_s), u"0"_s);
  ASSERT_TRUE(widgets::shared_window::exists<frm协调>());
  frm协调* menu = &widgets::shared_window::instance<frm协调>();
  EXPECT_TRUE(menu->isVisible());
  EXPECT_EQ(menu->parentWidget(), nullptr);
  EXPECT_FALSE(menu->isModal());
  const std::unique_ptr<session::Session> second = Connection::Main(h.database());
  EXPECT_NE(second, nullptr);  // a second start finds the same menu
  EXPECT_EQ(&widgets::shared_window::instance<frm协调>(), menu);
}

TEST_F(Startup, MissingEmbeddedFileGivesBothMessages) {
  writeSettings(u"Svr=\"sqlite:"_s + h.dir() + u"/absent.db\"\n"_s);
  expectConnectionFailure(Connection::Main(h.database()), u"absent.db"_s);
  EXPECT_FALSE(QFile::exists(h.dir() + u"/absent.db"_s)) << "opening must not create the file";
}

TEST_F(Startup, UnreadableEmbeddedFileGivesBothMessages) {
  const QString path = h.dir() + u"/garbage.db"_s;
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(QByteArray(4096, 'x'));
  f.close();
  writeSettings(u"Svr=\"sqlite:"_s + path + u"\"\n"_s);
  expectConnectionFailure(Connection::Main(h.database()));
}

TEST_F(Startup, MissingSettingsAreNamedWithWhereTheyBelong) {
  struct Case {
    const char* body;  // nullptr: no settings at all
    QString problem;
  };
  const QString place = settingsPlace();
  const Case cases[] = {
      {nullptr, u"未找到连接设置，应在"_s + place + u"中。"_s},
      {"UID=sa\nPWD=secret\nDBname=Tarnholm\n", u"连接设置缺少 Svr，应在"_s + place + u"中。"_s},
      {"Svr=\nUID=sa\nDBname=Tarnholm\n", u"连接设置缺少 Svr，应在"_s + place + u"中。"_s},
      {"Svr=127.0.0.1,1\nPWD=\n", u"连接设置缺少 UID、DBname，应在"_s + place + u"中。"_s},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body ? c.body : "no settings");
    if (c.body)
      writeSettings(QString::fromUtf8(c.body));
    else
      removeSettings();
    h.dialogs().shown.clear();
    EXPECT_EQ(Connection::Main(h.database()), nullptr);
    EXPECT_EQ(h.messages(), (QStringList{u"错误信息："_s + c.problem, u"数据库连接失败!"_s}));
    EXPECT_EQ(Connection::ReadSettings().problem, c.problem);  // the command-line options report it as well
  }
  EXPECT_FALSE(widgets::shared_window::exists<frm协调>());
}

TEST_F(Startup, UnreachableServerFailsThroughTheOdbcDriver) {
  // Nothing listens on port 1 of the local host.
  writeSettings(u"Svr=127.0.0.1,1\nUID=sa\nPWD=secret\nDBname=Tarnholm\n"_s);
  QElapsedTimer clock;
  clock.start();
  expectConnectionFailure(Connection::Main(h.database()), u"SQL Server"_s);
  EXPECT_LT(clock.elapsed(), 40000) << "the login time-out must end the attempt";
}

}  // namespace
