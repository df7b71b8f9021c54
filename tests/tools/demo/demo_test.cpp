// The demo database: deterministic, realistic, and covering every reference table.
#include <gtest/gtest.h>

#include <QDate>
#include <QProcess>
#include <QTemporaryDir>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>

#include "host/host_schema.h"
#include "db/database.h"
#include "tools/demo/demo_data.h"
#include "tests/support/harness.h"

using namespace Qt::StringLiterals;

namespace {

QSqlDatabase handle() { return QSqlDatabase::database(Harness::current().database().connectionName(), false); }

// Every row of every table as text, in ID order.
QStringList dump() {
  QStringList rows;
  for (const QString& t : host::allTables()) {
    QSqlQuery q(handle());
    EXPECT_TRUE(q.exec(u"SELECT * FROM \""_s + t + u"\" ORDER BY ID"_s));
    while (q.next()) {
      QStringList fields{t};
      for (int i = 0; i < q.record().count(); ++i) fields << (q.isNull(i) ? u"<null>"_s : q.value(i).toString());
      rows << fields.join(u'|');
    }
  }
  return rows;
}

qint64 count(Harness& h, const QString& table, const QString& where = QString()) {
  return h.value(u"SELECT COUNT(*) FROM "_s + table + (where.isEmpty() ? QString() : u" WHERE "_s + where))
      .toLongLong();
}

// The check of an 18-character identity number: region, a real birth date, and the
// ISO 7064 MOD 11-2 check character over the first 17 digits.
bool validIdentity(const QString& id, const QString& sex) {
  static const QRegularExpression shape(u"^\\d{17}[\\dX]$"_s);
  if (!shape.match(id).hasMatch()) return false;
  const QDate birth = QDate::fromString(id.mid(6, 8), u"yyyyMMdd"_s);
  if (!birth.isValid() || birth.year() < 1940 || birth > QDate(2010, 1, 1)) return false;
  static const int w[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
  int sum = 0;
  for (int i = 0; i < 17; ++i) sum += id[i].digitValue() * w[i];
  const bool male = id[16].digitValue() % 2 == 1;
  return u"10X98765432"_s[sum % 11] == id[17] && male == (sex == u"男"_s);
}

TEST(DemoData, SameSeedGivesTheSameDatabaseAndAnotherSeedAnother) {
  const demo::Scale scale{220, 1, 7};
  QStringList first, second, other;
  {
    Harness h;
    demo::generate(Harness::current().database(), scale);
    first = dump();
  }
  {
    Harness h;
    demo::generate(Harness::current().database(), scale);
    second = dump();
  }
  {
    Harness h;
    demo::generate(Harness::current().database(), demo::Scale{220, 1, 8});
    other = dump();
  }
  EXPECT_GT(first.size(), 1000);
  EXPECT_TRUE(first == second);
  EXPECT_FALSE(first == other);
}

TEST(DemoData, OrganisationHasATreeWithHistoryCategoriesPositionsAndRules) {
  Harness h;
  h.seedDemo();
  // Departments: three levels through each department's latest parent record.
  QHash<QString, QString> parent;
  QHash<QString, QString> latest;
  QHash<QString, int> records;
  QSqlQuery q(handle());
  ASSERT_TRUE(q.exec(u"SELECT 职能部门编号, 上级部门编号, 起始日期 FROM 上级部门new"_s));
  while (q.next()) {
    const QString d = q.value(0).toString(), date = q.value(2).toString();
    records[d] += 1;
    if (date > latest.value(d)) {
      latest[d] = date;
      parent[d] = q.value(1).toString();
    }
  }
  int deepest = 0;
  for (const QString& d : h.column(u"SELECT 职能部门编号 FROM 职能部门new"_s)) {
    int depth = 1;
    for (QString p = parent.value(d); !p.isEmpty(); p = parent.value(p)) ++depth;
    deepest = std::max(deepest, depth);
  }
  EXPECT_EQ(deepest, 3);
  // One department was moved: two parent records with different start dates.
  const QStringList moved = h.column(
      u"SELECT 职能部门编号 FROM 上级部门new GROUP BY 职能部门编号 HAVING COUNT(DISTINCT 上级部门编号) = 2 "
      u"AND COUNT(DISTINCT 起始日期) = 2"_s);
  EXPECT_EQ(moved.size(), 1);
  // One terminated department, and it has children.
  const QStringList ended = h.column(u"SELECT 职能部门编号 FROM 职能部门new WHERE 终止日期 IS NOT NULL"_s);
  ASSERT_EQ(ended.size(), 1);
  EXPECT_GE(count(h, u"上级部门new"_s, u"上级部门编号='"_s + ended.first() + u"'"_s), 1);

  EXPECT_GE(count(h, u"岗位类别"_s), 5);
  EXPECT_GE(count(h, u"岗位信息New"_s), 30);
  EXPECT_EQ(count(h, u"岗位信息New"_s, u"职能部门代号 NOT IN (SELECT 职能部门编号 FROM 职能部门new)"_s), 0);
  EXPECT_EQ(count(h, u"岗位信息New"_s, u"岗位类别代号 NOT IN (SELECT 岗位类别编号 FROM 岗位类别)"_s), 0);

  EXPECT_EQ(count(h, u"员工类别"_s), 5);
  EXPECT_EQ(count(h, u"员工类别"_s, u"类别码 IS NULL"_s), 2);
  EXPECT_EQ(h.column(u"SELECT 编码规则 FROM 员工工号编码规则名称 ORDER BY 编码规则"_s),
            (QStringList{u"1"_s, u"3"_s, u"5"_s}));
  EXPECT_EQ(
      count(h, u"员工类别"_s, u"类别码 IS NOT NULL AND 类别码 NOT IN (SELECT 类别码 FROM 员工工号编码规则名称)"_s), 0);
  for (const QString& pattern : h.column(u"SELECT 流水号位数 FROM 员工工号编码规则名称"_s))
    EXPECT_TRUE(pattern == u"000"_s || pattern == u"0000"_s) << pattern.toStdString();

  // Specific rows: the default row of code 1, a row per department for code 3, department and
  // position category for code 5.
  const QString code1 = h.value(u"SELECT 类别码 FROM 员工工号编码规则名称 WHERE 编码规则=1"_s);
  const QString code3 = h.value(u"SELECT 类别码 FROM 员工工号编码规则名称 WHERE 编码规则=3"_s);
  const QString code5 = h.value(u"SELECT 类别码 FROM 员工工号编码规则名称 WHERE 编码规则=5"_s);
  EXPECT_EQ(count(h, u"员工工号编码规则"_s, u"类别代码='"_s + code1 + u"'"_s), 1);
  EXPECT_EQ(count(h, u"员工工号编码规则"_s,
                  u"类别代码='"_s + code1 + u"' AND 部门编号 IS NULL AND 部门代码 IS NULL AND 岗位类别 IS NULL"_s),
            1);
  EXPECT_GE(count(h, u"员工工号编码规则"_s, u"类别代码='"_s + code3 + u"'"_s), 3);
  EXPECT_EQ(count(h, u"员工工号编码规则"_s,
                  u"类别代码='"_s + code3 + u"' AND (部门编号 IS NULL OR 部门代码 IS NULL OR 岗位类别 IS NOT NULL)"_s),
            0);
  EXPECT_GE(count(h, u"员工工号编码规则"_s, u"类别代码='"_s + code5 + u"'"_s), 3);
  EXPECT_EQ(count(h, u"员工工号编码规则"_s,
                  u"类别代码='"_s + code5 +
                      u"' AND (部门编号 IS NULL OR 部门代码 IS NULL OR 岗位类别 IS NULL OR 岗位代码 IS NULL)"_s),
            0);
  EXPECT_EQ(count(h, u"员工工号编码规则"_s,
                  u"部门编号 IS NOT NULL AND 部门编号 NOT IN (SELECT 职能部门编号 FROM 职能部门new)"_s),
            0);
}

TEST(DemoData, EmployeesHaveNamesIdentityNumbersPositionsAndEqualNumbers) {
  Harness h;
  const demo::Scale scale{260, 1, 99};
  demo::generate(Harness::current().database(), scale);
  EXPECT_EQ(count(h, u"员工档案"_s), scale.employees);

  QSqlQuery q(handle());
  ASSERT_TRUE(q.exec(u"SELECT 工号, 姓名, 性别, 身份证号码, 员工类别, 岗位编号 FROM 员工档案"_s));
  QSet<QString> numbers;
  QHash<qint64, int> byValue;
  int withoutIdentity = 0, withoutPosition = 0, shortOrLong = 0;
  static const QRegularExpression chinese(u"^\\p{Han}{2,4}$"_s);
  while (q.next()) {
    const QString number = q.value(0).toString();
    EXPECT_FALSE(numbers.contains(number)) << number.toStdString();
    numbers.insert(number);
    bool digits = false;
    const qint64 value = number.toLongLong(&digits);
    EXPECT_TRUE(digits && !number.contains(u'-') && !number.contains(u'+')) << number.toStdString();
    byValue[value] += 1;
    if (number.size() < 4 || number.size() > 5) ++shortOrLong;
    EXPECT_TRUE(chinese.match(q.value(1).toString()).hasMatch()) << q.value(1).toString().toStdString();
    EXPECT_TRUE(q.value(2).toString() == u"男"_s || q.value(2).toString() == u"女"_s);
    if (q.isNull(3))
      ++withoutIdentity;
    else
      EXPECT_TRUE(validIdentity(q.value(3).toString(), q.value(2).toString())) << q.value(3).toString().toStdString();
    if (q.isNull(5)) ++withoutPosition;
  }
  EXPECT_LT(withoutIdentity, scale.employees / 10);
  EXPECT_GE(withoutPosition, 3);
  EXPECT_LE(shortOrLong, 4);  // only some of the numerically equal ones ("12", "012")
  int groups = 0;
  for (auto it = byValue.begin(); it != byValue.end(); ++it)
    if (it.value() > 1) ++groups;
  EXPECT_GE(groups, 2);
  EXPECT_EQ(count(h, u"员工档案"_s, u"工号 IN ('0012', '12')"_s), 2);

  // Every category name of the register is a category, and most positions exist.
  EXPECT_EQ(count(h, u"员工档案"_s, u"员工类别 NOT IN (SELECT 类别名称 FROM 员工类别)"_s), 0);
  EXPECT_GE(count(h, u"员工档案"_s, u"岗位编号 IN (SELECT 岗位代号 FROM 岗位信息New)"_s), scale.employees * 8 / 10);
  for (const QString& category : h.column(u"SELECT 类别名称 FROM 员工类别"_s))
    EXPECT_GE(count(h, u"员工档案"_s, u"员工类别='"_s + category + u"'"_s), 1) << category.toStdString();
}

TEST(DemoData, EveryReferenceTableHoldsNumbersOfManyEmployees) {
  Harness h;
  const demo::Scale scale{200, 1, 5};
  demo::generate(Harness::current().database(), scale);
  const QStringList register_ = h.column(u"SELECT 工号 FROM 员工档案"_s);
  const QSet<QString> numbers(register_.begin(), register_.end());
  qint64 total = 0;
  qint64 attendance = 0, smallest = -1;
  for (const host::Table& t : host::tables()) {
    if (!t.reference) continue;
    SCOPED_TRACE(t.name.toStdString());
    const qint64 rows = count(h, t.name);
    total += rows;
    smallest = smallest < 0 ? rows : std::min(smallest, rows);
    if (t.name == u"考勤表详细"_s) attendance = rows;
    for (const host::Column& c : t.columns) {
      if (!c.employeeNumber) continue;
      const QStringList held = h.column(u"SELECT DISTINCT "_s + c.name + u" FROM "_s + t.name);
      EXPECT_GE(held.size(), scale.employees / 3) << c.name.toStdString();
      for (const QString& n : held) EXPECT_TRUE(numbers.contains(n)) << n.toStdString();
    }
  }
  EXPECT_EQ(total, demo::expectedReferenceRows(scale));
  EXPECT_GE(smallest, scale.employees / 3);
  EXPECT_GE(attendance, 10 * scale.employees);
  EXPECT_GE(count(h, u"工资单项目明细"_s), 10 * scale.employees);
  // The employee file copies: most are edits of the register, some are not.
  EXPECT_GT(count(h, u"员工档案temp"_s, u"类型='档案信息修改'"_s), count(h, u"员工档案temp"_s) / 2);
  EXPECT_GT(count(h, u"员工档案temp"_s, u"类型<>'档案信息修改'"_s), 0);
  // Positions carry their holder's number.
  EXPECT_EQ(count(h, u"岗位信息New"_s, u"工号 IS NOT NULL AND 工号 NOT IN (SELECT 工号 FROM 员工档案)"_s), 0);
  EXPECT_GE(count(h, u"岗位信息New"_s, u"工号 IS NOT NULL"_s), 20);
}

TEST(DemoData, TheHarnessDemoIsTheDefaultScale) {
  Harness h;
  h.seedDemo();
  EXPECT_EQ(count(h, u"员工档案"_s), demo::Scale().employees);
  EXPECT_GE(demo::Scale().employees, 200);
}

TEST(DemoData, NumbersStayUniqueWhenTheFourAndFiveDigitRangesRunFull) {
  Harness h;
  const demo::Scale scale{101000, 0, 3};
  demo::generate(Harness::current().database(), scale);
  EXPECT_EQ(count(h, u"员工档案"_s), scale.employees);
  EXPECT_EQ(h.value(u"SELECT COUNT(DISTINCT 工号) FROM 员工档案"_s).toInt(), scale.employees);
  EXPECT_GT(count(h, u"员工档案"_s, u"LEN(工号) > 5"_s), 0);
  EXPECT_EQ(demo::expectedReferenceRows(scale), 0);
}

}  // namespace

namespace {
// The sqlite3 shell on a file with the statements given; its standard output, or standard error
// after "error: " when it fails.
QString shell(const QString& file, const QString& sql, bool withCollation = true) {
  QProcess p;
  QStringList args;
  if (withCollation) args << u"-cmd"_s << u".load "_s + QStringLiteral(RENUMBER_COLLATION_EXTENSION);
  p.start(u"sqlite3"_s, args << u"-bail"_s << file << sql);
  p.waitForFinished(60000);
  const QString out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
  return p.exitCode() == 0 ? out : u"error: "_s + QString::fromUtf8(p.readAllStandardError()).trimmed();
}
}  // namespace

TEST(DemoData, TheSqliteShellUpdatesANumberWithTheCollationExtensionLoaded) {
#ifdef _WIN32
  GTEST_SKIP() << "the sqlite3 shell here is Linux's, which cannot load the Windows extension (sqlserverci.dll)";
#endif
  QTemporaryDir dir;
  const QString file = dir.filePath(u"demo.db"_s);
  {
    db::Database database;
    QString error;
    ASSERT_TRUE(demo::createDatabase(database, file, demo::Scale{200, 1, 11}, &error)) << error.toStdString();
  }
  const QString number = shell(file, u"SELECT 工号 FROM 员工档案 WHERE 工号 GLOB '[0-9]*' ORDER BY ID LIMIT 1"_s);
  ASSERT_FALSE(number.isEmpty() || number.startsWith(u"error"_s)) << number.toStdString();
  QString wide;  // the number in full-width digits, with a blank after it
  for (QChar c : number) wide += c.isDigit() ? QChar(c.unicode() - u'0' + 0xFF10) : c;
  const QString update = u"UPDATE 员工档案 SET 工号 = 'k' || 工号 WHERE 工号 = '"_s + wide + u" '"_s;

  // Without the extension the shell reads the tables but cannot compare their text.
  const QString without = shell(file, update, false);
  EXPECT_TRUE(without.startsWith(u"error: "_s) && without.contains(u"no such collation sequence: SQLSERVER_CI"_s))
      << without.toStdString();
  EXPECT_EQ(shell(file, update + u"; SELECT changes(); PRAGMA integrity_check"_s), u"1\nok"_s);
  const QString tooLong =
      shell(file, u"UPDATE 员工档案 SET 工号 = '"_s + QString(51, u'9') + u"' WHERE 工号 = 'K"_s + number + u"'"_s);
  EXPECT_TRUE(tooLong.startsWith(u"error: "_s) &&
              tooLong.contains(u"CHECK constraint failed: String or binary data would be truncated."_s))
      << tooLong.toStdString();

  db::Database database;
  QString error;
  ASSERT_TRUE(database.openSqlite(file, &error)) << error.toStdString();
  EXPECT_EQ(database.open(u"SELECT count(*) AS n FROM 员工档案 WHERE 工号 = 'K"_s + number + u"'"_s).text(u"n"_s),
            u"1"_s);
}
