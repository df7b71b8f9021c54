// How a window runs an operation: what each way of ending shows, and what the run returns.
#include <gtest/gtest.h>

#include <QWidget>
#include <functional>
#include <stdexcept>

#include "db/database.h"
#include "gui/drive/drive.h"
#include "tests/support/harness.h"

namespace {

TEST(Drive, ShowsTheDatabasesTextAProgramFailureAsSuchAndAStopOnlyForAChange) {
  Harness h;
  QWidget parent;
  struct Case {
    const char* what;
    bool changes;
    std::function<void()> thrown;
    drive::Outcome outcome;
    QStringList shown;
  };
  const Case cases[] = {
      {"done", true, [] {}, drive::Outcome::Done, {}},
      {"database",
       true,
       [] { throw db::DbError("database is locked", db::Cause::LockTimeOut); },
       drive::Outcome::Failed,
       {"数据库正被其他程序使用，没有做任何修改，请稍后再试\ndatabase is locked"}},
      {"program",
       false,
       [] { throw std::out_of_range("vector::_M_range_check"); },
       drive::Outcome::Failed,
       {"程序出错：vector::_M_range_check"}},
      {"stopped change",
       true,
       [] { throw common::Cancelled(); },
       drive::Outcome::Stopped,
       {"已取消，数据库没有任何修改"}},
      {"stopped read", false, [] { throw common::Cancelled(); }, drive::Outcome::Stopped, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const qsizetype before = h.messages().size();
    bool progressGiven = false;
    EXPECT_EQ(drive::run(&parent, {c.changes, QStringLiteral("正在修改第 %1 / %2 名员工")},
                         [&](const common::Progress& p) {
                           progressGiven = bool(p);
                           c.thrown();
                         }),
              c.outcome);
    EXPECT_TRUE(progressGiven);
    EXPECT_EQ(h.messages().mid(before), c.shown);
    // Without a progress dialog: the same, and guarded() says whether the work ran to its end.
    if (c.outcome != drive::Outcome::Stopped) {
      EXPECT_EQ(drive::guarded(&parent, c.thrown), c.outcome == drive::Outcome::Done);
      EXPECT_EQ(h.messages().mid(before + c.shown.size()), c.shown);
    }
  }
}

TEST(Drive, AQuestionAnsweredNoSaysThatNothingWasChanged) {
  Harness h;
  QWidget parent;
  h.answer(false);
  EXPECT_FALSE(drive::confirm(&parent, QStringLiteral("是否继续？"), true));
  EXPECT_TRUE(drive::confirm(&parent, QStringLiteral("是否继续？"), false));
  EXPECT_EQ(h.messages(), (QStringList{"是否继续？", "已取消，数据库没有任何修改", "是否继续？"}));
}

}  // namespace
