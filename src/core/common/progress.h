#pragma once
// Long work of the operations: how far it has come, a stop asked by the user, and a window that
// keeps answering while one statement runs.
#include <exception>
#include <functional>
#include <utility>

#include "db/database.h"

namespace common {

// How far a long operation has come: done of total (total 0 when it is not known yet). The
// operations call it between their slices of work; returning false stops the operation, which
// then rolls back whatever it changed and throws Cancelled. An empty one never stops anything.
// While one statement of the work runs it is also called with done == kStillWorking (and the last
// total), every few milliseconds: nothing has moved, the window is to be painted and the stop
// button read; false interrupts the statement.
using Progress = std::function<bool(int done, int total)>;
inline constexpr int kStillWorking = -1;

// Thrown by an operation stopped through its Progress; the database is as it was before it.
// No std::runtime_error: a stop is not a database error.
struct Cancelled : std::exception {
  const char* what() const noexcept override { return "cancelled"; }
};

// Calls the progress between slices of work (a stop throws Cancelled: the caller's transaction,
// if any, rolls back as the exception leaves it) and, while it lives, during the statements sent
// on the database (as its busy hook).
class Stepper {
 public:
  explicit Stepper(const Progress& progress) : progress_(progress) {}
  Stepper(const Progress& progress, db::Database& database) : progress_(progress) {
    if (!progress_) return;
    database_ = &database;
    database.setBusyHook([this] {
      if (progress_(kStillWorking, total_) || finishing_) return true;
      stopped_ = true;
      return false;
    });
  }
  ~Stepper() {
    if (database_) database_->setBusyHook({});
  }
  Stepper(const Stepper&) = delete;
  Stepper& operator=(const Stepper&) = delete;

  void operator()(int done, int total) const {
    total_ = total;
    if (progress_ && !progress_(done, total)) {
      stopped_ = true;
      throw Cancelled();
    }
  }
  // From here on the work is committed: a stop is no longer heard (the window still answers).
  void finish() const { finishing_ = true; }
  // Whether a stop was asked (a statement interrupted by it fails with db::DbError).
  bool stopped() const { return stopped_; }

  // Runs work whose statements go through this stepper's database: a failure that a stop caused
  // is thrown as Cancelled.
  template <class F>
  auto run(F&& work) const -> decltype(work()) {
    try {
      return std::forward<F>(work)();
    } catch (const db::DbError&) {
      if (stopped_) throw Cancelled();
      throw;
    }
  }

 private:
  const Progress& progress_;
  db::Database* database_ = nullptr;
  mutable int total_ = 0;
  mutable bool stopped_ = false;
  mutable bool finishing_ = false;
};

}  // namespace common
