#pragma once
// One shared instance per working-window class: created on first use, brought to the front
// when already open. Closing a window (WA_DeleteOnClose) ends its instance; the next use
// creates a new one.
#include <QPointer>
#include <QWidget>
#include <functional>

namespace shared_window {

// Registers a closer so that closeAll() can end every shared window (used by tests).
void track(QWidget* w);
// Closes and deletes every shared window.
void closeAll();

template <class W>
QPointer<W>& slot() {
  static QPointer<W> instance;
  return instance;
}

// The shared instance, created when missing (not shown).
template <class W>
W& instance() {
  QPointer<W>& p = slot<W>();
  if (!p) {
    p = new W();
    p->setAttribute(Qt::WA_DeleteOnClose);
    track(p);
  }
  return *p;
}

template <class W>
bool exists() {
  return !slot<W>().isNull();
}

// The shared instance, created when missing, shown non-modally without owner and raised.
template <class W>
W& show() {
  W& w = instance<W>();
  w.show();
  w.raise();
  w.activateWindow();
  return w;
}

}  // namespace shared_window
