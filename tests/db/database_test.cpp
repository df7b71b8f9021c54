// The embedded engine behind db::Database: opening, reads, writes, failures as SQL Server raises
// them, transactions, scripts and the statement log.
#include <gtest/gtest.h>

#include <QFile>
#include <functional>
#include <QTemporaryDir>

#include "db/database.h"
#include "tests/db/error_of.h"
#include "tests/support/qt_print.h"

using db::Database;
using db::DbError;

namespace {

class EmbeddedDb : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    QString error;
    ASSERT_TRUE(db_.createSqlite(path(), &error)) << error.toStdString();
    run("CREATE TABLE 员工档案 (ID INTEGER PRIMARY KEY AUTOINCREMENT, 工号 nvarchar(50), 姓名 nvarchar(50), 岗位编号 "
        "nvarchar(50))");
    run("CREATE TABLE 岗位信息New (ID INTEGER PRIMARY KEY AUTOINCREMENT, 岗位代号 nvarchar(50), 工号 nvarchar(50))");
    run("CREATE TABLE SKOperator (ID INTEGER PRIMARY KEY AUTOINCREMENT, OperatorNum nvarchar(50))");
    run("CREATE TABLE 员工工号编码规则 (ID INTEGER PRIMARY KEY AUTOINCREMENT, 类别代码 nvarchar(50), 流水号 INTEGER)");
    db_.setStatementObserver([this](const QString& sql) { log_ << sql; });
  }

  QString path(const QString& name = "t.db") const { return dir_.filePath(name); }
  void run(const QString& sql) { db_.execute(sql); }
  // Every row's first field, "" for Null, "NULL" spelled out for clarity where it matters.
  QStringList column(const QString& sql) {
    QStringList out;
    for (db::Recordset rs = db_.open(sql); !rs.eof(); rs.moveNext()) {
      out << rs.text(rs.columns().first(), QStringLiteral("NULL"));
    }
    return out;
  }
  QString value(const QString& sql) { return column(sql).value(0); }
  void addEmployees(const QStringList& numbers) {
    for (const QString& n : numbers) run("INSERT INTO 员工档案 (工号, 姓名) VALUES (" + db::sqlQuote(n) + ", 'x')");
  }

  QTemporaryDir dir_;
  Database db_;
  QStringList log_;  // every statement text the observer saw
};

}  // namespace

TEST(SqlQuote, DoublesQuotesInside) {
  EXPECT_EQ(db::sqlQuote("O'Neil"), QStringLiteral("'O''Neil'"));
  EXPECT_EQ(db::sqlQuote("0012"), QStringLiteral("'0012'"));
  EXPECT_EQ(db::sqlQuote(""), QStringLiteral("''"));
  EXPECT_EQ(db::sqlQuote("''"), QStringLiteral("''''''"));
}

TEST(OpenSqlite, NeverCreatesAFileAndDescribesWhyItFails) {
  QTemporaryDir dir;
  Database db;
  QString error;
  const QString missing = dir.filePath("missing.db");
  EXPECT_FALSE(db.openSqlite(missing, &error));
  EXPECT_TRUE(error.contains("does not exist")) << error.toStdString();
  EXPECT_TRUE(error.contains("missing.db")) << error.toStdString();
  EXPECT_FALSE(QFile::exists(missing));
  EXPECT_FALSE(db.isOpen());
  EXPECT_EQ(db.kind(), db::EngineKind::None);
  EXPECT_THROW(db.execute("SELECT 1"), DbError);

  QFile text(dir.filePath("notes.txt"));
  ASSERT_TRUE(text.open(QIODevice::WriteOnly));
  text.write("this is no database, just some text that is long enough to have a header");
  text.close();
  EXPECT_FALSE(db.openSqlite(text.fileName(), &error));
  EXPECT_TRUE(error.contains("not a database")) << error.toStdString();
  EXPECT_FALSE(db.createSqlite(text.fileName(), &error));
  EXPECT_TRUE(error.contains("already exists")) << error.toStdString();
  EXPECT_FALSE(db.openSqlite(dir.path(), &error));

  const QString fresh = dir.filePath("新的.db");
  ASSERT_TRUE(db.createSqlite(fresh, &error)) << error.toStdString();
  EXPECT_EQ(db.kind(), db::EngineKind::Sqlite);
  db.execute("CREATE TABLE t (a TEXT)");
  db.execute("INSERT INTO t (a) VALUES (N'甲')");
  db.close();
  EXPECT_FALSE(db.isOpen());
  ASSERT_TRUE(db.openSqlite(fresh, &error)) << error.toStdString();
  EXPECT_EQ(db.open("SELECT a FROM t").text("a"), QStringLiteral("甲"));
}

