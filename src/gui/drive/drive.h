#pragma once
// How a window runs an operation: the one place that shows what went wrong and what a stop by the
// user means. A database error is shown as the database's text, any other failure as the
// program's ("程序出错：" and what the program says); a stop ("取消" of the progress dialog) of work that changes the database is told as
// kCancelled, of work that only reads it not at all. The progress dialog, when there is one, is
// closed before anything is shown.
#include <QString>
#include <functional>
#include <utility>

#include "core/common/progress.h"

class QWidget;

namespace drive {

// What a change stopped by the user leaves: nothing.
inline const QString kCancelled = QStringLiteral("已取消，数据库没有任何修改");

enum class Outcome { Done, Stopped, Failed };

// What the work tells about itself.
struct Work {
  // changes: it changes the database (a stop is then told). With a label (see widgets::ProgressDialog:
  // "正在修改第 %1 / %2 名员工", and the text while the total is not known), the work runs under a
  // progress dialog and gets its callback; without one it gets an empty Progress.
  Work(bool changesDatabase, QString label = {}, QString busy = {})
      : changes(changesDatabase), progressLabel(std::move(label)), busyLabel(std::move(busy)) {}
  bool changes;
  QString progressLabel;
  QString busyLabel;
};

// Runs work as described; Done when it ran to its end.
Outcome run(QWidget* parent, const Work& how, const std::function<void(const common::Progress&)>& work);
// The same for work that brings its own progress dialog or has none.
Outcome run(QWidget* parent, bool changes, const std::function<void()>& work);

// Runs work that reads or changes the database without a progress dialog; false when it failed
// (the failure has been shown). A stop is not expected: it goes on to the caller.
bool guarded(QWidget* parent, const std::function<void()>& work);

// A question before a change: true for 是; 否 is told that nothing was changed (kCancelled), so
// the user never wonders whether it was. defaultNo: 否 is the default button.
bool confirm(QWidget* parent, const QString& question, bool defaultNo);

}  // namespace drive
