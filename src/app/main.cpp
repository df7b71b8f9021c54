// The program: start-up procedure of module Connection, plus a few options for trying the tool.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <QWindow>
#include <cstdio>

#include "app/connection.h"
#include "app/console.h"
#include "app/journal_export.h"
#include "host/host_schema.h"
#include "app/menu/menu_window.h"
#include "db/database.h"
#include "tools/demo/demo_data.h"
#include "core/common/failure.h"
#include "core/common/number_key.h"
#include "core/dbcheck/dbcheck_ops.h"
#include "core/session/session.h"
#include "core/single/single_sql.h"
#include "core/single/single_preview.h"
#include "gui/widgets/app_info.h"
#include "gui/widgets/shared_window.h"

namespace {

QString usage() {
  return QStringLiteral(
             "用法：%1 [选项]\n"
             "修改应用程序 Tarnholm 的设置（DBConfig 节：Svr、UID、PWD、DBname；Svr 为 \"sqlite:<文件>\" 时打开\n"
             "嵌入式数据库）所指数据库中的员工工号。\n"
             "\n"
             "选项：\n"
             "  --enable-batch         启用主菜单中批量修改窗口的按钮（工号统一修改）\n"
             "  --print-schema         以 T-SQL 脚本打印主系统的表，然后退出\n"
             "  --check-database       按本工具改写的列检查设置所指的数据库；\n"
             "                         退出码 0：没有发现问题，1：发现问题，2：无法连接\n"
             "  --dry-run 原工号 新工号  打印把员工的原工号改为新工号将涉及的记录和将发送的 T-SQL 脚本，\n"
             "                         不做任何修改；退出码 0：已打印，1：原工号不在员工档案中或新工号\n"
             "                         已被占用，2：无法连接\n"
             "  --create-demo <文件>   在<文件>处创建嵌入式演示数据库，然后退出\n"
             "      --employees <n>          演示数据库的员工人数（默认 240）\n"
             "      --rows-per-employee <n>  每名员工在每张表中的记录数（默认 1）\n"
             "  --journal              打印设置所指数据库的修改记录，然后退出；退出码 2：无法连接或读取\n"
             "      --since <yyyy-MM-dd>     只打印该日及以后的记录\n"
             "      --number <n>             只打印改动该工号（原工号或新工号）的记录\n"
             "  --help                 显示本说明，然后退出\n")
      .arg(widgets::app_info::exeName());
}

void print(FILE* to, const QString& text) { app::console::print(to, text); }

int fail(const QString& text) {
  print(stderr, text + QStringLiteral("\n\n") + usage());
  return 2;
}

struct Options {
  bool help = false, printSchema = false, enableBatch = false, checkDatabase = false, dryRun = false;
  bool journal = false;
  QDate since;
  QString journalNumber;
  QString demoPath;
  QString oldNumber, newNumber;  // --dry-run
  demo::Scale scale;
  QString error;
};

Options parse(const QStringList& args) {
  Options o;
  auto number = [&](qsizetype& i, int& into) {
    bool ok = false;
    const int v = i + 1 < args.size() ? args[++i].toInt(&ok) : 0;
    if (!ok || v < 1) o.error = QStringLiteral("%1 需要一个正整数").arg(args[i]);
    into = v;
  };
  for (qsizetype i = 0; i < args.size() && o.error.isEmpty(); ++i) {
    const QString& a = args[i];
    if (a == QStringLiteral("--help") || a == QStringLiteral("-h")) {
      o.help = true;
    } else if (a == QStringLiteral("--print-schema")) {
      o.printSchema = true;
    } else if (a == QStringLiteral("--check-database")) {
      o.checkDatabase = true;
    } else if (a == QStringLiteral("--dry-run")) {
      if (i + 2 >= args.size()) {
        o.error = QStringLiteral("--dry-run 需要原工号和新工号");
      } else {
        o.dryRun = true;
        o.oldNumber = args[++i];
        o.newNumber = args[++i];
      }
    } else if (a == QStringLiteral("--enable-batch")) {
      o.enableBatch = true;
    } else if (a == QStringLiteral("--create-demo")) {
      if (i + 1 >= args.size())
        o.error = QStringLiteral("--create-demo 需要一个文件名");
      else
        o.demoPath = args[++i];
    } else if (a == QStringLiteral("--journal")) {
      o.journal = true;
    } else if (a == QStringLiteral("--since")) {
      o.since = i + 1 < args.size() ? QDate::fromString(args[++i], QStringLiteral("yyyy-MM-dd")) : QDate();
      if (!o.since.isValid()) o.error = QStringLiteral("--since 需要一个 yyyy-MM-dd 格式的日期");
    } else if (a == QStringLiteral("--number")) {
      if (i + 1 >= args.size())
        o.error = QStringLiteral("--number 需要一个工号");
      else
        o.journalNumber = args[++i];
    } else if (a == QStringLiteral("--employees")) {
      number(i, o.scale.employees);
    } else if (a == QStringLiteral("--rows-per-employee")) {
      number(i, o.scale.referenceRowsPerEmployee);
    } else {
      o.error = QStringLiteral("未知的选项：") + a;
    }
  }
  return o;
}

int createDemo(const Options& o) {
  QString error;
  db::Database database;
  if (!demo::createDatabase(database, o.demoPath, o.scale, &error)) {
    print(stderr, QStringLiteral("无法创建演示数据库：") + error + u'\n');
    return 1;
  }
  return 0;
}

// --check-database: the check of the database against the column lists, on standard output.
int checkDatabase() {
  const Connection::Settings settings = Connection::ReadSettings();
  QString error;
  db::Database database;
  if (!Connection::OpenQuietly(database, settings, &error)) {
    print(stderr, QStringLiteral("数据库连接失败：%1\n").arg(error));
    return 2;
  }
  const std::unique_ptr<session::Session> session = Connection::MakeSession(database, settings);
  try {
    const dbcheck::Report report = dbcheck::check(database, session->addedColumns());
    print(stdout, report.text());
    return report.ok() ? 0 : 1;
  } catch (const db::DbError& e) {
    print(stderr, QStringLiteral("数据库检查失败：%1\n").arg(common::shownText(e)));
    return 2;
  }
}

// --dry-run OLD NEW: the impact preview as a table, then the script, on standard output. Only
// reads are sent. Exit code 1 when the renumber is refused or the database lacks a table or
// column it rewrites (named on standard error).
int dryRun(const Options& o) {
  // The new number as the single window takes it: full-width forms made ASCII, blanks at either
  // end dropped, a character no number holds refused.
  const common::TypedNumber typed = common::typedNumber(o.newNumber);
  if (typed.number.isEmpty()) {
    print(stderr, single::noNewNumberMessage() + u'\n');
    return 1;
  }
  if (!typed.accepted()) {
    print(stderr, single::refusedNumberMessage(typed.refused) + u'\n');
    return 1;
  }
  const Connection::Settings settings = Connection::ReadSettings();
  QString error;
  db::Database database;
  if (!Connection::OpenQuietly(database, settings, &error)) {
    print(stderr, QStringLiteral("数据库连接失败：%1\n").arg(error));
    return 2;
  }
  const std::unique_ptr<session::Session> session = Connection::MakeSession(database, settings);
  try {
    const single::RenumberPreview p =
        single::previewRenumber(*session, o.oldNumber, typed.number, std::nullopt, session->scriptHeader());
    if (p.status != single::RenumberPreview::Status::Ready) {
      print(stderr, single::refusalMessage(p) + u'\n');
      return 1;
    }
    print(stdout, p.caption + u'\n' + preview::table(p.impact) + u'\n' + p.script);
    // A table or column the renumber rewrites is missing: the renumber would fail and roll back.
    if (const QStringList missing = p.impact.missing(); !missing.isEmpty()) {
      print(stderr, QStringLiteral("缺少以下表或列，修改将失败并全部撤销：%1\n").arg(missing.join(u'、')));
      return 1;
    }
    return 0;
  } catch (const db::DbError& e) {
    print(stderr, QStringLiteral("数据库错误：%1\n").arg(common::shownText(e)));
    return 2;
  }
}

// --journal: the change journal's entries, newest first, on standard output.
int printJournal(const Options& o) {
  const Connection::Settings settings = Connection::ReadSettings();
  QString error;
  db::Database database;
  if (!Connection::OpenQuietly(database, settings, &error)) {
    print(stderr, QStringLiteral("数据库连接失败：%1\n").arg(error));
    return 2;
  }
  const std::unique_ptr<session::Session> session = Connection::MakeSession(database, settings);
  const QString text = journalListing(*session, o.since, o.journalNumber, &error);
  print(stdout, text.isEmpty() ? QStringLiteral("没有修改记录\n") : text);
  if (error.isEmpty()) return 0;
  print(stderr, QStringLiteral("修改记录读取失败：%1\n").arg(error));
  return 2;
}

// With RENUMBER_EXIT_WHEN_SHOWN set (scripts/test starts the demo so), a line naming the main
// menu and its buttons once the menu is on the screen, then the end: exit code 0.
void exitWhenShown(QWidget& menu) {
  auto* poll = new QTimer(&menu);
  QObject::connect(poll, &QTimer::timeout, &menu, [&menu] {
    if (!menu.isVisible() || !menu.windowHandle() || !menu.windowHandle()->isExposed()) return;
    QStringList buttons;
    for (const QPushButton* b : menu.findChildren<QPushButton*>()) buttons << b->text();
    print(stdout, QStringLiteral("主菜单已显示：%1（%2）\n").arg(menu.windowTitle(), buttons.join(u'，')));
    QApplication::exit(0);
  });
  poll->start(20);
}

}  // namespace

