#include "gui/widgets/progress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include "gui/widgets/app_info.h"

namespace widgets {

namespace {
ProgressDialog::Script& script() {
  static ProgressDialog::Script s;
  return s;
}
}  // namespace

void ProgressDialog::setScript(Script s) { script() = std::move(s); }

ProgressDialog::ProgressDialog(QWidget* parent, const QString& labelFormat, const QString& busyLabel)
    : dialog_(std::make_unique<QProgressDialog>(parent)), format_(labelFormat), busy_(busyLabel) {
  dialog_->setWindowTitle(widgets::app_info::title());
  dialog_->setWindowModality(Qt::ApplicationModal);
  dialog_->setCancelButtonText(QStringLiteral("取消"));
  dialog_->setAutoClose(false);
  dialog_->setAutoReset(false);
  dialog_->setMinimumDuration(300);  // short work shows no dialog at all
  dialog_->setRange(0, 0);
  QObject::connect(dialog_.get(), &QProgressDialog::canceled, dialog_.get(), [this] { canceled_ = true; });
}

ProgressDialog::~ProgressDialog() { dialog_->close(); }

bool ProgressDialog::step(int done, int total) {
  if (done < 0) {  // one statement still runs: only paint and answer
    QCoreApplication::processEvents();
    return !canceled_;
  }
  if (total > 0) {
    dialog_->setLabelText(format_.arg(std::min(done + 1, total)).arg(total));
    dialog_->setRange(0, total);
    dialog_->setValue(std::min(done, total));
  } else {
    const bool counts = busy_.contains(QStringLiteral("%1"));  // a busy label may count what it has read
    dialog_->setLabelText(busy_.isEmpty() ? format_.arg(done).arg(QStringLiteral("…"))
                          : counts        ? busy_.arg(done)
                                          : busy_);
    dialog_->setRange(0, 0);
    dialog_->setValue(0);
  }
  QCoreApplication::processEvents();
  if (script() && !script()(dialog_->labelText(), done, total)) canceled_ = true;
  return !canceled_;
}

}  // namespace widgets
