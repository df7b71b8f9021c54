#include "gui/widgets/shared_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QList>

namespace widgets::shared_window {

namespace {
QList<QPointer<QWidget>>& tracked() {
  static QList<QPointer<QWidget>> windows;
  return windows;
}
}  // namespace

void track(QWidget* w) {
  if (!w) return;
  tracked().removeIf([](const QPointer<QWidget>& p) { return p.isNull(); });
  tracked().append(QPointer<QWidget>(w));
}

// Each window is closed first (so its close handling runs as when the user closes it), then
// deleted when it is still there; the deferred deletions of closed windows are flushed, so
// every slot<W>() is empty afterwards and the next instance<W>() makes a fresh window.
void closeAll() {
  const QList<QPointer<QWidget>> windows = tracked();
  tracked().clear();
  for (const QPointer<QWidget>& w : windows) {
    if (w) w->close();
    if (w) delete w.data();
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
}

}  // namespace widgets::shared_window
