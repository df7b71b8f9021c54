// The collation SQLSERVER_CI as a loadable SQLite extension, for the programs that open the
// embedded database files besides the tool (the sqlite3 shell, Python's sqlite3, a DB browser):
// without it they can read the tables but cannot compare or index their text columns. The
// comparison is the engine's own (db/sqlserver_collation.cpp, compiled into this library too).
//   sqlite3 demo.db -cmd '.load build/libsqlserverci'
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include "db/sqlserver_collation.h"

#ifdef _WIN32
#define SQLSERVERCI_EXPORT __declspec(dllexport)
#else
#define SQLSERVERCI_EXPORT __attribute__((visibility("default")))
#endif

namespace {
int registerCollation(sqlite3* db, const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  const int rc = sqlite3_create_collation_v2(db, db::collation::kName, SQLITE_UTF8, nullptr,
                                             db::collation::sqliteCompare, nullptr);
  // As the engine does: joins on the collation's columns must not lose rows (see the header).
  if (rc == SQLITE_OK) sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, db::collation::kUnsafeOptimizations);
  return rc;
}
}  // namespace

// SQLite looks for sqlite3_<file name's letters>_init (libsqlserverci.so: sqlite3_sqlserverci_init),
// then for sqlite3_extension_init.
extern "C" SQLSERVERCI_EXPORT int sqlite3_sqlserverci_init(sqlite3* db, char**, const sqlite3_api_routines* api) {
  return registerCollation(db, api);
}
extern "C" SQLSERVERCI_EXPORT int sqlite3_extension_init(sqlite3* db, char**, const sqlite3_api_routines* api) {
  return registerCollation(db, api);
}
