// Translation of the tool's T-SQL texts into single SQLite statements, checked as exact texts.
#include <gtest/gtest.h>

#include "db/database.h"
#include "tests/support/qt_print.h"
#include "db/tsql_tokens.h"
#include "db/tsql_translate.h"

using db::translateTsqlToSqlite;

namespace {

QStringList tr(const QString& sql) { return translateTsqlToSqlite(sql); }

}  // namespace

TEST(Tokenizer, JoinsBackToTheTextAndKeepsLiteralsWhole) {
  const QString sql = QStringLiteral(
      "SELECT N'it''s Update' + [a b], \"q\"\"x\", 1.5e3, .5, 0x1F -- go\n/* c /* nested */ d */x<>y>=z||w");
  const auto tokens = db::tsql::tokenize(sql);
  QString joined;
  for (const auto& t : tokens) joined += t.text;
  EXPECT_EQ(joined, sql);

  QStringList strings, words;
  for (const auto& t : tokens) {
    if (t.kind == db::tsql::Kind::String) strings << t.text + (t.unicode ? "(N)" : "");
    if (t.kind == db::tsql::Kind::Word) words << t.text;
  }
  EXPECT_EQ(strings, QStringList{"N'it''s Update'(N)"});
  EXPECT_EQ(words, (QStringList{"SELECT", "x", "y", "z", "w"}));
  EXPECT_EQ(db::tsql::tokenize(QStringLiteral("员工档案temp.工号_2"))[0].text, QStringLiteral("员工档案temp"));
}

TEST(Tokenizer, UnclosedLiteralOrCommentFailsLikeTheServer) {
  try {
    db::tsql::tokenize(QStringLiteral("Select 1 Where a='O"));
    FAIL() << "no error";
  } catch (const db::DbError& e) {
    EXPECT_EQ(e.text(), QStringLiteral("Unclosed quotation mark after the character string 'O'."));
  }
  EXPECT_THROW(db::tsql::tokenize(QStringLiteral("Select 1 /* open")), db::DbError);
  EXPECT_NO_THROW(db::tsql::tokenize(QStringLiteral("Select 'open"), false));
}

TEST(Translate, UnicodeLiteralsConvertAndLen) {
  EXPECT_EQ(tr(" SELECT 类别编号, 类别名称, 类别码 From 员工类别 WHERE (类别码 = N'A1') ORDER BY 类别编号"),
            QStringList{"SELECT 类别编号, 类别名称, 类别码 From 员工类别 WHERE (类别码 = 'A1') ORDER BY 类别编号"});
  EXPECT_EQ(tr("SELECT a From t Where Convert(int,员工档案.工号) In(SELECT CONVERT(int, 工号) AS SZGH From 员工档案 "
               "GROUP BY CONVERT ( INT ,工号) HAVING (COUNT(*) > 1)) Order By CONVERT(int, 员工档案.工号)"),
            QStringList{"SELECT a From t Where tsql_int(员工档案.工号) In(SELECT tsql_int(工号) AS SZGH From 员工档案 "
                        "GROUP BY tsql_int (工号) HAVING (COUNT(*) > 1)) Order By tsql_int(员工档案.工号)"});
  EXPECT_EQ(tr("select x from t order by len(职能部门new.职能部门编号),LEN(a), Len (b), len"),
            QStringList{"select x from t order by tsql_len(职能部门new.职能部门编号),tsql_len(a), tsql_len (b), len"});
}

TEST(Translate, CharacterColumnsGetTheDefaultCollationAndTheirLengthCheck) {
  const QString check = R"( CONSTRAINT "String or binary data would be truncated." CHECK ()";
  EXPECT_EQ(
      tr("CREATE TABLE [门禁卡] ([ID] int IDENTITY(1,1) PRIMARY KEY, [卡号] nvarchar(10) NOT NULL, 持卡人 VARCHAR "
         "( 4 ), 备注 ntext, c char(2) COLLATE NOCASE, d decimal(12, 2), CONSTRAINT pk UNIQUE (c))"),
      QStringList{
          "CREATE TABLE [门禁卡] ([ID] int IDENTITY(1,1) PRIMARY KEY, [卡号] nvarchar(10) COLLATE SQLSERVER_CI" +
          check + "length(rtrim([卡号], ' ')) <= 10) NOT NULL, 持卡人 VARCHAR ( 4 ) COLLATE SQLSERVER_CI" + check +
          "length(rtrim(持卡人, ' ')) + (length(CAST(rtrim(持卡人, ' ') AS BLOB)) - "
          "length(rtrim(持卡人, ' '))) / 2 <= 4), 备注 ntext COLLATE SQLSERVER_CI, c char(2)" +
          check +
          "length(rtrim(c, ' ')) + (length(CAST(rtrim(c, ' ') AS BLOB)) - length(rtrim(c, ' '))) / 2 "
          "<= 2) COLLATE NOCASE, d decimal(12, 2), CONSTRAINT pk UNIQUE (c))"});
  EXPECT_EQ(tr("ALTER TABLE t ADD 工号 nvarchar(max)"),
            QStringList{"ALTER TABLE t ADD 工号 nvarchar COLLATE SQLSERVER_CI"});
  EXPECT_EQ(tr("CREATE TABLE t (a int, b datetime)"), QStringList{"CREATE TABLE t (a int, b datetime)"});
}

