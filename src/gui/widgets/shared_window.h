#pragma once
// One shared instance per working-window class: created on first use, brought to the front
// when already open. Closing a window (WA_DeleteOnClose) ends its instance; the next use
// creates a new one.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <stdexcept>
#include <type_traits>
#include <utility>

namespace widgets::shared_window {

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

// The shared instance, created when missing (not shown) from args (a window that works on a
// session is made with it). Without args, or with args it cannot be made from, the instance must
// exist: a missing one throws std::logic_error.
template <class W, class... Args>
W& instance(Args&&... args) {
  QPointer<W>& p = slot<W>();
  // A closed window waits for the event loop to delete it (Qt clears its WA_DeleteOnClose then):
  // it is no longer the instance, also when the loop has not run since.
  if (!p || !p->testAttribute(Qt::WA_DeleteOnClose)) {
    if constexpr (std::is_constructible_v<W, Args&&...>) {
      p = new W(std::forward<Args>(args)...);
    } else {
      throw std::logic_error(
          "widgets::shared_window::instance: the window is not open and cannot be made without its session");
    }
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

// The shared instance, created when missing (from args, as instance() makes it), shown
// non-modally without owner and raised.
template <class W, class... Args>
W& show(Args&&... args) {
  W& w = instance<W>(std::forward<Args>(args)...);
  w.show();
  w.raise();
  w.activateWindow();
  return w;
}

}  // namespace widgets::shared_window
