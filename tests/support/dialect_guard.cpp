#include "tests/support/dialect_guard.h"

#include "db/database.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include "db/tsql_tokens.h"

namespace dialect_guard {
namespace {

struct Collection {
  QStringList shapes;
  QSet<QString> seen;
  int suspended = 0;
};

Collection& collection() {
  static Collection c;
  return c;
}

bool isPlaceholder(const db::tsql::Token& t) {
  return t.kind == db::tsql::Kind::String || t.kind == db::tsql::Kind::Number;
}

// The file this process writes its shapes to: named after the executable and the tests it ran,
// so that running the same test again replaces its file.
QString shapeFile(const ::testing::UnitTest& unit) {
  QStringList ran;
  for (int i = 0; i < unit.total_test_suite_count(); ++i) {
    const ::testing::TestSuite* suite = unit.GetTestSuite(i);
    for (int j = 0; j < suite->total_test_count(); ++j) {
      const ::testing::TestInfo* info = suite->GetTestInfo(j);
      if (info->should_run()) ran << QStringLiteral("%1.%2").arg(QString::fromUtf8(suite->name()), info->name());
    }
  }
  if (ran.isEmpty()) return {};
  QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName() + QStringLiteral("--");
  if (ran.size() == 1) {
    name += ran.first();
  } else {
    name += QStringLiteral("%1-tests-").arg(ran.size()) +
            QString::fromLatin1(
                QCryptographicHash::hash(ran.join(u'\n').toUtf8(), QCryptographicHash::Sha1).toHex().left(12));
  }
  name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
  return QDir(QStringLiteral(RENUMBER_DIALECT_DIR)).filePath(name + QStringLiteral(".shapes"));
}

// Writes the process's shapes when its tests have run (or removes an earlier run's file when
// there are none now).
class Writer : public ::testing::EmptyTestEventListener {
  void OnTestProgramEnd(const ::testing::UnitTest& unit) override {
    const QString path = shapeFile(unit);
    if (path.isEmpty()) return;
    if (collected().isEmpty()) {
      QFile::remove(path);
      return;
    }
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(encode(collected()).toUtf8()) < 0) {
      ADD_FAILURE() << "cannot write the collected statement shapes to " << path.toStdString();
    }
  }
};

const bool registered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new Writer);
  return true;
}();

}  // namespace

void collect(const QString& sql) {
  Collection& c = collection();
  if (c.suspended > 0 || db::embeddedOnly(sql)) return;
  const QString s = shape(sql);
  if (s.trimmed().isEmpty() || c.seen.contains(s)) return;
  c.seen.insert(s);
  c.shapes << s;
}

Suspend::Suspend() { ++collection().suspended; }
Suspend::~Suspend() { --collection().suspended; }

QString shape(const QString& sql) {
  using db::tsql::Kind;
  const std::vector<db::tsql::Token> tokens = db::tsql::tokenize(sql, false);
  QString out;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const db::tsql::Token& t = tokens[i];
    if (t.kind == Kind::String) {
      out += t.unicode ? QStringLiteral("N's'") : QStringLiteral("'s'");
    } else if (t.kind == Kind::Number) {
      out += u'0';
    } else {
      out += t.text;
    }
    // "IN (a, b, c)" of values only is written "IN (a)".
    if (!t.isWord(u"IN")) continue;
    size_t k = i + 1;
    const auto skipSpace = [&] {
      while (k < tokens.size() && !tokens[k].significant()) ++k;
    };
    skipSpace();
    if (k >= tokens.size() || !tokens[k].is(Kind::Punct, u"(")) continue;
    ++k;
    skipSpace();
    if (k >= tokens.size() || !isPlaceholder(tokens[k])) continue;
    const size_t first = k++;
    bool values = true;
    for (skipSpace(); k < tokens.size() && !tokens[k].is(Kind::Punct, u")"); skipSpace()) {
      if (!tokens[k].is(Kind::Punct, u",")) {
        values = false;
        break;
      }
      ++k;
      skipSpace();
      if (k >= tokens.size() || !isPlaceholder(tokens[k])) {
        values = false;
        break;
      }
      ++k;
    }
    if (!values || k >= tokens.size()) continue;
    for (size_t j = i + 1; j < first; ++j) out += tokens[j].text;
    out += tokens[first].kind == Kind::Number ? QStringLiteral("0")
           : tokens[first].unicode            ? QStringLiteral("N's'")
                                              : QStringLiteral("'s'");
    out += u')';
    i = k;
  }
  return out;
}

QStringList collected() { return collection().shapes; }

QString encode(const QStringList& shapes) {
  QString out;
  for (QString s : shapes) {
    s.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'\r', QStringLiteral("\\r"))
        .replace(u'\n', QStringLiteral("\\n"));
    out += s + u'\n';
  }
  return out;
}

}  // namespace dialect_guard
