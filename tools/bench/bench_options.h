#pragma once
// Command line of renumber-bench and the sizes of the measurements derived from it.
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace bench {

// The measurements, in table order.
inline const QStringList kMeasures{QStringLiteral("single"), QStringLiteral("batch"),   QStringLiteral("listing"),
                                   QStringLiteral("search"), QStringLiteral("check"),   QStringLiteral("staging"),
                                   QStringLiteral("export"), QStringLiteral("preview"), QStringLiteral("dbcheck"),
                                   QStringLiteral("journal")};

struct Options {
  int employees = 20000;
  int rowsPerEmployee = 0;  // 0: the scale that gives about five million reference rows at 20,000 employees
  int runs = 5;
  QSet<QString> only;  // names of kMeasures; empty: all
  QString cacheDir;  // empty: bench-cache beside the executable
  // Sizes; 0 means the default scaled by employees / 20,000 (see plan()).
  int batchEmployees = 0;  // rows of the batch apply (1,000)
  int autocommitSample = 0;  // employees of the batch apply sent in autocommit (100), scaled up to batchEmployees
  int checkRows = 0;  // rows of the automatic check (5,000)
  int checkConflicts = 0;  // conflicts among them (500)
  int stageEmployees = 0;  // employees without a position for the staging script (2,000)
  int exportRows = 0;  // grid rows of the export (5,000)
  int latencyMs = 0;  // the embedded engine waits this long per round trip, as a network would
  bool json = false;  // one JSON object per measurement instead of the table
  bool before = false;  // also the batch apply and the automatic check as they were, one query per number or row
};

// Parses the arguments after the program name. nullopt with *error on a bad argument;
// "--help" gives nullopt with an empty *error.
std::optional<Options> parseOptions(const QStringList& args, QString* error);
QString usage();

// What a run measures, every size resolved.
struct Plan {
  int employees = 0;
  int rowsPerEmployee = 0;
  int runs = 0;
  QSet<QString> measures;
  int batchEmployees = 0;
  int autocommitSample = 0;
  int checkRows = 0;
  int checkConflicts = 0;
  int stageEmployees = 0;
  int exportRows = 0;
  int latencyMs = 0;
  bool json = false;
  bool before = false;
  bool wants(const QString& measure) const { return measures.contains(measure); }
};

// Defaults at 20,000 employees: 1,000 / 100 / 5,000 with 500 / 2,000 / 5,000; smaller scales
// shrink them in proportion (never below a handful, never above the register).
Plan plan(const Options& options);

}  // namespace bench
