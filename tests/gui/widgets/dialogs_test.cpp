#include "tests/support/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include "tests/support/qt_print.h"
#include "text/listing.h"
#include "gui/widgets/app_info.h"
#include "gui/widgets/shared_window.h"

namespace {

// Installs scripted dialogs for one test and the production ones again afterwards.
class ScriptedDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<widgets::ScriptedDialogs>();
    dialogs = owned.get();
    widgets::Dialogs::install(std::move(owned));
  }
  void TearDown() override { widgets::Dialogs::install(nullptr); }
  widgets::ScriptedDialogs* dialogs = nullptr;
};

// What a message box showed, read while it is open.
struct BoxSeen {
  QString text, title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// Answers the next modal message box with the given button, noting what it showed.
void answerNextBox(BoxSeen* seen, QMessageBox::StandardButton button) {
  QTimer::singleShot(0, [seen, button] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    *seen = {box->text(), box->windowTitle(), box->icon(), box->standardButtons()};
    box->button(button)->click();
  });
}

}  // namespace

TEST_F(ScriptedDialogsTest, MessagesAndQuestionsAreRecordedInOrder) {
  dialogs->answers = {false};
  widgets::msg(nullptr, "请输入检索条件");
  widgets::msg(nullptr, "数据库连接失败!", "连接提示", widgets::Icon::Information);
  const bool first = widgets::ask(nullptr, "是否要删除甲?");
  const bool second = widgets::ask(nullptr, "是否要删除乙?");  // unqueued: Yes
  widgets::dbError(nullptr, "UNIQUE constraint failed: 员工档案.工号");
  EXPECT_FALSE(first);
  EXPECT_TRUE(second);
  ASSERT_EQ(dialogs->shown.size(), 5);
  const QList<widgets::ScriptedDialogs::Shown>& s = dialogs->shown;
  EXPECT_EQ(s[0].text, "请输入检索条件");
  EXPECT_EQ(s[0].title, "员工工号修改");  // the tool's name, not the executable's
  EXPECT_EQ(s[0].icon, widgets::Icon::None);
  EXPECT_FALSE(s[0].isQuestion);
  EXPECT_EQ(s[1].title, "连接提示");
  EXPECT_EQ(s[1].icon, widgets::Icon::Information);
  EXPECT_EQ(s[2].text, "是否要删除甲?");
  EXPECT_EQ(s[2].title, widgets::app_info::title());
  EXPECT_TRUE(s[2].isQuestion);
  EXPECT_TRUE(s[3].isQuestion);
  EXPECT_EQ(s[4].text, "UNIQUE constraint failed: 员工档案.工号");  // exactly the database's text
  EXPECT_EQ(s[4].title, widgets::app_info::title());
  EXPECT_EQ(s[4].icon, widgets::Icon::Critical);
  EXPECT_FALSE(s[4].isQuestion);
}

TEST_F(ScriptedDialogsTest, FileDialogsAnswerFromTheQueue) {
  dialogs->files = {"/tmp/a.xls"};
  const QString filter = "Excel Flie *.xls|*.xls|All flie *.*|*.*";
  EXPECT_EQ(widgets::Dialogs::current().chooseFile(nullptr, "/opt/app", filter), "/tmp/a.xls");
  EXPECT_EQ(widgets::Dialogs::current().chooseFile(nullptr, "/home", "x|*.x"), "");  // unqueued: cancelled
  EXPECT_EQ(dialogs->fileDialogDirs, (QStringList{"/opt/app", "/home"}));
  EXPECT_EQ(dialogs->fileDialogFilters, (QStringList{filter, "x|*.x"}));
  EXPECT_TRUE(dialogs->shown.isEmpty());
}

