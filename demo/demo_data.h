#pragma once
// A deterministic generator of a realistic host database (departments, positions,
// categories, numbering rules, employees and reference rows).
namespace db {
class Database;
}

namespace demo {

struct Scale {
  int employees = 240;          // at least 200 for the demo
  int referenceRowsPerEmployee = 1;  // rows per employee in each reference table (spread)
  unsigned seed = 20261208;
};

// Fills an empty database that holds the host schema. Throws db::DbError.
void generate(db::Database& database, const Scale& scale = Scale());

}  // namespace demo
