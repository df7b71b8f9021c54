#include "tests/db/scripted_driver.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>

namespace scripted {

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

Result error(const QString& text) {
  Result r;
  r.kind = Result::Kind::Error;
  r.error = text;
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

// Errors carry the database's text apart from the driver's summary, as Qt's ODBC driver gives them.
QSqlError databaseError(const QString& summary, const QString& text) {
  return QSqlError(summary, text, QSqlError::StatementError);
}

class ScriptedResult : public QSqlResult {
 public:
  ScriptedResult(const QSqlDriver* driver, std::shared_ptr<State> state)
      : QSqlResult(driver), state_(std::move(state)) {
    ++state_->liveResults;
  }
  ~ScriptedResult() override { --state_->liveResults; }

 protected:
  bool reset(const QString& sql) override {
    state_->executed << sql;
    reply_ = state_->replies.isEmpty() ? QList<Result>{count(1)} : state_->replies.takeFirst();
    current_ = 0;
    if (!enter()) {
      setLastError(databaseError(QStringLiteral("Unable to execute statement"), reply_[0].error));
      return false;
    }
    return true;
  }

  bool nextResult() override {
    setActive(false);
    setAt(QSql::BeforeFirstRow);
    setSelect(false);
    if (++current_ >= reply_.size()) return false;  // no more results
    if (!enter()) {
      setLastError(databaseError(QStringLiteral("Unable to fetch last"), reply_[current_].error));
      return false;
    }
    return true;
  }

  QVariant data(int i) override { return row().value(i); }
  bool isNull(int i) override { return row().value(i).isNull(); }

  bool fetch(int i) override {
    const Result& r = reply_[current_];
    if (i == r.failAtRow) {
      setLastError(databaseError(QStringLiteral("Unable to fetch next"), r.error));
      return false;
    }
    if (i < 0 || i >= r.rows.size()) return false;
    setAt(i);
    return true;
  }
  bool fetchFirst() override { return fetch(0); }
  bool fetchLast() override { return fetch(int(reply_[current_].rows.size()) - 1); }
  int size() override { return -1; }
  int numRowsAffected() override { return reply_.isEmpty() ? -1 : reply_[current_].count; }

  QSqlRecord record() const override {
    QSqlRecord record;
    if (!isSelect()) return record;
    for (const QString& name : reply_[current_].columns) record.append(QSqlField(name, QMetaType(QMetaType::QString)));
    return record;
  }

 private:
  // Makes result current_ the current one; false when it is an error.
  bool enter() {
    state_->unread = int(reply_.size()) - current_ - 1;
    const Result& r = reply_[current_];
    if (r.kind == Result::Kind::Error) return false;
    setSelect(r.kind == Result::Kind::Rows);
    setActive(true);
    return true;
  }
  QVariantList row() const {
    const Result& r = reply_[current_];
    return at() >= 0 && at() < r.rows.size() ? r.rows[at()] : QVariantList();
  }

  std::shared_ptr<State> state_;
  QList<Result> reply_;
  int current_ = 0;
};

class ScriptedDriver : public QSqlDriver {
 public:
  explicit ScriptedDriver(std::shared_ptr<State> state) : state_(std::move(state)) {}

  bool hasFeature(DriverFeature f) const override { return f == Transactions || f == Unicode; }
  bool open(const QString&, const QString&, const QString&, const QString&, int, const QString&) override {
    setOpen(true);
    setOpenError(false);
    return true;
  }
  void close() override { setOpen(false); }
  QSqlResult* createResult() const override { return new ScriptedResult(this, state_); }

  bool beginTransaction() override {
    state_->executed << QStringLiteral("BEGIN");
    return true;
  }
  bool commitTransaction() override {
    state_->executed << QStringLiteral("COMMIT");
    if (state_->commitFailure.isEmpty()) return true;
    setLastError(
        QSqlError(QStringLiteral("Unable to commit transaction"), state_->commitFailure, QSqlError::TransactionError));
    return false;
  }
  bool rollbackTransaction() override {
    state_->executed << QStringLiteral("ROLLBACK");
    return true;
  }

 private:
  std::shared_ptr<State> state_;
};

}  // namespace

void addConnection(const QString& connectionName, std::shared_ptr<State> state) {
  QSqlDatabase d = QSqlDatabase::addDatabase(new ScriptedDriver(std::move(state)), connectionName);
  d.open();
}

}  // namespace scripted
