#pragma once
// Test harness: a fresh embedded database with the whole host schema, a session on it (login "sa";
// the added columns kept in a settings file of the test's folder, the journal in a folder of its
// own, not opened), scripted dialogs, and the shared window instances.
// The statement log is emptied once the schema is made and again after seedDemo(), so
// statements() holds only what the test itself caused; clearStatements() empties it between
// steps. Reads through value() and column() are statements too and appear in the log.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <type_traits>

#include "core/session/session.h"
#include "tests/support/qt_print.h"
#include "tests/support/scripted_dialogs.h"
#include "gui/widgets/shared_window.h"

struct Harness {
  Harness();  // fresh embedded database file with the whole host schema, empty tables, and the session on it; scripted dialogs installed
  ~Harness();  // closes every shared window and the connection
  void seedDemo();  // fill it with the demo data set
  void exec(const QString& tsql);  // run T-SQL (may hold several statements) on the connection
  QString value(const QString& tsql);  // first field of the first row as text; "" for Null or no row
  QStringList column(const QString& tsql);  // first field of every row as text ("" for Null)
  QStringList statements() const;  // every statement text sent since construction or clearStatements()
  void clearStatements();
  QStringList messages() const;  // text of every message box and question shown, in order
  QStringList titles() const;  // their titles, same order
  void answer(bool yes);  // queue the answer of the next question; an unqueued question gets Yes
  void chooseFile(const QString& path);  // queue the path the next file dialog returns ("" = cancelled)
  void onModal(
      std::function<void(QWidget*)> action);  // queue what happens in the next modal show (default: closed at once)
  template <class W>
  W& open() {  // the shared instance of window class W on this connection (made with the session), shown
    if constexpr (std::is_constructible_v<W, session::Session&>)
      return widgets::shared_window::show<W>(session());
    else
      return widgets::shared_window::show<W>();
  }
  db::Database& database();  // the connection
  session::Session& session();  // the session on it
  // The harness alive (the test data and snapshots write through its connection); throws when none.
  static Harness& current();

  QString databasePath() const;  // the embedded database file
  QString dir() const;  // a temporary folder for the test's files
  widgets::ScriptedDialogs& dialogs();

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<db::Database> database_;
  std::unique_ptr<session::Session> session_;
  std::shared_ptr<QStringList> statements_ = std::make_shared<QStringList>();
  widgets::ScriptedDialogs* dialogs_ = nullptr;
  Harness* previous_ = nullptr;  // the harness alive before this one
};