TEST(Translate, IfNotExistsInsertBecomesGuardedInsertSelect) {
  EXPECT_EQ(tr("if not exists (select * from 员工工号编码规则 where 类别代码 ='18')  INSERT INTO 员工工号编码规则 "
               "(类别代码) VALUES ('18')"),
            QStringList{"INSERT INTO 员工工号编码规则 (类别代码) SELECT '18' WHERE not exists (select * from "
                        "员工工号编码规则 where 类别代码 ='18')"});
  EXPECT_EQ(tr("IF EXISTS(SELECT 1 FROM t WHERE a=N'x') INSERT INTO u (a, b) VALUES (N'x', 2); Update u set b=3"),
            (QStringList{"INSERT INTO u (a, b) SELECT 'x', 2 WHERE EXISTS(SELECT 1 FROM t WHERE a='x')",
                         "Update u set b=3"}));
}

// A text literal and a column alone: the column's type decides at run time (tsql_plus); other
// '+' next to a string concatenate, and a number makes an addition.
TEST(Translate, PlusBetweenATextAndAColumnDecidesAtRunTimeOthersConcatenateNextToAString) {
  const struct {
    const char* tsql;
    const char* sqlite;
  } cases[] = {
      {" Update XZ文件流转情况 set 查阅人='9' +查阅人 Where 查阅人 In(Select 工号 From 员工档案 Where 岗位编号 Is "
       "Null); ",
       "Update XZ文件流转情况 set 查阅人=tsql_plus('9' ,查阅人) Where 查阅人 In(Select 工号 From 员工档案 Where "
       "岗位编号 Is Null)"},
      {"Update 员工档案 Set 工号='9'+工号", "Update 员工档案 Set 工号=tsql_plus('9',工号)"},
      {"Select s.工号 From 员工档案 s INNER JOIN 员工档案 h ON h.工号='9'+s.工号 Where x IN (Select '9'+工号 From t)",
       "Select s.工号 From 员工档案 s INNER JOIN 员工档案 h ON h.工号=tsql_plus('9',s.工号) Where x IN (Select "
       "tsql_plus('9',工号) From t)"},
      {"select 工号+'x', N'9' + [a]]b], dbo.t.c + N'y' AS v",
       "select tsql_plus(工号,'x'), tsql_plus('9' , `a]b`), "
       "tsql_plus(dbo.t.c , 'y') AS v"},
      {"select a + b, a+1, '9' + 5, N'a' + t.b + c, 'a' + f(x) + y, +'z', '9' + Null, x * '9' + c, '9' + c - 1",
       "select a + b, a+1, '9' + 5, 'a' || t.b || c, 'a' || f(x) || y, +'z', '9' || Null, x * '9' || c, '9' || c - 1"},
      {"select '9' + CASE WHEN a = 1 THEN b END, CASE WHEN a = 1 THEN b END + '9'",
       "select '9' || CASE WHEN a = 1 THEN b END, CASE WHEN a = 1 THEN b END || '9'"},
  };
  for (const auto& c : cases) EXPECT_EQ(tr(c.tsql), QStringList{c.sqlite}) << c.tsql;
}

// Table hints go; what remains is the statement without them, split where it was.
TEST(Translate, TableHintsAfterATableOrAliasAreDropped) {
  const struct {
    const char* tsql;
    QStringList sqlite;
  } cases[] = {
      {"SELECT h.工号 FROM 员工档案 WITH (UPDLOCK, HOLDLOCK) INNER JOIN (SELECT 0 AS 序, '0013' AS 号) AS 问 ON "
       "员工档案.工号 = 问.号",
       {"SELECT h.工号 FROM 员工档案 INNER JOIN (SELECT 0 AS 序, '0013' AS 号) AS 问 ON 员工档案.工号 = 问.号"}},
      {"SELECT COUNT(*) FROM t with(updlock holdlock)WHERE a=1", {"SELECT COUNT(*) FROM t WHERE a=1"}},
      {"SELECT a FROM (SELECT a FROM [t x] h WITH (NOLOCK)) q JOIN u WITH (ROWLOCK, READPAST), v WITH (TABLOCKX) "
       "WHERE 1=1",
       {"SELECT a FROM (SELECT a FROM [t x] h) q JOIN u, v WHERE 1=1"}},
      {"UPDATE t WITH (ROWLOCK, XLOCK) SET a=1 DELETE FROM t WITH (PAGLOCK, SERIALIZABLE, TABLOCK) "
       "SELECT * FROM t WITH (READCOMMITTED) JOIN u WITH (READUNCOMMITTED, REPEATABLEREAD) ON 1=1",
       {"UPDATE t SET a=1", "DELETE FROM t", "SELECT * FROM t JOIN u ON 1=1"}},
      {"WITH x AS (SELECT 1 AS a) SELECT a FROM x WITH (NOLOCK)", {"WITH x AS (SELECT 1 AS a) SELECT a FROM x"}},
      {"SELECT 'FROM t WITH (UPDLOCK)' FROM t WITH (UPDLOCK)", {"SELECT 'FROM t WITH (UPDLOCK)' FROM t"}},
  };
  for (const auto& c : cases) EXPECT_EQ(tr(c.tsql), c.sqlite) << c.tsql;
}

