#pragma once
// Test harness: a fresh embedded database with the whole host schema as the shared
// connection, scripted dialogs, and the shared window instances.
// The statement log is emptied once the schema is made and again after seedDemo(), so
// statements() holds only what the test itself caused; clearStatements() empties it between
// steps. Reads through value() and column() are statements too and appear in the log.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "tests/support/qt_print.h"
#include "tests/support/scripted_dialogs.h"
#include "widgets/shared_window.h"

struct Harness {
  Harness();  // fresh embedded database file with the whole host schema, empty tables; made the shared connection; scripted dialogs installed
  ~Harness();  // closes every shared window and the connection
  void seedDemo();  // fill it with the demo data set
  void exec(const QString& tsql);  // run T-SQL (may hold several statements) on the shared connection
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
  W& open() {  // the shared instance of window class W on this connection, shown
    return shared_window::show<W>();
  }

  QString databasePath() const;  // the embedded database file
  QString dir() const;  // a temporary folder for the test's files
  ui::ScriptedDialogs& dialogs();

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::shared_ptr<QStringList> statements_ = std::make_shared<QStringList>();
  ui::ScriptedDialogs* dialogs_ = nullptr;
};
