#pragma once
// A deterministic generator of a realistic host database (departments, positions,
// categories, numbering rules, employees and reference rows).
#include <QString>
#include <QtGlobal>

namespace db {
class Database;
}

namespace demo {

struct Scale {
  int employees = 240;  // at least 200 for the demo
  // Reference rows, per employee, for each reference table, spread by the table's kind: with 1, a
  // daily attendance table holds 20 rows per employee, a monthly payroll table 6, a per-employee
  // setting 1 and a minor table one row for about every second employee.
  int referenceRowsPerEmployee = 1;
  unsigned seed = 20261208;
};

// Fills an empty database that holds the host schema. Throws db::DbError.
void generate(db::Database& database, const Scale& scale = Scale());

// The number of reference rows generate() writes for a scale (attendance and payroll tables
// hold several rows per employee, most others about one row for every second employee).
qint64 expectedReferenceRows(const Scale& scale);

// Creates a new embedded database file at path with the host schema and the demo data, and
// leaves it open as the given database. Returns false with *error when it cannot.
bool createDatabase(db::Database& database, const QString& path, const Scale& scale, QString* error);

}  // namespace demo
