#pragma once
// How a window runs an operation: the one place that shows what went wrong and what a stop by the
// user means. A database error is shown as common::shownText words it (the user's sentence, then
// the database's text), any other failure as the
// program's ("程序出错：" and what the program says); a stop ("取消" of the progress dialog) of work that changes the database is told as
// kCancelled, of work that only reads it not at all. The progress dialog, when there is one, is
// closed before anything is shown.
#include <QString>
#include <functional>
#include <optional>
#include <utility>

#include "core/change/plan.h"
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

// A refusal shown (nothing when its text is empty: the window shows it); true when there was one.
bool refused(QWidget* parent, const std::optional<change::Refusal>& refusal);
// The plan's questions asked in order; false at the first 否 (told that nothing was changed).
bool asked(QWidget* parent, const std::vector<change::Question>& questions);

// A change the user asked for, from the click to its result: the plan (reads only) under planning,
// its refusal shown or its questions asked, then the run of the answered plan under running (a
// stop told that nothing was changed), its refusal shown. Returns the result when the run ran
// (done(), or refused inside the transaction); the plan, once made, is left in *planned for the
// window (a refusal it shows itself, the numbers it shows).
template <class Plan, class Result>
std::optional<Result> change(QWidget* parent, const Work& planning,
                             const std::function<Plan(const common::Progress&)>& plan, const Work& running,
                             const std::function<Result(const Plan&, const common::Progress&)>& run,
                             std::optional<Plan>* planned = nullptr) {
  std::optional<Plan> made;
  if (drive::run(parent, planning, [&](const common::Progress& progress) { made = plan(progress); }) != Outcome::Done)
    return std::nullopt;
  const Plan& p = *made;
  if (planned) *planned = made;
  if (refused(parent, p.refusal) || !p.ready() || !asked(parent, p.questions)) return std::nullopt;
  std::optional<Result> result;
  if (drive::run(parent, running, [&](const common::Progress& progress) { result = run(p, progress); }) !=
      Outcome::Done)
    return std::nullopt;
  refused(parent, result->refusal);
  return result;
}

// Runs work that reads or changes the database without a progress dialog; false when it failed
// (the failure has been shown). A stop is not expected: it goes on to the caller.
bool guarded(QWidget* parent, const std::function<void()>& work);

// A question before a change: true for 是; 否 is told that nothing was changed (kCancelled), so
// the user never wonders whether it was. defaultNo: 否 is the default button.
bool confirm(QWidget* parent, const QString& question, bool defaultNo);

}  // namespace drive