TEST_F(EmbeddedDb, ConvertIntFailsLikeSqlServerNamingTheValueEvenOnALaterRow) {
  addEmployees({"0012", "12", "abc", "7"});
  db::Recordset rs = db_.open("SELECT CONVERT(int, 工号) AS SZGH From 员工档案");
  ASSERT_FALSE(rs.eof());
  EXPECT_EQ(rs.field("szgh").toInt(), 12);
  rs.moveNext();
  EXPECT_EQ(rs.field("SZGH").toInt(), 12);
  try {
    rs.moveNext();
    FAIL() << "the third row converted";
  } catch (const DbError& e) {
    EXPECT_EQ(e.text(), QStringLiteral("Conversion failed when converting the varchar value 'abc' to data type int."));
  }
  // Sorting by the conversion fails at once.
  EXPECT_EQ(errorOf([&] { db_.open("SELECT 工号 From 员工档案 Order By CONVERT(int, 员工档案.工号)"); }),
            QStringLiteral("Conversion failed when converting the varchar value 'abc' to data type int."));
  // A write fails as a whole statement.
  EXPECT_EQ(errorOf([&] { run("Update 员工档案 set 姓名='y' Where Convert(int,工号)=12"); }),
            QStringLiteral("Conversion failed when converting the varchar value 'abc' to data type int."));
  EXPECT_EQ(column("SELECT 姓名 FROM 员工档案"), (QStringList{"x", "x", "x", "x"}));
}

TEST_F(EmbeddedDb, ConvertIntAcceptsWholeNumbersOnly) {
  EXPECT_EQ(value("SELECT CONVERT(int, ' 12 ')"), "12");
  EXPECT_EQ(value("SELECT CONVERT(int, '-7') + 1"), "-6");
  EXPECT_EQ(value("SELECT CONVERT(int, '+0007')"), "7");
  EXPECT_EQ(value("SELECT CONVERT(int, '')"), "0");
  EXPECT_EQ(value("SELECT CONVERT(int, NULL)"), "NULL");
  EXPECT_EQ(value("SELECT CONVERT(int, '2147483647')"), "2147483647");
  EXPECT_EQ(value("SELECT CONVERT(int, 12.9)"), "12");
  EXPECT_EQ(errorOf([&] { value("SELECT CONVERT(int, '12.0')"); }),
            QStringLiteral("Conversion failed when converting the varchar value '12.0' to data type int."));
  EXPECT_EQ(errorOf([&] { value("SELECT CONVERT(int, ' 1 2')"); }),
            QStringLiteral("Conversion failed when converting the varchar value ' 1 2' to data type int."));
  EXPECT_EQ(errorOf([&] { value("SELECT CONVERT(int, '-')"); }),
            QStringLiteral("Conversion failed when converting the varchar value '-' to data type int."));
  EXPECT_EQ(errorOf([&] { value("SELECT CONVERT(int, '2147483648')"); }),
            QStringLiteral("The conversion of the varchar value '2147483648' overflowed an int column."));
  EXPECT_EQ(errorOf([&] { value("SELECT CONVERT(int, 3000000000)"); }),
            QStringLiteral("Arithmetic overflow error converting expression to data type int."));
}

