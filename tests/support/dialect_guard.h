#pragma once
// The SQL Server dialect guard of the test suite. Every statement text a test sends toward the
// database through the harness is collected as a shape (literals and numbers replaced by
// placeholders), and each test process writes its distinct shapes to a file in the build folder
// when it ends. The ctest test "dialect_guard" then parses every collected shape, and the
// `renumber --print-schema` script, with a T-SQL grammar (tests/support/dialect_guard.py): a text
// that SQL Server would refuse (LIMIT, ||, INSERT OR REPLACE, IFNULL, ...) fails the suite, though
// the embedded engine accepts it.
#include <QString>
#include <QStringList>

namespace dialect_guard {

// Collects the shape of a statement text sent toward SQL Server (before any translation).
void collect(const QString& sql);

// While one lives, collect() ignores what it is given: texts meant only for the embedded engine
// (the harness's own seeding and inspection of a test database) are no statements of the tool.
class Suspend {
 public:
  Suspend();
  ~Suspend();
  Suspend(const Suspend&) = delete;
  Suspend& operator=(const Suspend&) = delete;
};

// The text with every string literal written 's' (N's' for N'...'), every number 0, and a list
// of such placeholders (" 's', 's'") written once: the grammar sees the same statement, and texts
// that differ only in their values are one shape.
QString shape(const QString& sql);

// The shapes collected so far in this process, in first-seen order.
QStringList collected();

// One shape per line, backslashes, CR and LF escaped ("\\", "\r", "\n"), as the guard reads them.
QString encode(const QStringList& shapes);

}  // namespace dialect_guard