TEST(Translate, StatementsWithoutSeparatorsAreSplitAtTopLevelKeywords) {
  EXPECT_EQ(tr(" Update a set x='1' Where x='2' Update b set y='1' Where y='2' Delete From c Where z='3' Update d "
               "set w=1"),
            (QStringList{"Update a set x='1' Where x='2'", "Update b set y='1' Where y='2'",
                         "Delete From c Where z='3'", "Update d set w=1"}));
  // S6: three statements, the second with two blanks after Where.
  EXPECT_EQ(tr("Update 员工类别 Set 类别码=Null Where 类别码='18' Delete From 员工工号编码规则 Where  类别代码='18' "
               "Delete From 员工工号编码规则名称 Where 类别码='18'"),
            (QStringList{"Update 员工类别 Set 类别码=Null Where 类别码='18'",
                         "Delete From 员工工号编码规则 Where  类别代码='18'",
                         "Delete From 员工工号编码规则名称 Where 类别码='18'"}));
  // Not new statements: SELECT in parentheses, INSERT ... SELECT, UNION / EXCEPT SELECT, AS SELECT.
  EXPECT_EQ(tr("INSERT INTO t (a) SELECT a FROM u WHERE a IN (SELECT a FROM v) UNION ALL SELECT 1 EXCEPT SELECT 2 "
               "SELECT 3"),
            (QStringList{"INSERT INTO t (a) SELECT a FROM u WHERE a IN (SELECT a FROM v) UNION ALL SELECT 1 EXCEPT "
                         "SELECT 2",
                         "SELECT 3"}));
  EXPECT_EQ(tr("INSERT INTO t (a) VALUES (1) SELECT a FROM t;;CREATE VIEW v AS SELECT 1 DROP TABLE IF EXISTS x"),
            (QStringList{"INSERT INTO t (a) VALUES (1)", "SELECT a FROM t", "CREATE VIEW v AS SELECT 1",
                         "DROP TABLE IF EXISTS x"}));
  // A trigger body keeps its own statements and semicolons.
  EXPECT_EQ(tr("CREATE TRIGGER f BEFORE UPDATE OF x ON t BEGIN SELECT CASE WHEN 1 THEN RAISE(ABORT,'no') END; "
               "DELETE FROM u; END; UPDATE t SET x=1"),
            (QStringList{"CREATE TRIGGER f BEFORE UPDATE OF x ON t BEGIN SELECT CASE WHEN 1 THEN RAISE(ABORT,'no') "
                         "END; DELETE FROM u; END",
                         "UPDATE t SET x=1"}));
}

TEST(Translate, LiteralsHoldingKeywordsAreUntouched) {
  EXPECT_EQ(tr("Update t set x='Update go + N''y'' Delete; len(a) CONVERT(int, b)' Where y=N'select + ' + 'if'"),
            QStringList{"Update t set x='Update go + N''y'' Delete; len(a) CONVERT(int, b)' Where y='select + ' || "
                        "'if'"});
  EXPECT_EQ(tr("select [Update], \"delete\" from [select] -- Update x\n where a=1"),
            QStringList{"select [Update], \"delete\" from [select] -- Update x\n where a=1"});
}

// SQLite's brackets end at the first ']': a name holding one is written between grave accents.
TEST(Translate, ABracketInsideABracketedNameKeepsTheName) {
  EXPECT_EQ(tr("SELECT [持卡[人]]], [a]]`b] FROM [门禁 卡] WHERE [x]]] = ']]'"),
            QStringList{"SELECT `持卡[人]`, `a]``b` FROM [门禁 卡] WHERE `x]` = ']]'"});
}

TEST(Translate, WhatCannotBeTranslatedFailsInsteadOfGuessing) {
  EXPECT_THROW(tr("SELECT CONVERT(varchar(10), 工号) FROM 员工档案"), db::DbError);
  EXPECT_THROW(tr("IF 1=1 UPDATE t SET a=1"), db::DbError);
  EXPECT_THROW(tr("IF NOT EXISTS (SELECT 1) UPDATE t SET a=1"), db::DbError);
  EXPECT_THROW(tr("IF NOT EXISTS (SELECT 1) INSERT INTO t (a) VALUES (1), (2)"), db::DbError);
  EXPECT_THROW(tr("SELECT (a FROM t"), db::DbError);
  EXPECT_THROW(tr("SELECT a) FROM t"), db::DbError);
  EXPECT_TRUE(tr("  -- nothing\n ; ").isEmpty());
}