TEST_F(ScriptedDialogsTest, ModalShowRunsTheQueuedActionThenCloses) {
  QStringList seen;
  dialogs->modalActions.append([&](QWidget* w) {
    seen << QString("visible=%1").arg(w->isVisible());
    widgets::msg(w, "inside");  // dialogs may be used from within the modal window
  });
  dialogs->modalActions.append([&](QWidget* w) { w->close(); });  // the window closes itself

  QWidget kept;
  widgets::Dialogs::current().showModal(&kept);
  EXPECT_EQ(seen, QStringList{"visible=1"});
  EXPECT_FALSE(kept.isVisible());
  ASSERT_EQ(dialogs->shown.size(), 1);
  EXPECT_EQ(dialogs->shown[0].text, "inside");

  QPointer<QWidget> deleting = new QWidget;
  deleting->setAttribute(Qt::WA_DeleteOnClose);
  widgets::Dialogs::current().showModal(deleting);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(deleting.isNull());

  QPointer<QWidget> plain = new QWidget;  // nothing queued: closed at once
  plain->setAttribute(Qt::WA_DeleteOnClose);
  widgets::Dialogs::current().showModal(plain);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(plain.isNull());
  EXPECT_EQ(dialogs->modalShows, 3);
  EXPECT_TRUE(dialogs->modalActions.isEmpty());
}

TEST(QtDialogs, MessageBoxesShowTextTitleIconAndButtons) {
  widgets::QtDialogs dialogs;
  BoxSeen seen;
  answerNextBox(&seen, QMessageBox::Ok);
  dialogs.message(nullptr, "错误信息：login failed", "信息文本", widgets::Icon::Information);
  EXPECT_EQ(seen.text, "错误信息：login failed");
  EXPECT_EQ(seen.title, "信息文本");
  EXPECT_EQ(seen.icon, QMessageBox::Information);
  EXPECT_EQ(seen.buttons, QMessageBox::Ok);

  answerNextBox(&seen, QMessageBox::Ok);
  dialogs.message(nullptr, "no such table", "renumber", widgets::Icon::Critical);
  EXPECT_EQ(seen.icon, QMessageBox::Critical);

  answerNextBox(&seen, QMessageBox::No);
  EXPECT_FALSE(dialogs.question(nullptr, "是否要删除x?", "renumber"));
  EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  answerNextBox(&seen, QMessageBox::Yes);
  EXPECT_TRUE(dialogs.question(nullptr, "是否要删除x?", "renumber"));
}

// A question of 4,253 lines keeps within the screen: 20 lines at most, the question last, the whole
// text in the details; a short text is shown as it is, in a box wide enough for its title.
TEST(QtDialogs, ALongTextIsBoundedToTheScreenWithTheWholeInItsDetails) {
  QStringList lines{"以下原工号在其他表中已有记录："};
  for (int i = 0; i < 4253; ++i) lines << QString("%1：工资单明细 1行，考勤表详细 2行").arg(10000 + i);
  lines << "继续撤销将把这些记录并入相应员工，是否继续？";
  const QString text = lines.join('\n');
  widgets::QtDialogs dialogs;
  QString shown, details;
  int height = 0, titleRoom = 0;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shown = box->text();
    details = box->detailedText();
    height = box->height();
    box->button(QMessageBox::No)->click();
  });
  EXPECT_FALSE(dialogs.cautiousQuestion(nullptr, text, "员工工号修改"));
  const QStringList seen = shown.split('\n');
  EXPECT_LE(seen.size(), 20);
  EXPECT_EQ(seen.first(), lines.first());
  EXPECT_EQ(seen[1], "10000：工资单明细 1行，考勤表详细 2行");
  EXPECT_EQ(seen[seen.size() - 2].toStdString(), QString("……另有%1项").arg(4253 - (seen.size() - 3)).toStdString());
  EXPECT_EQ(seen.last(), lines.last());
  EXPECT_EQ(details, text);
  EXPECT_LT(height, QGuiApplication::primaryScreen()->availableGeometry().height());

  // One line longer than the box: cut.
  const QString line = QString(3000, QChar(0x5DE5));
  EXPECT_EQ(widgets::boundedText(line, 20, 40), QString(798, QChar(0x5DE5)) + "……");
  EXPECT_EQ(widgets::boundedText("请输入检索条件", 20, 40), "请输入检索条件");
  // A question its operation bounded already, bounded tighter: one rest line for all left out.
  QStringList items;
  for (int i = 0; i < 25; ++i) items << QString("%1：工资单明细 1行").arg(7000 + i);
  const QString listed = text::listedText("以下原工号在其他表中已有记录：", items, "是否继续？");
  EXPECT_EQ(widgets::boundedText(listed, 10, 40).toStdString(),
            (listed.split('\n').mid(0, 8) + QStringList{"……另有17项", "是否继续？"}).join('\n').toStdString());

  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    shown = box->text();
    details = box->detailedText();
    titleRoom =
        box->width() - QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(box->windowTitle());
    box->button(QMessageBox::Ok)->click();
  });
  dialogs.message(nullptr, "好", "修改记录未能写入的提示", widgets::Icon::Warning);
  EXPECT_EQ(shown, "好");
  EXPECT_EQ(details, "");
  EXPECT_GE(titleRoom, 100);  // the title and the window's buttons
}

