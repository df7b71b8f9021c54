#include "gui/drive/drive.h"

#include <optional>

#include "core/common/failure.h"
#include "gui/widgets/app_info.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/progress.h"

namespace drive {

namespace {

QString programFailure(const std::exception& e) { return QStringLiteral("程序出错：") + QString::fromUtf8(e.what()); }

// Runs work; the text to show of the failure it threw, if any. A stop goes on to the caller.
template <class F>
std::optional<QString> failureOf(F&& work) {
  try {
    work();
    return std::nullopt;
  } catch (const common::Cancelled&) {
    throw;
  } catch (const std::exception& e) {
    return common::fromDatabase(e) ? common::shownText(e) : programFailure(e);
  }
}

}  // namespace

Outcome run(QWidget* parent, const Work& how, const std::function<void(const common::Progress&)>& work) {
  std::optional<QString> failed;
  try {
    failed = failureOf([&] {
      if (how.progressLabel.isEmpty()) return work({});
      widgets::ProgressDialog progress(parent, how.progressLabel, how.busyLabel);
      work(progress.callback());
    });
  } catch (const common::Cancelled&) {
    if (how.changes) widgets::msg(parent, kCancelled);
    return Outcome::Stopped;
  }
  if (!failed) return Outcome::Done;
  widgets::dbError(parent, *failed);
  return Outcome::Failed;
}

Outcome run(QWidget* parent, bool changes, const std::function<void()>& work) {
  return run(parent, Work(changes), [&](const common::Progress&) { work(); });
}

bool confirm(QWidget* parent, const QString& question, bool defaultNo) {
  if (defaultNo ? widgets::askDefaultNo(parent, question) : widgets::ask(parent, question)) return true;
  widgets::msg(parent, kCancelled);
  return false;
}

bool refused(QWidget* parent, const std::optional<change::Refusal>& refusal) {
  if (!refusal) return false;
  if (!refusal->text.isEmpty())
    widgets::msg(parent, refusal->text, widgets::app_info::title(),
                 refusal->warning ? widgets::Icon::Warning : widgets::Icon::None);
  return true;
}

bool asked(QWidget* parent, const std::vector<change::Question>& questions) {
  for (const change::Question& q : questions)
    if (!confirm(parent, q.text, q.defaultNo)) return false;
  return true;
}

bool guarded(QWidget* parent, const std::function<void()>& work) {
  const std::optional<QString> failed = failureOf(work);
  if (failed) widgets::dbError(parent, *failed);
  return !failed;
}

}  // namespace drive