TEST_F(EmbeddedDb, LenIgnoresTrailingBlanks) {
  EXPECT_EQ(value("SELECT LEN('ab  ')"), "2");
  EXPECT_EQ(value("SELECT len('  ab')"), "4");
  EXPECT_EQ(value("SELECT Len(N'员工 ')"), "2");
  EXPECT_EQ(value("SELECT LEN('')"), "0");
  EXPECT_EQ(value("SELECT LEN(NULL)"), "NULL");
  EXPECT_EQ(value("SELECT LEN(1234)"), "4");
  addEmployees({"100", "20", "3", "11"});
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案 ORDER BY len(员工档案.工号),员工档案.工号"),
            (QStringList{"3", "11", "20", "100"}));
}

TEST_F(EmbeddedDb, EqualNumbersSearchRunsAsTheToolSendsIt) {
  addEmployees({"0012", "7", "12", "008", "012", "8", "9"});
  EXPECT_EQ(
      column("SELECT 员工档案.工号, 员工档案.ID From 员工档案 Left Join 岗位信息New On "
             "员工档案.岗位编号=岗位信息New.岗位代号 Where Convert(int,员工档案.工号) In(SELECT CONVERT(int, 工号) AS "
             "SZGH From 员工档案 GROUP BY CONVERT(int, 工号) HAVING (COUNT(*) > 1)) Order By CONVERT(int, "
             "员工档案.工号), 员工档案.ID"),
      (QStringList{"008", "8", "0012", "12", "012"}));
}

TEST_F(EmbeddedDb, IfNotExistsInsertsOnce) {
  const QString s3 =
      "if not exists (select * from 员工工号编码规则 where 类别代码 ='18')  INSERT INTO 员工工号编码规则 "
      "(类别代码) VALUES ('18')";
  run(s3);
  run(s3);
  run("if exists (select * from 员工工号编码规则 where 类别代码 ='18') INSERT INTO 员工工号编码规则 (类别代码) VALUES "
      "(N'19')");
  run("if exists (select * from 员工工号编码规则 where 类别代码 ='77') INSERT INTO 员工工号编码规则 (类别代码) VALUES "
      "('78')");
  EXPECT_EQ(column("SELECT 类别代码 FROM 员工工号编码规则 ORDER BY ID"), (QStringList{"18", "19"}));
}

TEST_F(EmbeddedDb, ConcatenationAndLiteralsHoldingKeywords) {
  addEmployees({"0001", "0002"});
  run("Update 员工档案 set 岗位编号='P' Where 工号='0002'");
  run(" Update 员工档案 Set 工号='9'+工号 Where 工号 In(Select 工号 From 员工档案 Where 岗位编号 Is Null)");
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案 ORDER BY ID"), (QStringList{"90001", "0002"}));
  run("Update 员工档案 set 姓名='Update go + N''x'' Delete From 员工档案' Where 工号='0002' Update 员工档案 set "
      "岗位编号=N'go' Where 工号='90001'");
  EXPECT_EQ(column("SELECT 姓名 || '|' || ifnull(岗位编号, '') FROM 员工档案 ORDER BY ID"),
            (QStringList{"x|go", "Update go + N'x' Delete From 员工档案|P"}));
  EXPECT_EQ(value("SELECT '1' + 2"), "3");  // a number makes it an addition, as on SQL Server
}

// '+' between a text and a column: the column's type decides, as on SQL Server.
TEST_F(EmbeddedDb, PlusOfATextAndAColumnAddsForANumberColumnAndConcatenatesForAText) {
  run("CREATE TABLE 值 (k int, n int, f float, s varchar(10))");
  run("INSERT INTO 值 (k, n, f, s) VALUES (1, 13, 1.5, '13')");
  run("INSERT INTO 值 (k) VALUES (2)");
  const struct {
    const char* sql;
    const char* result;  // the value, or the error's text
  } cases[] = {
      {"SELECT '9' + n FROM 值 WHERE k = 1", "22"},
      {"SELECT 值.n + N' -9 ' FROM 值 WHERE k = 1", "4"},
      {"SELECT '9' + s FROM 值 WHERE k = 1", "913"},
      {"SELECT '8.5' + [f] FROM 值 WHERE k = 1", "10"},
      {"SELECT '9' + n FROM 值 WHERE k = 2", "NULL"},
      {"SELECT '9' + s FROM 值 WHERE k = 2", "NULL"},
      {"SELECT '1a' + n FROM 值 WHERE k = 1",
       "Conversion failed when converting the varchar value '1a' to data type int."},
      {"SELECT '9.5' + n FROM 值 WHERE k = 1",
       "Conversion failed when converting the varchar value '9.5' to data type int."},
  };
  for (const auto& c : cases) {
    QString result;
    const QString error = errorOf([&] { result = value(c.sql); });
    EXPECT_EQ(error == "(no error)" ? result : error, c.result) << c.sql;
  }
}

