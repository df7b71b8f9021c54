// The main menu: four buttons in one column, the disabled batch button, exit at once.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QLayout>
#include <QLineEdit>

#include "app/menu/menu_window.h"
#include "gui/batch/batch_window.h"
#include "gui/single/single_window.h"
#include "gui/rules/rules_window.h"
#include "tests/support/harness.h"
#include "gui/widgets/shared_window.h"

using namespace Qt::StringLiterals;

namespace {

// Records what the menu's buttons open.
struct Opened {
  QStringList calls;
  void wire(frm协调& m) {
    m.openSingle = [this] { calls << u"single"_s; };
    m.openBatch = [this] { calls << u"batch"_s; };
    m.openRules = [this] { calls << u"rules"_s; };
  }
};

// Replaces the terminator for one test.
struct TerminateSpy {
  QList<int> codes;
  std::function<void(int)> saved = frm协调::terminate;
  TerminateSpy() {
    frm协调::terminate = [this](int code) { codes << code; };
  }
  ~TerminateSpy() { frm协调::terminate = saved; }
};

TEST(Menu, FourEqualButtonsInOneColumnWithTheirCaptionsAndTabOrder) {
  Harness h;
  frm协调& m = h.open<frm协调>();
  m.layout()->activate();
  EXPECT_EQ(m.windowTitle(), u"协调"_s);
  const QList<QPushButton*> column{m.Command1, m.Command4, m.Command2, m.Command3};
  EXPECT_EQ(m.Command1->text(), u"Kestrune"_s);
  EXPECT_EQ(m.Command4->text(), u"工号统一修改"_s);
  EXPECT_EQ(m.Command2->text(), u"规则设置"_s);
  EXPECT_EQ(m.Command3->text(), u"退出系统"_s);
  for (int i = 1; i < column.size(); ++i) {
    EXPECT_EQ(column[i]->size(), column[0]->size());
    EXPECT_EQ(column[i]->x(), column[0]->x());
    EXPECT_GE(column[i]->y(), column[i - 1]->geometry().bottom()) << "button " << i << " is not below the one above";
  }
  EXPECT_EQ(m.Command1->nextInFocusChain(), m.Command2);
  EXPECT_EQ(m.Command2->nextInFocusChain(), m.Command3);
  EXPECT_EQ(m.Command3->nextInFocusChain(), m.Command4);
}

TEST(Menu, BatchButtonIsDisabledAndDoesNothingUntilEnabled) {
  Harness h;
  frm协调& m = h.open<frm协调>();
  Opened opened;
  opened.wire(m);
  EXPECT_FALSE(m.Command4->isEnabled());
  EXPECT_TRUE(m.Command1->isEnabled() && m.Command2->isEnabled() && m.Command3->isEnabled());
  m.Command4->click();
  EXPECT_TRUE(opened.calls.isEmpty());
  m.enableBatch(true);
  m.Command4->click();
  EXPECT_EQ(opened.calls, QStringList{u"batch"_s});
  m.enableBatch(false);
  m.Command4->click();
  EXPECT_EQ(opened.calls, QStringList{u"batch"_s});
}

TEST(Menu, ButtonsOpenTheirWindows) {
  Harness h;
  frm协调& m = h.open<frm协调>();
  Opened opened;
  opened.wire(m);
  TerminateSpy spy;
  m.Command1->click();
  m.Command2->click();
  m.Command1->click();
  EXPECT_EQ(opened.calls, (QStringList{u"single"_s, u"rules"_s, u"single"_s}));
  EXPECT_TRUE(spy.codes.isEmpty());
}

TEST(Menu, ButtonsShowOneSharedInstanceOfEachWorkingWindow) {
  Harness h;
  h.seedDemo();
  frm协调& m = h.open<frm协调>();
  m.Command1->click();
  ASSERT_TRUE(widgets::shared_window::exists<frm员工Kestrune>());
  frm员工Kestrune* single = &widgets::shared_window::instance<frm员工Kestrune>();
  EXPECT_TRUE(single->isVisible());
  single->Text2->setText(u"王"_s);
  m.Command1->click();  // the same window, with what was typed
  EXPECT_EQ(&widgets::shared_window::instance<frm员工Kestrune>(), single);
  EXPECT_EQ(single->Text2->text(), u"王"_s);

  m.Command2->click();
  ASSERT_TRUE(widgets::shared_window::exists<frm工号规则设置>());
  EXPECT_TRUE(widgets::shared_window::instance<frm工号规则设置>().isVisible());

  m.Command4->click();  // disabled: nothing opens
  EXPECT_FALSE(widgets::shared_window::exists<frm员工工号统一修改>());
  m.enableBatch(true);
  m.Command4->click();
  ASSERT_TRUE(widgets::shared_window::exists<frm员工工号统一修改>());
  EXPECT_TRUE(widgets::shared_window::instance<frm员工工号统一修改>().isVisible());
  EXPECT_TRUE(h.messages().isEmpty());
}

TEST(Menu, ExitEndsTheProgramAtOnceWithoutAskingOpenWindows) {
  Harness h;
  frm协调& m = h.open<frm协调>();
  Opened opened;
  opened.wire(m);
  TerminateSpy spy;
  m.Command3->click();
  EXPECT_EQ(spy.codes, QList<int>{0});
  EXPECT_TRUE(opened.calls.isEmpty());
  EXPECT_TRUE(h.messages().isEmpty());
}

TEST(MenuDeathTest, ExitEndsTheRealProcessWithCodeZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        Harness h;
        frm协调& m = h.open<frm协调>();
        QWidget other;  // a working window that is still open is not asked to close
        other.show();
        m.Command3->click();
        std::fprintf(stderr, "still running\n");
        std::exit(7);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(Menu, ClosingTheMenuClosesOnlyTheMenu) {
  Harness h;
  frm协调& m = h.open<frm协调>();
  TerminateSpy spy;
  QWidget working;
  working.show();
  EXPECT_TRUE(m.close());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_FALSE(widgets::shared_window::exists<frm协调>());
  EXPECT_TRUE(working.isVisible());
  EXPECT_TRUE(spy.codes.isEmpty());
  // The next start-up or use creates a new menu.
  EXPECT_FALSE(h.open<frm协调>().Command4->isEnabled());
}

}  // namespace
