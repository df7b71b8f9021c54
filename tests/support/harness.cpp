#include "tests/support/harness.h"

#include <QVariant>
#include <stdexcept>
#include <utility>

#include "host/host_schema.h"
#include "tests/support/pinned_columns.h"
#include "db/database.h"
#include "tools/demo/demo_data.h"
#include "core/session/session.h"
#include "tests/support/dialect_guard.h"
#include "tests/support/scripted_dialogs.h"

// The statement log is cleared after the schema is made and after seedDemo(), so statements()
// holds only what the test itself caused; clearStatements() clears it in between.

namespace {

Harness* alive = nullptr;

db::Database& shared() { return Harness::current().database(); }

[[noreturn]] void fail(const QString& text) { throw std::runtime_error(text.toStdString()); }

// Runs a read; a database failure becomes std::runtime_error with the database's text.
template <class F>
void read(const QString& tsql, F&& perRow) {
  const dialect_guard::Suspend own;  // the harness's own reads are no statements of the tool
  try {
    db::Recordset rs = shared().open(tsql);
    const QStringList columns = rs.columns();
    if (columns.isEmpty()) return;
    for (; !rs.eof(); rs.moveNext()) perRow(rs.text(columns.first()));
  } catch (const db::DbError& e) {
    fail(e.text());
  }
}

}  // namespace

Harness::Harness() : dir_(std::make_unique<QTemporaryDir>()), database_(std::make_unique<db::Database>()) {
  if (!dir_->isValid()) fail(QStringLiteral("cannot make a temporary folder: ") + dir_->errorString());
  previous_ = std::exchange(alive, this);
  QString error;
  if (!shared().createSqlite(databasePath(), &error)) fail(error);
  session_ = std::make_unique<session::Session>(
      *database_, session::Origin{QStringLiteral("sqlite:") + databasePath(), {}, QStringLiteral("sa")},
      dir_->filePath(QStringLiteral("renumber.ini")), dir_->filePath(QStringLiteral("journal")));
  try {
    pinned::createTestSchema(shared());
  } catch (const db::DbError& e) {
    fail(e.text());
  }
  auto dialogs = std::make_unique<widgets::ScriptedDialogs>();
  dialogs_ = dialogs.get();
  widgets::Dialogs::install(std::move(dialogs));
  shared().setStatementObserver([log = statements_](const QString& sql) {
    log->append(sql);
    dialect_guard::collect(sql);
  });
}

Harness::~Harness() {
  widgets::shared_window::closeAll();  // still with the scripted dialogs: close handlers may ask
  shared().setStatementObserver({});
  session_.reset();
  shared().close();
  widgets::Dialogs::install(nullptr);  // the production dialogs again
  alive = previous_;
}

db::Database& Harness::database() { return *database_; }

session::Session& Harness::session() { return *session_; }

Harness& Harness::current() {
  if (!alive) throw std::runtime_error("no harness is alive");
  return *alive;
}

void Harness::seedDemo() {
  const dialect_guard::Suspend own;  // the demo data set is made on the embedded engine only
  try {
    demo::generate(shared());
  } catch (const db::DbError& e) {
    fail(e.text());
  }
  statements_->clear();
}

void Harness::exec(const QString& tsql) {
  const dialect_guard::Suspend own;  // the harness's own seeding is no statement of the tool
  try {
    shared().execute(tsql);
  } catch (const db::DbError& e) {
    fail(e.text());
  }
}

QString Harness::value(const QString& tsql) {
  QString result;
  bool first = true;
  read(tsql, [&](const QString& v) {
    if (first) result = v;
    first = false;
  });
  return result;
}

QStringList Harness::column(const QString& tsql) {
  QStringList result;
  read(tsql, [&](const QString& v) { result.append(v); });
  return result;
}

QStringList Harness::statements() const { return *statements_; }

void Harness::clearStatements() { statements_->clear(); }

QStringList Harness::messages() const {
  QStringList result;
  for (const widgets::ScriptedDialogs::Shown& s : dialogs_->shown) result.append(s.text);
  return result;
}

QStringList Harness::titles() const {
  QStringList result;
  for (const widgets::ScriptedDialogs::Shown& s : dialogs_->shown) result.append(s.title);
  return result;
}

void Harness::answer(bool yes) { dialogs_->answers.append(yes); }

void Harness::chooseFile(const QString& path) { dialogs_->files.append(path); }

void Harness::onModal(std::function<void(QWidget*)> action) { dialogs_->modalActions.append(std::move(action)); }

QString Harness::databasePath() const { return dir_->filePath(QStringLiteral("host.db")); }

QString Harness::dir() const { return dir_->path(); }

widgets::ScriptedDialogs& Harness::dialogs() { return *dialogs_; }