TEST_F(EmbeddedDb, NamesAndTextCompareIgnoringCase) {
  run("INSERT INTO 岗位信息New (岗位代号, 工号) VALUES ('p1', 'abc')");
  run("INSERT INTO skoperator (operatornum) VALUES ('Op7')");
  run("Update 岗位信息new set 工号='ABD' Where 工号='ABC'");
  EXPECT_EQ(value("SELECT 工号 FROM 岗位信息NEW WHERE 岗位代号 = 'P1'"), "ABD");
  EXPECT_EQ(value("SELECT OperatorNum FROM SKOperator WHERE OperatorNum='OP7'"), "Op7");
  EXPECT_EQ(value("SELECT count(*) FROM skoperator WHERE operatornum Like '%p7'"), "1");
  EXPECT_EQ(value("SELECT count(*) FROM SKOperator WHERE OperatorNum In (Select 'op7')"), "1");
  db::Recordset rs = db_.open("SELECT 岗位代号, 工号 AS Num, NULL AS NoValue FROM 岗位信息new");
  EXPECT_EQ(rs.columns(), (QStringList{"岗位代号", "Num", "NoValue"}));
  EXPECT_EQ(rs.text("NUM"), "ABD");
  EXPECT_EQ(rs.text("岗位信息new.岗位代号"), "p1");
  EXPECT_TRUE(rs.isNull("novalue"));
  EXPECT_FALSE(rs.field("NoValue").isValid());
  EXPECT_EQ(rs.text("NoValue", "0000"), "0000");
  EXPECT_THROW(rs.field("nope"), DbError);
  rs.moveNext();
  EXPECT_TRUE(rs.eof());
  EXPECT_THROW(rs.field("Num"), DbError);
  EXPECT_THROW(rs.moveNext(), DbError);
}

// The register's nvarchar columns get the engine's default collation and a length check.
TEST_F(EmbeddedDb, TextComparesAsSqlServerIgnoringTrailingBlanksCaseAndWidth) {
  addEmployees({"0013 ", "ａ１", "b2　", "0020", "0020  ", "B", "a\t", "a"});  // "b2" and an ideographic blank
  EXPECT_EQ(value("SELECT count(*) FROM 员工档案 WHERE 工号 = '0013'"), "1");
  EXPECT_EQ(value("SELECT count(*) FROM 员工档案 WHERE 工号 = N'００１３'"), "1");
  EXPECT_EQ(value("SELECT count(*) FROM 员工档案 WHERE 工号 In ('A1', 'B2', '0020')"), "4");
  EXPECT_EQ(value("SELECT count(*) FROM (SELECT 工号 FROM 员工档案 GROUP BY 工号) AS g"), "7");
  EXPECT_EQ(value("SELECT count(DISTINCT 工号) FROM 员工档案"), "7");
  // The shorter text counts as padded with blanks: a tab sorts before the blank, so "a\t" < "a".
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案 WHERE ID > 5 ORDER BY 工号"), (QStringList{"a\t", "a", "B"}));
  run("INSERT INTO 岗位信息New (岗位代号, 工号) VALUES ('p1', '0013'), ('p2', 'A1 ')");
  EXPECT_EQ(column("SELECT p.岗位代号 FROM 岗位信息New AS p JOIN 员工档案 AS e ON p.工号 = e.工号 ORDER BY 1"),
            (QStringList{"p1", "p2"}));
  // An index orders and finds by the same rule: a unique one refuses a number it takes for another.
  run("CREATE UNIQUE INDEX UX_SKOperator ON SKOperator (OperatorNum)");
  run("INSERT INTO SKOperator (OperatorNum) VALUES ('op1')");
  EXPECT_EQ(errorOf([&] { run("INSERT INTO SKOperator (OperatorNum) VALUES (N'ＯＰ１ ')"); }),
            "UNIQUE constraint failed: SKOperator.OperatorNum");
  EXPECT_EQ(value("SELECT OperatorNum FROM SKOperator WHERE OperatorNum = 'OP1  '"), "op1");
}

