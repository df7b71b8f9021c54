#pragma once
// The columns that store an employee number, written out by hand, independently of the tool's own
// lists in host/host_tables.h: tests compare what the statements touch with these, and the test
// databases' reference tables are made from them, so that a wrong or misspelled table in the
// tool's lists fails.
#include <QList>
#include <QString>
#include <vector>

#include "host/host_schema.h"
#include "host/host_tables.h"

namespace db {
class Database;
}

namespace pinned {

struct PinnedColumn {
  const char* table;
  const char* column;
  QString tableName() const { return QString::fromUtf8(table); }
  QString columnName() const { return QString::fromUtf8(column); }
};

// The single renumber's 66 columns, in order (the register first).
const std::vector<PinnedColumn>& singleList();
// The batch apply's 66 columns, in order (the register first).
const std::vector<PinnedColumn>& applyList();
// The staging script's 87 columns, in order (the register last).
const std::vector<PinnedColumn>& stagingList();
// All 92 columns once, in the order a renumber adds those its own list misses: the single list's,
// then those only the apply list names, then those only the staging list names.
const std::vector<PinnedColumn>& allColumns();
// The columns of allColumns() that a list misses, in that order (tables and columns compared
// without regard to case).
std::vector<PinnedColumn> missingFrom(const std::vector<PinnedColumn>& list);

// allColumns() as column references (the staging copy 员工档案temp with the condition on the kind
// of record the renumbers move), for tests that seed or count rows in every column.
std::vector<host::RefColumn> refColumns();

// The host schema with its reference tables made from allColumns() instead of the tool's lists
// (core and rule tables, and the data columns beside the numbers, as the host schema has them).
QList<host::Table> testSchema();
// Creates testSchema() in an embedded database. Throws db::DbError.
void createTestSchema(db::Database& database);

}  // namespace pinned
