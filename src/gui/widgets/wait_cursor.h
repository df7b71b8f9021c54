#pragma once
// The wait cursor for the lifetime of the object (or until restore()).
#include <QGuiApplication>

class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { restore(); }
  void restore() {
    if (on_) QGuiApplication::restoreOverrideCursor();
    on_ = false;
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool on_ = true;
};