TEST_F(EmbeddedDb, ALongerValueThanTheColumnHoldsFailsTheStatementAsOnSqlServer) {
  const QString fifty(50, u'9');
  run("INSERT INTO 员工档案 (工号, 姓名) VALUES ('" + fifty + "   ', 'x')");  // blanks beyond the length are dropped
  EXPECT_EQ(errorOf([&] { addEmployees({fifty + "9"}); }), "String or binary data would be truncated.");
  // One row too long fails the whole statement: no row changes.
  run("INSERT INTO 员工档案 (工号, 姓名) VALUES ('1', '" + QString(45, u'名') + "'), ('2', '" + QString(30, u'名') +
      "')");
  EXPECT_EQ(errorOf([&] { run("Update 员工档案 set 姓名 = 姓名 + N'甲乙丙丁戊己庚辛' Where 工号 In ('1', '2')"); }),
            "String or binary data would be truncated.");
  EXPECT_EQ(value("SELECT sum(length(姓名)) FROM 员工档案 WHERE 工号 In ('1', '2')"), "75");
  // varchar counts the bytes of code page 936 (two for a Chinese character), nchar characters.
  run("CREATE TABLE 门禁卡 (ID INTEGER PRIMARY KEY, 卡号 varchar(4), 持卡人 NCHAR(2), 备注 nvarchar(max))");
  run("INSERT INTO 门禁卡 (卡号, 持卡人, 备注) VALUES (N'甲乙', N'甲乙', N'" + QString(5000, u'备') + "')");
  EXPECT_EQ(errorOf([&] { run("INSERT INTO 门禁卡 (卡号) VALUES (N'甲乙1')"); }),
            "String or binary data would be truncated.");
  EXPECT_EQ(errorOf([&] { run("INSERT INTO 门禁卡 (持卡人) VALUES (N'甲乙丙')"); }),
            "String or binary data would be truncated.");
  EXPECT_EQ(value("SELECT count(*) FROM 门禁卡 WHERE 卡号 = '甲乙' AND 持卡人 = '甲乙 '"), "1");
}

TEST_F(EmbeddedDb, FailingThirdStatementOfABatch) {
  addEmployees({"0001"});
  run("INSERT INTO 岗位信息New (岗位代号, 工号) VALUES ('p1', '0001')");
  run("INSERT INTO SKOperator (OperatorNum) VALUES ('0001')");
  run("CREATE TRIGGER refuse BEFORE UPDATE ON SKOperator BEGIN SELECT RAISE(ABORT, 'SKOperator is locked'); END");
  const QString batch =
      "Update 员工档案 set 工号='0002' Where 工号='0001' Update 岗位信息new set 工号='0002' Where "
      "工号='0001' Update skoperator set OperatorNum='0002' Where OperatorNum='0001'";
  const auto numbers = [&] {
    return QStringList{value("SELECT 工号 FROM 员工档案"), value("SELECT 工号 FROM 岗位信息New"),
                       value("SELECT OperatorNum FROM SKOperator")};
  };
  {
    db::Transaction transaction(db_);
    EXPECT_TRUE(db_.inTransaction());
    EXPECT_EQ(errorOf([&] { run(batch); }), "SKOperator is locked");
    EXPECT_EQ(numbers(), (QStringList{"0002", "0002", "0001"}));  // inside the transaction
  }
  EXPECT_FALSE(db_.inTransaction());
  EXPECT_EQ(numbers(), (QStringList{"0001", "0001", "0001"}));

  try {  // autocommit: the first two stay; the failure names the third statement
    run(batch);
    ADD_FAILURE() << "no failure";
  } catch (const db::DbError& e) {
    EXPECT_EQ(e.text(), "SKOperator is locked");
    EXPECT_EQ(e.statement(), 2);
  }
  EXPECT_EQ(numbers(), (QStringList{"0002", "0002", "0001"}));
}