TEST(QtDialogs, ModalShowReturnsWhenTheWindowIsClosedOrDestroyed) {
  widgets::QtDialogs dialogs;
  QWidget window;
  QTimer::singleShot(0, [&] {
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.isModal());
    window.close();
  });
  dialogs.showModal(&window);
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.isModal());

  QPointer<QWidget> closing = new QWidget;
  closing->setAttribute(Qt::WA_DeleteOnClose);
  QTimer::singleShot(0, closing, [&] { closing->close(); });
  dialogs.showModal(closing);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(closing.isNull());

  QPointer<QWidget> destroyed = new QWidget;
  QTimer::singleShot(0, destroyed, [&] { delete destroyed.data(); });
  dialogs.showModal(destroyed);
  EXPECT_TRUE(destroyed.isNull());
}

TEST(QtDialogs, FileFilterInQtsForm) {
  EXPECT_EQ(widgets::qtFileFilter("Excel Flie *.xls|*.xls|All flie *.*|*.*"),
            "Excel Flie *.xls (*.xls);;All flie *.* (*.*)");
  EXPECT_EQ(widgets::qtFileFilter("Books|*.xls;*.xlsx"), "Books (*.xls *.xlsx)");
  EXPECT_EQ(widgets::qtFileFilter(""), "");
}

TEST(QtDialogs, FileDialogTakesTheChosenPath) {
  widgets::QtDialogs dialogs;
  QString filters;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    filters = dialog->nameFilters().join(";;");
    EXPECT_EQ(dialog->directory().absolutePath(), QDir::tempPath());
    dialog->selectFile(QDir::temp().filePath("new-workbook.xls"));  // need not exist yet
    QMetaObject::invokeMethod(dialog, "accept");
  });
  EXPECT_EQ(dialogs.chooseFile(nullptr, QDir::tempPath(), "Excel Flie *.xls|*.xls|All flie *.*|*.*"),
            QDir::temp().filePath("new-workbook.xls"));
  EXPECT_EQ(filters, "Excel Flie *.xls (*.xls);;All flie *.* (*.*)");

  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  EXPECT_EQ(dialogs.chooseFile(nullptr, QDir::tempPath(), ""), "");
}

namespace {
struct Counted : QWidget {
  static inline int made = 0;
  Counted() { ++made; }
};
struct Refusing : QWidget {  // a window whose close handler refuses
  void closeEvent(QCloseEvent* e) override { e->ignore(); }
};
}  // namespace

TEST(SharedWindow, OneInstanceUntilClosedThenAFreshOne) {
  widgets::shared_window::closeAll();
  Counted::made = 0;
  Counted& a = widgets::shared_window::show<Counted>();
  Counted& b = widgets::shared_window::show<Counted>();
  EXPECT_EQ(&a, &b);
  EXPECT_EQ(Counted::made, 1);
  EXPECT_TRUE(a.isVisible());
  EXPECT_TRUE(widgets::shared_window::exists<Counted>());

  a.close();  // the user closes it: its instance ends at once, before the loop deletes it
  EXPECT_FALSE(widgets::shared_window::exists<Counted>());
  Counted& c = widgets::shared_window::instance<Counted>();
  EXPECT_EQ(Counted::made, 2);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // a goes, c stays
  EXPECT_EQ(&widgets::shared_window::instance<Counted>(), &c);
  EXPECT_EQ(Counted::made, 2);

  widgets::shared_window::show<Refusing>();
  widgets::shared_window::closeAll();  // also ends windows that refuse to close
  EXPECT_FALSE(widgets::shared_window::exists<Counted>());
  EXPECT_FALSE(widgets::shared_window::exists<Refusing>());
  widgets::shared_window::instance<Counted>();
  EXPECT_EQ(Counted::made, 3);
  widgets::shared_window::closeAll();
}
