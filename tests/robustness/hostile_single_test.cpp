// Hostile input typed or pasted into the boxes of the single-employee window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>

#include "host/host_tables.h"
#include "db/database.h"
#include "db/catalogue.h"
#include "core/preview/column_widths.h"
#include "core/common/holders.h"
#include "core/common/number_key.h"
#include "core/single/single_ops.h"
#include "core/single/single_sql.h"
#include "gui/single/single_window.h"
#include "tests/robustness/robust_support.h"
#include "tests/support/pinned_columns.h"
#include "gui/widgets/flex_grid.h"

using namespace robust;

namespace {

struct Employee {
  QString number, name, idCard;
};

// Employees whose names and identity-card numbers hold the troublesome characters themselves.
const QList<Employee>& staff() {
  static const QList<Employee> list{
      {u("0012"), u("张三"), u("110101199001011234")},
      {u("1000"), u("O'Neil"), u("11010119900101123X")},
      {u("1001"), u("百分之100%"), u("110")},
      {u("1002"), u("a_b"), u("[身份]")},
      {u("1003"), u("左\\右"), u("'")},
      {u("1004"), u("王五"), u("😀")},
      {u("1005"), u("笑😀"), u("12a")},
  };
  return list;
}

TEST(HostileInput, SingleWindowSearchBoxes) {
  Harness h;
  organisation(h);
  for (const Employee& e : staff()) {
    testdata::employee(
        {.number = e.number, .name = e.name, .category = "管理人员", .position = "P01", .sex = "", .idCard = e.idCard});
  }
  auto& w = h.open<frm员工Kestrune>();
  const Snapshot before = snapshot();
  QLineEdit* const boxes[] = {w.Text1, w.Text2, w.Text3};

  Series series(u("search boxes"));
  for (const Hostile& hostile : corpus()) {
    const QString& v = hostile.text;
    for (int b = 0; b < 3; ++b) {
      for (Entry how : {Entry::Typed, Entry::Pasted}) {
        if (longTyping(v, how) && b > 0) continue;  // typed into the number box only
        Problems p;
        for (QLineEdit* box : boxes) box->clear();
        enter(boxes[b], v, how);
        p.same(v, boxes[b]->text(), u("box text"));
        const qsizetype shown = h.messages().size();
        h.clearStatements();
        w.Command1->click();
        const QStringList log = h.statements();
        const QStringList messages = h.messages().mid(shown);

        // One read, built from the text as typed, the text quoted.
        const QString condition = single::textSearchCondition(w.Text1->text(), w.Text2->text(), w.Text3->text());
        p.same(single::textSearchStatement(condition), log.value(0), u("statement"));
        p.expect(log.size() == 1, u("%1 statements sent").arg(log.size()));
        QString escaped;
        for (const QChar ch : v) escaped += QString(u("!%_[")).contains(ch) ? u("!") + ch : QString(ch);
        p.expect(log.value(0).contains((b == 1 ? u("Like N'%") : u("Like '%")) + escaped.replace(u("'"), u("''")) +
                                       u("%' ESCAPE '!'")),
                 u("the text is not quoted in the statement"));

        // The hits: every employee whose field holds the text ("%", "_" and "[" found as typed).
        QSet<QString> hits;
        for (int r = 1; r < w.MSFlexGrid1->Rows(); ++r) hits << w.MSFlexGrid1->TextMatrix(r, 1);
        if (hits.isEmpty()) p.same(single::notFoundMessage(), messages.value(0), u("message"));
        QSet<QString> expected;
        for (const Employee& e : staff()) {
          const QString field = b == 0 ? e.number : b == 1 ? e.name : e.idCard;
          if (field.contains(v, Qt::CaseInsensitive)) expected << e.number;
        }
        QStringList want = expected.values(), got = hits.values();
        want.sort();
        got.sort();
        p.same(want.join(u(",")), got.join(u(",")), u("employees found"));
        p.expect(messages.size() == (expected.isEmpty() ? 1 : 0), u("messages: ") + messages.join(u(" / ")));
        series.add(u("%1 %2 into Text%3").arg(u(hostile.name), u(entryName(how))).arg(b + 1), p.list);
      }
    }
  }
  series.expectAllHeld();
  EXPECT_EQ(difference(before, snapshot()), QString()) << "a search changed the database";
}

// A typed number: full-width forms made ASCII, blanks at either end dropped, then letters and
// digits only; the first other character is named.
TEST(HostileInput, TypedNumbersAreMadeAsciiTrimmedAndRefusedForAnyOtherCharacter) {
  const struct {
    const char16_t* typed;
    const char16_t* number;
    const char16_t* refused;
  } cases[] = {
      {u"0012", u"0012", u""},
      {u" 0012\t", u"0012", u""},
      {u"0012\u3000", u"0012", u""},
      {u"\uFF17\uFF17", u"77", u""},  // ７７, typed in full-width mode
      {u"\uFF21\uFF10\uFF11", u"A01", u""},
      {u"临时01", u"临时01", u""},
      {u"   ", u"", u""},  // nothing left: "请输入新工号"
      {u"00 12", u"00 12", u"空格"},
      {u"00\u300012", u"00\u300012", u"全角空格"},
      {u"1'; drop table 员工档案;--", u"1'; drop table 员工档案;--", u"“'”"},
      {u"%", u"%", u"“%”"},
      {u"1\uFF05", u"1%", u"“%”"},  // a full-width ％ is a %
      {u"a_b", u"a_b", u"“_”"},
      {u"[12]", u"[12]", u"“[”"},
      {u"1\u00072", u"1\u00072", u"控制字符U+0007"},
      {u"1\u200B2", u"1\u200B2", u"不可见字符U+200B"},
      {u"1\U0001F600", u"1\U0001F600", u"“\U0001F600”"},
  };
  for (const auto& c : cases) {
    const common::TypedNumber t = common::typedNumber(QString::fromUtf16(c.typed));
    EXPECT_EQ(t.number, QString::fromUtf16(c.number)) << QString::fromUtf16(c.typed).toStdString();
    EXPECT_EQ(t.refused, QString::fromUtf16(c.refused)) << QString::fromUtf16(c.typed).toStdString();
  }
  EXPECT_EQ(single::refusedNumberMessage(u("“%”")), u("新工号不能含有“%”：只能由字母和数字组成"));
}

// A new number is taken as common::typedNumber makes it: the box then shows it, and it is quoted into
// every statement; one with a character no number holds is refused before anything is sent.
TEST(HostileInput, SingleWindowNewNumberBox) {
  forCorpusEntries(u("new number box"), [](const Hostile& hostile, Entry how, Problems& p) {
    const QString& v = hostile.text;
    Harness h;
    organisation(h);
    testdata::employee({.number = "0007", .name = "张三", .category = "管理人员", .position = "P01"});
    testdata::employee({.number = "0008", .name = "李四", .category = "管理人员", .position = "P02"});
    testdata::references(host::kSingleCascade, "0007");
    testdata::references(host::kSingleCascade, "0008");
    auto& w = h.open<frm员工Kestrune>();
    w.Text1->setText(u("0007"));
    w.Command1->click();
    enter(w.Text4, v, how);
    p.same(v, w.Text4->text(), u("box text"));
    const Snapshot before = snapshot();
    h.clearStatements();
    w.Command3->click();
    const QStringList log = h.statements();
    const QString message = h.messages().value(0);
    p.expect(h.messages().size() == 1, u("messages: ") + h.messages().join(u(" / ")));
    if (hostile.typed.isEmpty() || !hostile.refusedTyped.isEmpty()) {
      p.same(
          hostile.typed.isEmpty() ? single::noNewNumberMessage() : single::refusedNumberMessage(hostile.refusedTyped),
          message, u("message"));
      p.expect(log.isEmpty(), u("statements sent: ") + log.join(u(" / ")).left(200));
      p.same(QString(), difference(before, snapshot()), u("database"));
    } else {
      const QString& n = hostile.typed;
      p.same(n, w.Text4->text(), u("box shows the number written"));
      // The old number's holders, the existence check, the widths of the columns (read once per
      // connection), the records under the new number (every column in one query), then the
      // count of both numbers and the batch in the renumber's transaction.
      const QStringList asked{single::registerCountQuery(u("0007")), single::existsQuery(n),
                              db::catalogueSql(h.database())};
      if (const auto tooLong = single::newNumberTooLong(h.session(), n)) {
        // Longer than a column holds (the 10,000 characters): refused before anything is written.
        p.same(asked.join(u(" / ")), log.join(u(" / ")), u("statements"));
        p.same(preview::tooLongMessage(*tooLong), message, u("message"));
        p.same(QString(), difference(before, snapshot()), u("database"));
        p.same(u("0007"), w.MSFlexGrid1->TextMatrix(1, 1), u("list cell"));
        return;
      }
      const QStringList sent = asked + QStringList{common::holdersUnionSql(pinned::refColumns(), {n}),
                                                   common::registerHoldersSql({u("0007"), n}, common::Lock::Held),
                                                   single::renumberBatch(u("0007"), n, {})};
      p.same(sent.join(u(" / ")), log.join(u(" / ")), u("statements"));
      p.same(single::successMessage(u("张三"), n), message, u("message"));
      p.same(QString(), difference(renamed(before, host::kSingleCascade, u("0007"), n), snapshot()), u("database"));
      p.same(n, w.MSFlexGrid1->TextMatrix(1, 1), u("list cell"));
    }
  });
}

}  // namespace
