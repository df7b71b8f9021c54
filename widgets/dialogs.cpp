#include "widgets/dialogs.h"

#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <stdexcept>

#include "widgets/app_info.h"

namespace ui {

namespace {

std::unique_ptr<Dialogs>& installed() {
  static std::unique_ptr<Dialogs> dialogs;
  return dialogs;
}

QMessageBox::Icon boxIcon(Icon icon) {
  switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::None: break;
  }
  return QMessageBox::NoIcon;
}

// Quits a loop when the watched window is hidden for good (closed; a minimised window stays
// visible and keeps the loop running).
class HideWatcher : public QObject {
 public:
  explicit HideWatcher(QEventLoop* loop) : loop_(loop) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) {
      auto* widget = qobject_cast<QWidget*>(watched);
      if (widget && !widget->isVisible()) loop_->quit();
    }
    return false;
  }

 private:
  QEventLoop* loop_;
};

}  // namespace

// VB-style filter "Desc|*.xls|All|*.*" (description and pattern alternating, several patterns
// separated by ";") as Qt's "Desc (*.xls);;All (*.*)".
QString qtFileFilter(const QString& vbFilter) {
  if (vbFilter.isEmpty()) return QString();
  const QStringList parts = vbFilter.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QString patterns = i + 1 < parts.size() ? parts[i + 1].trimmed() : description;
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
  }
  return filters.join(QStringLiteral(";;"));
}

Dialogs& Dialogs::current() {
  std::unique_ptr<Dialogs>& dialogs = installed();
  if (!dialogs) dialogs = std::make_unique<QtDialogs>();
  return *dialogs;
}

void Dialogs::install(std::unique_ptr<Dialogs> dialogs) { installed() = std::move(dialogs); }

void msg(QWidget* parent, const QString& text) {
  Dialogs::current().message(parent, text, app_info::title(), Icon::None);
}

void msg(QWidget* parent, const QString& text, const QString& title, Icon icon) {
  Dialogs::current().message(parent, text, title, icon);
}

bool ask(QWidget* parent, const QString& text) { return Dialogs::current().question(parent, text, app_info::title()); }

bool askDefaultNo(QWidget* parent, const QString& text) {
  return Dialogs::current().cautiousQuestion(parent, text, app_info::title());
}

void dbError(QWidget* parent, const QString& databaseText) {
  Dialogs::current().message(parent, databaseText, app_info::title(), Icon::Critical);
}

bool guarded(QWidget* parent, const std::function<void()>& work) {
  try {
    work();
    return true;
  } catch (const std::runtime_error& e) {
    dbError(parent, QString::fromUtf8(e.what()));
    return false;
  }
}

void QtDialogs::message(QWidget* parent, const QString& text, const QString& title, Icon icon) {
  QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent);
  box.exec();
}

// A Yes/No box without an icon, Yes the default button, as the host system's questions are.
bool QtDialogs::question(QWidget* parent, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool QtDialogs::cautiousQuestion(QWidget* parent, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

// An open dialog that also takes the name of a file that does not exist yet (the export
// creates the workbook when it is missing).
QString QtDialogs::chooseFile(QWidget* parent, const QString& initialDir, const QString& filter) {
  QFileDialog dialog(parent, QString(), initialDir, qtFileFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  if (dialog.exec() != QDialog::Accepted) return QString();
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

void QtDialogs::showModal(QWidget* window) {
  if (!window) return;
  QPointer<QWidget> guard(window);
  QEventLoop loop;
  HideWatcher watcher(&loop);
  window->installEventFilter(&watcher);
  QObject::connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
  window->setWindowModality(Qt::ApplicationModal);
  window->show();
  if (guard && guard->isVisible()) loop.exec(QEventLoop::DialogExec);
  if (guard) {
    guard->removeEventFilter(&watcher);
    guard->setWindowModality(Qt::NonModal);
  }
}

}  // namespace ui
