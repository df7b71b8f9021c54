#include "tests/support/scripted_driver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace scripted {

using db::odbc::Diagnostic;
using db::odbc::Outcome;

Result rows(const QStringList& columns, const QList<QVariantList>& rows) {
  Result r;
  r.kind = Result::Kind::Rows;
  r.columns = columns;
  r.rows = rows;
  return r;
}

Result count(int n) {
  Result r;
  r.count = n;
  return r;
}

Result error(const QString& text, int nativeError) {
  Result r;
  r.kind = Result::Kind::Error;
  r.error = text;
  r.nativeError = nativeError;
  return r;
}

Result errorAsInfo(const QString& text, int nativeError) {
  Result r = error(text, nativeError);
  r.asInfo = true;
  return r;
}

Result rowsFailingAt(const QStringList& columns, const QList<QVariantList>& rowList, int failAtRow,
                     const QString& text) {
  Result r = rows(columns, rowList);
  r.failAtRow = failAtRow;
  r.error = text;
  return r;
}

namespace {

Outcome failed(const QString& state, int native, const QString& text) {
  return {Outcome::Return::Error, {Diagnostic{state, native, text}}};
}

class ScriptedStatement : public db::odbc::Statement {
 public:
  explicit ScriptedStatement(std::shared_ptr<State> state) : state_(std::move(state)) { ++state_->liveResults; }
  ~ScriptedStatement() override { --state_->liveResults; }

  // The text as a driver reads it: its length, or up to its first U+0000.
  Outcome execute(const char16_t* chars, qint32 length, const QVariantList& values) override {
    const QString text = QString::fromUtf16(chars, length == db::odbc::kNullTerminated ? -1 : length);
    state_->executed << text;
    state_->bound << values;
    reply_ = replyTo(text);
    current_ = 0;
    return enter(true);
  }

  Outcome moreResults() override {
    if (current_ + 1 >= reply_.size()) return {Outcome::Return::NoData, {}};
    ++current_;
    return enter(false);
  }

  Outcome columns(QStringList* names) override {
    const Result& r = reply_[current_];
    *names = r.kind == Result::Kind::Rows ? r.columns : QStringList();
    return {};
  }

  Outcome fetch() override {
    const Result& r = reply_[current_];
    ++row_;
    if (row_ == r.failAtRow) return failed(QStringLiteral("22018"), 245, r.error);
    if (row_ >= r.rows.size()) return {Outcome::Return::NoData, {}};
    return {};
  }

  Outcome row(QVariantList* values) override {
    *values = reply_[current_].rows.value(row_);
    return {};
  }

  void cancel() override {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    ++state_->cancels;
    wake_.notify_all();
  }

 private:
  // The engine's transaction statements are answered from the transaction count, its version
  // query from the version.
  QList<Result> replyTo(const QString& text) {
    if (text == db::odbc::kServerVersionQuery) return {rows({QString()}, {{state_->productVersion}})};
    if (text == u"BEGIN TRANSACTION") {
      ++state_->trancount;
      return {count(0)};
    }
    if (text == u"COMMIT TRANSACTION") {
      if (!state_->commitFailure.isEmpty()) return {error(state_->commitFailure)};
      if (state_->trancount == 0)
        return {error(QStringLiteral("COMMIT TRANSACTION 请求没有对应的 BEGIN TRANSACTION。"), 3902)};
      --state_->trancount;
      return {count(0)};
    }
    if (text == u"IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION") {
      state_->trancount = 0;
      return {count(0)};
    }
    if (text == u"SELECT @@TRANCOUNT") return {rows({QString()}, {{state_->trancount}})};
    return state_->replies.isEmpty() ? QList<Result>{count(1)} : state_->replies.takeFirst();
  }

  // Makes result current_ the current one and returns what the call that reached it returns.
  Outcome enter(bool first) {
    row_ = -1;
    state_->unread = int(reply_.size()) - current_ - 1;
    const Result& r = reply_[current_];
    if (r.waitMs > 0) {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(r.waitMs), [this] { return cancelled_; });
      if (cancelled_) return failed(QStringLiteral("HY008"), 0, QStringLiteral("[SQL Server]Operation canceled"));
    }
    if (r.endsTransaction) state_->trancount = 0;
    Outcome o;
    if (!r.info.isEmpty()) {
      o.rc = Outcome::Return::SuccessWithInfo;
      o.diagnostics << Diagnostic{QStringLiteral("01000"), 0, r.info};
    }
    if (r.kind == Result::Kind::Error) {
      o.rc = r.asInfo ? Outcome::Return::SuccessWithInfo : Outcome::Return::Error;
      o.diagnostics << Diagnostic{QStringLiteral("42000"), r.nativeError, r.error};
    } else if (first && r.kind == Result::Kind::Count && r.count == 0 && o.diagnostics.isEmpty()) {
      o.rc = Outcome::Return::NoData;  // a searched statement that changed no row
    }
    return o;
  }

  std::shared_ptr<State> state_;
  QList<Result> reply_;
  int current_ = 0;
  int row_ = -1;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool cancelled_ = false;
};

class ScriptedConnection : public db::odbc::Connection {
 public:
  explicit ScriptedConnection(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::unique_ptr<db::odbc::Statement> statement(Outcome*) override {
    return std::make_unique<ScriptedStatement>(state_);
  }
  QString dbmsName() override { return QStringLiteral("Microsoft SQL Server"); }

 private:
  std::shared_ptr<State> state_;
};

}  // namespace

std::unique_ptr<db::odbc::Connection> connection(std::shared_ptr<State> state) {
  return std::make_unique<ScriptedConnection>(std::move(state));
}

}  // namespace scripted
