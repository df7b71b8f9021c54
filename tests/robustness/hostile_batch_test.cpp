// Hostile input in the batch window: typed or pasted into the editor of the new-number column,
// and standing in the new-number cells when the list is checked and applied.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "host/host_tables.h"
#include "db/database.h"
#include "core/batch/batch_sql.h"
#include "gui/batch/batch_window.h"
#include "tests/robustness/listed_batch.h"
#include "tests/robustness/robust_support.h"
#include "gui/widgets/flex_grid.h"

using namespace robust;

namespace {

QString digitsOf(const QString& text) {
  QString digits;
  for (QChar c : text)
    if (c >= u'0' && c <= u'9') digits += c;
  return digits;
}

// Three listed employees with a row in every table of the apply list, and one other employee.
struct BatchList {
  Harness h;
  ListedBatch list{h};
  frm员工工号统一修改* w = list.w;
  const QStringList olds = list.olds;
  QStringList column(int c) const { return list.column(c); }
  // Checks the list, goes through the export window and applies it. Returns the problems: the
  // database must hold exactly the numbers the list shows, or nothing may have changed and the
  // window must have said why.
  void checkAndApply(Problems& p) {
    w->Command2->click();
    const QStringList news = column(2);
    const Snapshot before = snapshot();
    const qsizetype shown = h.messages().size();
    h.clearStatements();
    if (w->Command4->isEnabled()) {
      w->Command4->click();  // the export window, closed at once
      w->Command3->click();
    }
    const QStringList messages = h.messages().mid(shown);
    if (messages == QStringList{u("修改完成")}) {
      Snapshot expected = before;
      for (int i = 0; i < olds.size(); ++i) expected = renamed(expected, host::kBatchApply, olds[i], news[i]);
      p.same(QString(), difference(expected, snapshot()), u("applied"));
    } else {
      p.expect(!w->Label2->text().isEmpty() || !messages.isEmpty(), u("refused without a word"));
      p.same(QString(), difference(before, snapshot()), u("refused, yet the database changed"));
    }
  }
};

// The editor takes digits only: typed, the other keys are dropped; pasted, the other characters
// must go too, or the list would carry a number no key could have typed.
TEST(HostileInput, BatchWindowEditor) {
  QStringList defects;
  forCorpusEntries(u("editor"), [&defects](const Hostile& hostile, Entry how, Problems& p) {
    const QString& v = hostile.text;
    BatchList b;
    b.w->MSFlexGrid1->clickCell(2, 2);
    p.expect(b.w->Text1->isVisible(), u("editor not shown"));
    enter(b.w->Text1, v, how);
    const QString editor = b.w->Text1->text();
    QTest::keyClick(b.w->Text1, Qt::Key_Return);
    p.same(editor, b.w->MSFlexGrid1->TextMatrix(2, 2), u("Enter writes the editor"));
    if (editor != digitsOf(v)) {
      if (how == Entry::Pasted) {
        defects << u("%1 pasted: the editor holds \"%2\"").arg(u(hostile.name), Problems::shown(editor));
      } else {
        p.same(digitsOf(v), editor, u("typed keys"));
      }
    }
    b.checkAndApply(p);
  });
  if (!defects.isEmpty()) {
    ADD_FAILURE() << "the batch window's editor takes pasted text without dropping what is no digit "
                     "(gui/batch/batch_window.cpp: filter Text1 on textEdited as its keys are filtered):\n"
                  << defects.join(u("\n")).toStdString();
  }
}

// Whatever the new-number cells hold when the list is checked and applied: every statement quotes
// it, and the database ends exactly as the list says, or unchanged with the reason shown.
TEST(HostileInput, BatchWindowNewNumberCells) {
  for (bool automatic : {false, true}) {
    forCorpus(automatic ? u("automatic check") : u("manual check"), [automatic](const Hostile& hostile, Problems& p) {
      BatchList b;
      b.w->Check2->setChecked(automatic);
      b.w->MSFlexGrid1->setTextMatrix(2, 2, hostile.text);
      b.checkAndApply(p);
    });
  }
}

}  // namespace
