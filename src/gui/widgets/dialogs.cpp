#include "gui/widgets/dialogs.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <stdexcept>

#include "text/listing.h"
#include "gui/widgets/app_info.h"

namespace widgets {

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

// Lines of the box a line of text takes.
int cost(const QString& line, int lineChars) { return std::max(1, int((line.size() + lineChars - 1) / lineChars)); }

// line cut to lines lines of the box, ending in "……" when cut.
QString cut(const QString& line, int lines, int lineChars) {
  const qsizetype room = qsizetype(std::max(1, lines)) * lineChars - 2;
  return line.size() <= room + 2 ? line : line.left(std::max<qsizetype>(1, room)) + QStringLiteral("……");
}

// A message box that fits its title and the screen: a text longer than the box can show is
// bounded, and the whole of it is in the box's details.
void fit(QMessageBox& box, QWidget* parent, const QString& text) {
  const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
  const QFontMetrics fm(box.font());
  // The box wraps its text at about half the screen, 500 pixels at most; a line holds as many
  // characters of the widest script the tool writes (Chinese).
  const int width = std::min(500, available.width() / 2);
  const int lineChars = std::max(10, width / std::max(1, fm.horizontalAdvance(QChar(0x5DE5))));
  // The text, the buttons and the details opened keep within the screen.
  const int maxLines = std::clamp((available.height() / 2) / std::max(1, fm.lineSpacing()), 3, kBoxLines);
  const QString shown = boundedText(text, maxLines, lineChars);
  box.setText(shown);
  if (shown != text) box.setDetailedText(text);
  // The window manager draws the title in a bold font beside its buttons; a box narrower than that
  // would elide it. (Only a short text is widened: a minimum width would keep a long one from
  // wrapping, and a long one makes the box wide enough.)
  if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const int titleWidth = std::min(
        QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) * 5 / 4 + 8 * fm.height(), available.width() / 2);
    int textWidth = 0;
    for (const QString& line : shown.split(QLatin1Char('\n')))
      textWidth = std::max(textWidth, fm.horizontalAdvance(line));
    if (textWidth < titleWidth) label->setMinimumWidth(titleWidth);
  }
}

}  // namespace

QString boundedText(const QString& text, int maxLines, int lineChars) {
  maxLines = std::max(maxLines, 3);
  lineChars = std::max(lineChars, 4);
  const QStringList lines = text.split(QLatin1Char('\n'));
  int total = 0;
  for (const QString& l : lines) total += cost(l, lineChars);
  if (total <= maxLines) return text;
  if (lines.size() == 1) return cut(text, maxLines, lineChars);
  // The last line (the question) keeps up to a quarter of the box, the count of the lines left
  // out one line, the first lines the rest.
  const int tailLines = std::min(cost(lines.last(), lineChars), std::max(1, maxLines / 4));
  int room = maxLines - tailLines - 1;
  // The lines above the last, a list that may end in its rest line already (a question bounded by
  // its operation): that line is counted into the new one, not shown as a line of the list.
  QStringList body = lines.mid(0, lines.size() - 1);
  const qsizetype listed = body.size() - (text::restCount(body.last()) > 0 ? 1 : 0);
  qsizetype next = 0;
  for (; next < listed && room > 0; ++next) {
    const int c = cost(body[next], lineChars);
    if (c > room) {
      if (next == 0) {  // a first line too long for the box: as much of it as fits
        body[0] = cut(body[0], room, lineChars);
        ++next;
      }
      break;
    }
    room -= c;
  }
  QStringList shown = text::boundedList(body, next);
  shown << cut(lines.last(), tailLines, lineChars);
  return shown.join(QLatin1Char('\n'));
}

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
  Dialogs::current().message(parent, text, widgets::app_info::title(), Icon::None);
}

void msg(QWidget* parent, const QString& text, const QString& title, Icon icon) {
  Dialogs::current().message(parent, text, title, icon);
}

bool ask(QWidget* parent, const QString& text) {
  return Dialogs::current().question(parent, text, widgets::app_info::title());
}

bool askDefaultNo(QWidget* parent, const QString& text) {
  return Dialogs::current().cautiousQuestion(parent, text, widgets::app_info::title());
}

int choose(QWidget* parent, const QString& text, const QStringList& buttons) {
  return Dialogs::current().choice(parent, text, widgets::app_info::title(), buttons);
}

void dbError(QWidget* parent, const QString& databaseText) {
  Dialogs::current().message(parent, databaseText, widgets::app_info::title(), Icon::Critical);
}

void QtDialogs::message(QWidget* parent, const QString& text, const QString& title, Icon icon) {
  QMessageBox box(boxIcon(icon), title, QString(), QMessageBox::Ok, parent);
  fit(box, parent, text);
  box.exec();
}

// A Yes/No box without an icon, Yes the default button, as the host system's questions are.
bool QtDialogs::question(QWidget* parent, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::NoIcon, title, QString(), QMessageBox::Yes | QMessageBox::No, parent);
  fit(box, parent, text);
  box.setDefaultButton(QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

bool QtDialogs::cautiousQuestion(QWidget* parent, const QString& text, const QString& title) {
  QMessageBox box(QMessageBox::NoIcon, title, QString(), QMessageBox::Yes | QMessageBox::No, parent);
  fit(box, parent, text);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

int QtDialogs::choice(QWidget* parent, const QString& text, const QString& title, const QStringList& buttons) {
  QMessageBox box(QMessageBox::NoIcon, title, QString(), QMessageBox::NoButton, parent);
  fit(box, parent, text);
  QList<QPushButton*> pressed;
  for (const QString& caption : buttons) pressed.append(box.addButton(caption, QMessageBox::ActionRole));
  if (pressed.isEmpty()) return -1;
  box.setDefaultButton(pressed.first());
  box.setEscapeButton(pressed.last());
  box.exec();
  for (int i = 0; i < pressed.size(); ++i)
    if (box.clickedButton() == pressed[i]) return i;
  return int(pressed.size()) - 1;
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

QString QtDialogs::chooseSaveFile(QWidget* parent, const QString& initialPath, const QString& filter) {
  QFileDialog dialog(parent, QString(), initialPath, qtFileFilter(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setLabelText(QFileDialog::Accept, QStringLiteral("保存"));
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

}  // namespace widgets