int main(int argc, char** argv) {
  const Options o = parse(app::console::arguments(argc, argv));
  if (!o.error.isEmpty()) return fail(o.error);
  if (o.help) {
    print(stdout, usage());
    return 0;
  }
  if (o.printSchema) {
    print(stdout, host::tsqlSchema());
    return 0;
  }
  if (o.checkDatabase) {
    QCoreApplication app(argc, argv);
    return checkDatabase();
  }
  if (o.journal) {
    QCoreApplication app(argc, argv);
    return printJournal(o);
  }
  if (!o.demoPath.isEmpty()) {
    QCoreApplication app(argc, argv);
    return createDemo(o);
  }
  if (o.dryRun) {
    QCoreApplication app(argc, argv);
    return dryRun(o);
  }

  app::console::releaseOwnConsole();
  QApplication app(argc, argv);
  QApplication::setApplicationName(widgets::app_info::exeName());
  QApplication::setQuitOnLastWindowClosed(true);
  QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
  // Standard buttons of message boxes and dialogs in Chinese (是/否, 确定).
  QTranslator qtbase;
  // Qt's own translations, or those shipped beside the program (the Windows package).
  if (qtbase.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      qtbase.load(QStringLiteral("qtbase_zh_CN"),
                  QCoreApplication::applicationDirPath() + QStringLiteral("/translations")))
    QApplication::installTranslator(&qtbase);

  // The connection and the session the windows work on: they outlive every window.
  db::Database database;
  const std::unique_ptr<session::Session> session = Connection::Main(database);
  if (!session) return 1;
  if (o.enableBatch) widgets::shared_window::instance<frm协调>().enableBatch(true);
  if (qEnvironmentVariableIsSet("RENUMBER_EXIT_WHEN_SHOWN")) exitWhenShown(widgets::shared_window::instance<frm协调>());
  const int code = QApplication::exec();
  widgets::shared_window::closeAll();
  return code;
}
