#include "tests/robustness/robust_support.h"

#include <gtest/gtest.h>
#ifdef __linux__
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <QAtomicInt>
#include <QFile>
#include <QLineEdit>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <stdexcept>

#include "app/wiring.h"

namespace robust {
namespace {
// Every batch window made in these tests gets its old/new export, as at start-up.
const bool kWired = (wireFeatures(), true);
}  // namespace

namespace {

[[noreturn]] void fail(const QString& what, const QSqlQuery& q) {
  throw std::runtime_error((what + u(": ") + q.lastError().text()).toStdString());
}

}  // namespace

QString differenceBesides(Snapshot expected, Snapshot actual, const QStringList& tables) {
  for (const QString& t : tables) {
    expected.remove(t);
    actual.remove(t);
  }
  return difference(expected, actual);
}

QList<QStringList> addedRows(const Snapshot& before, const Snapshot& after, const QString& table, QString* problem) {
  const QList<QStringList> was = before.value(table), is = after.value(table);
  *problem = is.mid(0, was.size()) == was ? QString() : table + u(": rows that were there changed");
  return is.mid(was.size());
}

Snapshot withoutRows(Snapshot s, const QString& table, const QString& holding) {
  for (auto it = s.begin(); it != s.end(); ++it)
    if (it.key().compare(table, Qt::CaseInsensitive) == 0)
      it.value().removeIf([&](const QStringList& row) { return row.contains(holding); });
  return s;
}

void Series::add(const QString& name, const QStringList& problems) {
  ++cases_;
  if (problems.isEmpty()) ++held_;
  for (const QString& p : problems) problems_ << name + u(": ") + Problems::shown(p);
}

void Series::expectAllHeld() const {
  EXPECT_EQ(held_, cases_) << what_.toStdString() << ", " << held_ << " of " << cases_ << " held:\n"
                           << problems_.join(u("\n")).toStdString();
}

void injectFailure(const QString& table, const QString& event, const QString& text, const QString& column,
                   const QString& onlyWhen) {
  QString sql = u("CREATE TRIGGER injected_failure BEFORE ") + event + u(" ON ") + identifier(table);
  if (!onlyWhen.isNull()) sql += u(" WHEN OLD.") + identifier(column) + u("=") + literal(onlyWhen);
  rawExec(sql + u(" BEGIN SELECT RAISE(ABORT, ") + literal(text) + u("); END"));
}

void removeInjectedFailure() { rawExec(u("DROP TRIGGER IF EXISTS injected_failure")); }

QString injectedText(int k) { return u("injected failure [%1]").arg(k); }

const QList<Hostile>& corpus() {
  static const QList<Hostile> list{
      {"a quote", u("'"), u("'"), u("“'”"), u("“'”")},
      {"two quotes", u("''"), u("''"), u("“'”"), u("“'”")},
      {"a quote and a comment", u("';--"), u("';--"), u("“'”"), u("“'”")},
      {"an always-true condition", u("1' OR '1'='1"), u("1' OR '1'='1"), u("“'”"), u("“'”")},
      {"a percent sign", u("%"), u("%"), u("“%”"), u("“%”")},
      {"an underscore", u("_"), u("_"), u("“_”"), u("“_”")},
      {"a bracket", u("["), u("["), u("“[”"), u("“[”")},
      {"a backslash", u("\\"), u("\\"), u("“\\”"), u("“\\”")},
      {"10,000 characters", u("1234567890").repeated(1000), u("1234567890").repeated(1000), {}, {}},
      {"blanks only", u("   "), {}, {}, u("空格")},
      {"blanks around a number", u(" 0012 "), u("0012"), {}, u("空格")},
      {"Chinese", u("王五"), u("王五"), {}, {}},
      {"an emoji", u("😀"), u("😀"), u("“😀”"), u("“😀”")},
      {"an emoji inside a number", u("1😀234"), u("1😀234"), u("“😀”"), u("“😀”")},
      {"no number", u("12a"), u("12a"), {}, {}},
      {"a second statement", u("1; DELETE FROM 员工档案"), u("1; DELETE FROM 员工档案"), u("“;”"), u("“;”")},
      {"a bracketed table name", u("[员工档案]"), u("[员工档案]"), u("“[”"), u("“[”")},
  };
  return list;
}

void typeText(QWidget* widget, const QString& text) {
  for (char32_t c : text.toUcs4()) {
    const QString one = QString::fromUcs4(&c, 1);
    const Qt::Key key = c < 128 ? Qt::Key(QChar(c).toUpper().unicode()) : Qt::Key_unknown;
    QTest::sendKeyEvent(QTest::Press, widget, key, one, Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, widget, key, one, Qt::NoModifier);
  }
}

void enter(QLineEdit* box, const QString& text, Entry how) {
  if (box->isReadOnly()) return;  // a locked box takes neither keys nor pastes
  box->selectAll();
  box->del();
  if (how == Entry::Typed) {
    typeText(box, text);
  } else {
    box->selectAll();
    box->insert(text);  // what a paste does
  }
}

const char* entryName(Entry how) { return how == Entry::Typed ? "typed" : "pasted"; }

bool longTyping(const QString& text, Entry how) { return how == Entry::Typed && text.size() > 1000; }

void forCorpusEntries(const QString& what, const std::function<void(const Hostile&, Entry, Problems&)>& oneCase) {
  Series series(what);
  for (const Hostile& hostile : corpus()) {
    for (Entry how : {Entry::Typed, Entry::Pasted}) {
      if (longTyping(hostile.text, how)) continue;
      Problems p;
      oneCase(hostile, how, p);
      series.add(u(hostile.name) + u(" ") + u(entryName(how)), p.list);
    }
  }
  series.expectAllHeld();
}

void forCorpus(const QString& what, const std::function<void(const Hostile&, Problems&)>& oneCase) {
  Series series(what);
  for (const Hostile& hostile : corpus()) {
    Problems p;
    oneCase(hostile, p);
    series.add(u(hostile.name), p.list);
  }
  series.expectAllHeld();
}

OtherConnection::OtherConnection(const QString& path) {
  static QAtomicInt counter;
  name_ = u("robust-other-%1").arg(counter.fetchAndAddRelaxed(1));
  QSqlDatabase d = QSqlDatabase::addDatabase(u("QSQLITE"), name_);
  d.setDatabaseName(path);
  if (!d.open()) throw std::runtime_error(d.lastError().text().toStdString());
}

OtherConnection::~OtherConnection() {
  {
    QSqlDatabase d = QSqlDatabase::database(name_, false);
    if (d.isOpen()) QSqlQuery(d).exec(u("ROLLBACK"));
    d.close();
  }
  QSqlDatabase::removeDatabase(name_);
}

void OtherConnection::lock(const QString& kind) {
  QSqlQuery q(QSqlDatabase::database(name_, false));
  if (!q.exec(u("BEGIN ") + kind)) fail(u("BEGIN ") + kind, q);
}

void OtherConnection::release() {
  QSqlQuery q(QSqlDatabase::database(name_, false));
  if (!q.exec(u("ROLLBACK"))) fail(u("ROLLBACK"), q);
}

void lockWait(int milliseconds) { rawExec(u("PRAGMA busy_timeout = %1").arg(milliseconds)); }

void readOnlyConnection(bool readOnly) { rawExec(u("PRAGMA query_only = ") + (readOnly ? u("ON") : u("OFF"))); }

bool immutableFile(const QString& path, bool immutable) {
#ifndef __linux__
  // Only Linux's file systems have the immutable flag: the case is left out elsewhere.
  Q_UNUSED(path);
  Q_UNUSED(immutable);
  return false;
#else
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return ok;
#endif
}

void organisation(Harness&) {
  rawExec(u("PRAGMA synchronous = OFF"));
  testdata::smallOrganisation();
}

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace robust
