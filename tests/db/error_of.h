#pragma once
// The database's text of the error a piece of work throws, or "(no error)".
#include <QString>
#include <functional>

#include "db/database.h"

inline QString errorOf(const std::function<void()>& work) {
  try {
    work();
  } catch (const db::DbError& e) {
    return e.text();
  }
  return QStringLiteral("(no error)");
}
