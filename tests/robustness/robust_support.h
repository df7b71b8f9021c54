#pragma once
// Tools of the fault-injection and hostile-input tests: whole-database snapshots, statement
// failures injected by triggers, hostile texts and how they are entered; the rows come from the
// shared test data (tests/support/test_data.h).
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <span>

#include "host/host_tables.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/harness.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/qt_print.h"
#include "tests/support/test_data.h"

class QLineEdit;
class QWidget;

namespace robust {

using testdata::u;

// What went wrong in one case of a series; empty when the case held.
struct Problems {
  QStringList list;
  void expect(bool ok, const QString& what) {
    if (!ok) list << what;
  }
  void same(const QString& expected, const QString& actual, const QString& what) {
    expect(expected == actual,
           what + u(": expected \"") + shown(expected) + u("\" but got \"") + shown(actual) + u("\""));
  }
  // Long texts cut for the report.
  static QString shown(const QString& text) {
    return text.size() > 120 ? text.left(100) + u("...(%1 characters)").arg(text.size()) : text;
  }
};

// A series of cases: counts the cases and the ones that held, and keeps the others' problems.
class Series {
 public:
  explicit Series(QString what) : what_(std::move(what)) {}
  // Adds a case; each problem is reported with the case's name.
  void add(const QString& name, const QStringList& problems);
  // Expects every case to have held ("n of n"), listing the problems otherwise.
  void expectAllHeld() const;
  int cases() const { return cases_; }

 private:
  QString what_;
  QStringList problems_;
  int cases_ = 0, held_ = 0;
};

// ---- Snapshots -------------------------------------------------------------------------------

// Whole-database snapshots and straight statements come from the test support library.
using testdb::difference;
using testdb::identifier;
using testdb::literal;
using testdb::rawExec;
using testdb::renamed;
using testdb::renamedColumn;
using testdb::Snapshot;
using testdb::snapshot;

// "" when every table but the ones named is equal in both snapshots; otherwise the first difference.
QString differenceBesides(Snapshot expected, Snapshot actual, const QStringList& tables);
// The rows of table in after that come after the rows it had in before; "" in *problem when the
// rows of before are still there, unchanged, in front of them.
QList<QStringList> addedRows(const Snapshot& before, const Snapshot& after, const QString& table, QString* problem);
// The snapshot without the rows of table that hold the field holding ("column=literal").
Snapshot withoutRows(Snapshot s, const QString& table, const QString& holding);

// ---- Straight to the embedded engine ------------------------------------------------------

// Makes the next statement that changes column of table (rows whose column holds onlyWhen, when
// given) fail with text; event is "UPDATE OF <column>" or "DELETE". One injected failure at a time.
void injectFailure(const QString& table, const QString& event, const QString& text, const QString& column = QString(),
                   const QString& onlyWhen = QString());
void removeInjectedFailure();
// The text an injected failure of statement k raises.
QString injectedText(int k);

// Another connection to the database file, which can hold a lock on it.
class OtherConnection {
 public:
  explicit OtherConnection(const QString& path);
  ~OtherConnection();
  OtherConnection(const OtherConnection&) = delete;
  OtherConnection& operator=(const OtherConnection&) = delete;
  // Begins a transaction of that kind: "EXCLUSIVE" (nobody else reads or writes), "IMMEDIATE"
  // (others read but do not write).
  void lock(const QString& kind);
  void release();

 private:
  QString name_;
};
// How long the harness's connection waits for a lock before it gives up (it usually waits 5 s).
void lockWait(int milliseconds);
// The harness's connection refuses to write (SQLite's read-only connection mode) or writes again.
void readOnlyConnection(bool readOnly);
// Makes the file immutable (nobody, not even root, may write it) or writable again; false when
// the file system or the process's privileges do not allow it.
bool immutableFile(const QString& path, bool immutable);

// ---- Hostile texts ------------------------------------------------------------------------

struct Hostile {
  const char* name;
  QString text;
  // As a typed number: what it becomes (blanks at either end dropped) and the character refused
  // in it, named ("" when it is accepted); and the character refused in it as it stands, as a
  // stored code is checked.
  QString typed;
  QString refusedTyped;
  QString refusedStored;
};
// Quotes, a comment, an always-true condition, LIKE wildcards, a bracket, a backslash, 10,000
// characters, blanks only, blanks around a number, Chinese, emoji, text that is no number, a
// second statement, a bracketed table name.
const QList<Hostile>& corpus();

// Types text into a widget key by key, one key event per character (the whole character, also
// beyond the 16-bit range), as a keyboard or an input method delivers it.
void typeText(QWidget* widget, const QString& text);
enum class Entry { Typed, Pasted };
// Empties box and enters text: typed key by key, or pasted over the whole text. A locked box
// (read-only) is left as it is.
void enter(QLineEdit* box, const QString& text, Entry how);
const char* entryName(Entry how);
// Typing 10,000 keys takes long; it is done once (the single window's number box) and pasted
// everywhere else.
bool longTyping(const QString& text, Entry how);
// Runs oneCase for every text of the corpus, typed and pasted (the long text pasted only), as one
// series named what.
void forCorpusEntries(const QString& what, const std::function<void(const Hostile&, Entry, Problems&)>& oneCase);
// Runs oneCase for every text of the corpus as one series named what.
void forCorpus(const QString& what, const std::function<void(const Hostile&, Problems&)>& oneCase);

// ---- Data ---------------------------------------------------------------------------------

// The small organisation of the test data (testdata::smallOrganisation), on a database that
// lives for one case (no waiting for the disk on every commit).
void organisation(Harness& h);

// Reads the file's bytes ("" when it cannot be read).
QByteArray fileBytes(const QString& path);

}  // namespace robust