TEST_F(EmbeddedDb, Transactions) {
  {
    db::Transaction t(db_);
    addEmployees({"1"});
    t.commit();
  }
  {
    db::Transaction t(db_);
    addEmployees({"2"});
    EXPECT_THROW(db_.begin(), DbError);  // no nesting
  }
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案"), QStringList{"1"});
  EXPECT_THROW(db_.commit(), DbError);
  EXPECT_NO_THROW(db_.rollback());

  // A trigger that rolls the whole transaction back leaves nothing to roll back afterwards.
  run("CREATE TRIGGER undo BEFORE DELETE ON 员工档案 BEGIN SELECT RAISE(ROLLBACK, 'undone'); END");
  {
    db::Transaction t(db_);
    addEmployees({"3"});
    EXPECT_EQ(errorOf([&] { run("DELETE FROM 员工档案"); }), "undone");
  }
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案"), QStringList{"1"});
  db_.begin();
  addEmployees({"4"});
  db_.commit();
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案 ORDER BY ID"), (QStringList{"1", "4"}));
}

TEST_F(EmbeddedDb, TheBusyHookRunsDuringALongStatementAndItsStopLeavesTheTransactionUndone) {
  addEmployees({"1", "2"});
  // A statement of many steps: 200,000 rows counted one by one.
  const QString longRead =
      "WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < 200000) "
      "SELECT count(*) AS c FROM n";
  db_.setBusyIntervalMs(0);
  int calls = 0;
  QString inside;
  db_.setBusyHook([&] {
    if (++calls == 1) inside = errorOf([&] { db_.open("SELECT 1"); });  // the database is not for the hook
    return true;
  });
  EXPECT_EQ(db_.open(db::kEmbeddedOnly + longRead).text("c"), "200000");
  EXPECT_GT(calls, 10);
  EXPECT_TRUE(inside.contains("busy")) << inside.toStdString();

  // A stop interrupts the statement; the change made before it in the transaction is undone.
  {
    db::Transaction t(db_);
    run("UPDATE 员工档案 SET 工号 = '9' + 工号");
    calls = 0;
    db_.setBusyHook([&] { return ++calls < 3; });
    EXPECT_THROW(db_.open(db::kEmbeddedOnly + longRead), DbError);
  }
  EXPECT_EQ(calls, 3);
  db_.setBusyHook({});
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案 ORDER BY ID"), (QStringList{"1", "2"}));
  EXPECT_EQ(db_.open(db::kEmbeddedOnly + longRead).text("c"), "200000");  // no hook: it runs on

  // With a hook the commit runs beside the hook and commits all the same.
  db_.setBusyHook([] { return true; });
  {
    db::Transaction t(db_);
    run("UPDATE 员工档案 SET 工号 = '7' + 工号");
    t.commit();
  }
  db_.setBusyHook({});
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案 ORDER BY ID"), (QStringList{"71", "72"}));
}

