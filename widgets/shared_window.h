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

// What is done with every new instance of W right after it is made: the start-up wires features
// that meet in one window here (a window never includes another feature's window).
template <class W>
std::function<void(W&)>& created() {
  static std::function<void(W&)> wire;
  return wire;
}

// The shared instance, created when missing (not shown).
template <class W>
W& instance() {
  QPointer<W>& p = slot<W>();
  // A closed window waits for the event loop to delete it (Qt clears its WA_DeleteOnClose then):
  // it is no longer the instance, also when the loop has not run since.
  if (!p || !p->testAttribute(Qt::WA_DeleteOnClose)) {
    p = new W();
    p->setAttribute(Qt::WA_DeleteOnClose);
    track(p);
    if (created<W>()) created<W>()(*p);
  }
  return *p;
}

template <class W>
bool exists() {
  return !slot<W>().isNull() && slot<W>()->testAttribute(Qt::WA_DeleteOnClose);
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
