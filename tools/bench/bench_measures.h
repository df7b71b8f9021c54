#pragma once
// The measurements of renumber-bench. Each drives the tool's own windows and functions on a
// scratch copy of the generated host database, checks the end state it produced (a measurement
// that did not do its work throws), and returns its line of the table.
#include <QString>
#include <functional>
#include <vector>

#include "tools/bench/bench_options.h"
#include "tools/bench/bench_report.h"

namespace bench {

struct Context {
  Plan plan;
  QString cacheFile;  // the generated host database, never changed
  QString workDir;  // scratch copies
  std::function<void(const QString&)> progress = [](const QString&) {};
};

// The shared connection must be open on a copy of the cache file (openCopy); single and batch
// leave it in the cache's logical state, listing rolls its changes back, search and check only
// read, export reads.
Line measureSingle(const Context& cx);
Line measureBatch(const Context& cx);
Line measureListing(const Context& cx);
Line measureSearch(const Context& cx);
Line measureCheck(const Context& cx);
Line measureExport(const Context& cx);
// The impact preview of the batch apply's employees (reads only), and the database check.
Line measurePreview(const Context& cx);
Line measureDbCheck(const Context& cx);
// The journal window opened on a journal of 30 MB (built beside the scratch copy; reads only).
Line measureJournal(const Context& cx);
// Makes its own copies (one per run) and leaves the benchmark's connection closed.
Line measureStaging(const Context& cx);

// Every measurement the plan asks for, on copies of cx.cacheFile; lines in table order.
// A measurement that fails is reported on its line ("not measured: <why>") and in *failures.
std::vector<Line> runAll(const Context& cx, QStringList* failures);

// The machine the figures come from: CPU model, cores, memory, and the library versions.
QString machineSummary();

}  // namespace bench