TEST_F(EmbeddedDb, AddAndUpdateRecordsWithTheirLog) {
  const db::Fields fields = {{"类别代码", "A'1"}, {"流水号", QVariant()}};
  const qint64 first =
      db_.addRecord("SELECT ID, 类别代码, 流水号 From 员工工号编码规则 WHERE ID=0", "员工工号编码规则", fields);
  const qint64 second =
      db_.addRecord("SELECT ID From 员工工号编码规则 Where ID=0", "员工工号编码规则", {{"流水号", 5}});
  EXPECT_GT(first, 0);
  EXPECT_EQ(second, first + 1);
  db_.updateRecord("SELECT ID, 流水号 From 员工工号编码规则 WHERE ID=" + QString::number(first), "员工工号编码规则",
                   first, {{"流水号", 7}, {"类别代码", "B"}});
  EXPECT_EQ(log_, (QStringList{"SELECT ID, 类别代码, 流水号 From 员工工号编码规则 WHERE ID=0",
                               "INSERT INTO 员工工号编码规则 (类别代码, 流水号) VALUES (?, ?)",
                               "SELECT ID From 员工工号编码规则 Where ID=0",
                               "INSERT INTO 员工工号编码规则 (流水号) VALUES (?)",
                               "SELECT ID, 流水号 From 员工工号编码规则 WHERE ID=" + QString::number(first),
                               "UPDATE 员工工号编码规则 SET 流水号=?, 类别代码=? WHERE ID=" + QString::number(first)}));
  EXPECT_EQ(
      column("SELECT ifnull(类别代码, 'NULL') || ':' || ifnull(流水号, 'NULL') FROM 员工工号编码规则 ORDER BY ID"),
      (QStringList{"B:7", "NULL:5"}));
  EXPECT_THROW(db_.addRecord("SELECT ID From 员工工号编码规则 Where ID=0", "员工工号编码规则", {{"a; DROP", 1}}),
               DbError);
  EXPECT_THROW(db_.addRecord("SELECT ID From nowhere Where ID=0", "员工工号编码规则", {{"流水号", 1}}), DbError);
  EXPECT_EQ(value("SELECT count(*) FROM 员工工号编码规则"), "2");
}

TEST_F(EmbeddedDb, LogHoldsEveryTextAsBuiltBeforeTranslation) {
  const QString read = " SELECT 工号 From 员工档案 WHERE (工号 = N'1')";
  const QString write = "Update 员工档案 set 工号='9'+工号 Update 员工档案 set 姓名=N'a'";
  db_.open(read);
  run(write);
  EXPECT_THROW(run("Update nowhere set a=1"), DbError);
  db_.executeScript("Update 员工档案 set 姓名='b'\r\nGO\r\n Update 员工档案 set 姓名=N'c'");
  EXPECT_EQ(log_, (QStringList{read, write, "Update nowhere set a=1", "Update 员工档案 set 姓名='b'",
                               " Update 员工档案 set 姓名=N'c'"}));
  db_.setStatementObserver({});
  db_.open(read);
  EXPECT_EQ(log_.size(), 5) << "a removed observer sees nothing";
}

TEST(SplitBatches, GoLinesInAnyCaseSeparateBatches) {
  const QString script =
      " Update a set x='9' +x Where x In(Select 1); \r\ngo\r\n"
      " Update b set y='9' +y;\r\n  Go \t\r\n"
      "Update c set z='\ngo\n' -- go\n/* \ngo\n */\nGO\n\r\ngo\n"
      " Update d Set w='9'+w";
  EXPECT_EQ(Database::splitBatches(script),
            (QStringList{" Update a set x='9' +x Where x In(Select 1); ", " Update b set y='9' +y;",
                         "Update c set z='\ngo\n' -- go\n/* \ngo\n */", " Update d Set w='9'+w"}));
  EXPECT_EQ(Database::splitBatches("go\nselect 1\ngo"), QStringList{"select 1"});
  EXPECT_EQ(Database::splitBatches("select 1 go\ngo;\ngoto\n  select 2"),
            QStringList{"select 1 go\ngo;\ngoto\n  select 2"});
  EXPECT_EQ(Database::splitBatches("a\rgo\rb"), (QStringList{"a", "b"}));
  EXPECT_TRUE(Database::splitBatches(" \n go \n\t\n").isEmpty());
}

TEST_F(EmbeddedDb, ScriptRunsBatchByBatchAndStopsAtTheFirstFailure) {
  addEmployees({"1", "2"});
  run("Update 员工档案 set 岗位编号='P' Where 工号='2'");
  run("INSERT INTO 岗位信息New (岗位代号, 工号) VALUES ('p', '1')");
  db_.executeScript(
      " Update 岗位信息new set 工号='9' +工号 Where 工号 In(Select 工号 From 员工档案 Where 岗位编号 Is "
      "Null); \r\ngo\r\n Update 员工档案 Set 工号='9'+工号 Where 工号 In(Select 工号 From 员工档案 Where "
      "岗位编号 Is Null)");
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案 ORDER BY ID"), (QStringList{"91", "2"}));
  EXPECT_EQ(value("SELECT 工号 FROM 岗位信息New"), "91");
  log_.clear();
  EXPECT_THROW(
      db_.executeScript("Update 员工档案 set 姓名='a'\ngo\nUpdate nowhere set a=1\ngo\nUpdate 员工档案 set 姓名='c'"),
      DbError);
  EXPECT_EQ(log_, (QStringList{"Update 员工档案 set 姓名='a'", "Update nowhere set a=1"}));
  EXPECT_EQ(column("SELECT DISTINCT 姓名 FROM 员工档案"), QStringList{"a"});
}

TEST_F(EmbeddedDb, ARecordsetOutlivingItsConnectionReadsAsEnded) {
  addEmployees({"1", "2"});
  db::Recordset rs = db_.open("SELECT 工号 FROM 员工档案");
  EXPECT_EQ(rs.text("工号"), "1");
  db_.close();
  EXPECT_EQ(rs.text("工号"), "1");
  rs.moveNext();
  EXPECT_TRUE(rs.eof());
}

TEST_F(EmbeddedDb, WritesWhileAReadIsOpenAndCommitBeforeItEnds) {
  addEmployees({"1", "2", "3"});
  db::Transaction transaction(db_);
  db::Recordset rs = db_.open("SELECT 工号 FROM 员工档案 ORDER BY ID");
  QStringList seen;
  for (int i = 0; i < 2; ++i, rs.moveNext()) {
    seen << rs.text("工号");
    run("INSERT INTO SKOperator (OperatorNum) VALUES (" + db::sqlQuote(rs.text("工号")) + ")");
  }
  transaction.commit();  // the read is still open
  seen << rs.text("工号");
  rs.moveNext();
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(seen, (QStringList{"1", "2", "3"}));
  db_.close();
  QString error;
  ASSERT_TRUE(db_.openSqlite(path(), &error)) << error.toStdString();
  EXPECT_EQ(column("SELECT OperatorNum FROM SKOperator ORDER BY ID"), (QStringList{"1", "2"}));
}

// SQLite's own statements (the journal file's) run as written, with their values bound, and are
// logged like every other; a text not marked as one is refused with nothing sent.
TEST_F(EmbeddedDb, OwnStatementsRunUntranslatedWithTheirValuesAndAreLogged) {
  const QString mark = db::kEmbeddedOnly;
  log_.clear();
  db_.executeEmbedded(mark + "CREATE TABLE j (id INTEGER PRIMARY KEY, a TEXT)");
  db::Recordset rs = db_.openEmbedded(mark + "INSERT INTO j (a) VALUES (?), (?) RETURNING id", {"N'x' + 1", "b"});
  ASSERT_FALSE(rs.eof());
  EXPECT_EQ(rs.field("id").toLongLong(), 1);
  EXPECT_EQ(column("SELECT a FROM j ORDER BY id"), (QStringList{"N'x' + 1", "b"}));
  // Not translated: the column has no collation or length check added.
  EXPECT_EQ(column("SELECT sql FROM sqlite_master WHERE name = 'j'"),
            QStringList{"CREATE TABLE j (id INTEGER PRIMARY KEY, a TEXT)"});
  EXPECT_EQ(log_.mid(0, 2), (QStringList{mark + "CREATE TABLE j (id INTEGER PRIMARY KEY, a TEXT)",
                                         mark + "INSERT INTO j (a) VALUES (?), (?) RETURNING id"}));
  log_.clear();
  EXPECT_EQ(errorOf([&] { db_.executeEmbedded("DELETE FROM j"); }),
            "A statement of the embedded engine's own is not marked as one.");
  EXPECT_EQ(errorOf([&] { db_.executeEmbedded(mark + "DELETE FROM missing"); }), "no such table: missing");
  EXPECT_EQ(log_, QStringList{mark + "DELETE FROM missing"});
  EXPECT_EQ(column("SELECT COUNT(*) FROM j"), QStringList{"2"});
}
