#include "tools/bench/bench_options.h"

#include <algorithm>
#include <cmath>

namespace bench {

namespace {

// The measurement names a word of --only stands for: a name, or the number of its table line.
QStringList measuresOf(const QString& word) {
  static const QStringList byNumber[] = {{},
                                         {QStringLiteral("single")},
                                         {QStringLiteral("batch")},
                                         {QStringLiteral("listing"), QStringLiteral("search")},
                                         {QStringLiteral("check")},
                                         {QStringLiteral("staging")},
                                         {QStringLiteral("export")},
                                         {QStringLiteral("preview")},
                                         {QStringLiteral("dbcheck")},
                                         {QStringLiteral("journal")}};
  bool isNumber = false;
  const int n = word.toInt(&isNumber);
  if (isNumber) return n >= 1 && n <= 9 ? byNumber[n] : QStringList();
  return kMeasures.contains(word) ? QStringList{word} : QStringList();
}

bool positive(const QString& text, int* value) {
  bool ok = false;
  const int v = text.toInt(&ok);
  if (!ok || v < 1) return false;
  *value = v;
  return true;
}

}  // namespace

QString usage() {
  return QStringLiteral(
      "Usage: renumber-bench [options]\n"
      "Measures the renumbering tool on a large embedded host database and prints one table.\n"
      "  --employees N           employees of the host database (default 20000)\n"
      "  --rows-per-employee N   reference rows per employee and table kind (default 2: about 5.9 million\n"
      "                          reference rows at 20000 employees)\n"
      "  --runs N                runs per measurement; the table shows the median (default 5)\n"
      "  --only LIST             comma-separated measurements: single, batch, listing, search, check,\n"
      "                          staging, export, preview, dbcheck, journal, or the table's line numbers\n"
      "                          1 to 9\n"
      "  --cache-dir DIR         where the generated databases are kept (default: bench-cache beside\n"
      "                          the executable)\n"
      "  --batch-employees N     rows of the batch apply (default 1000)\n"
      "  --autocommit-sample N   employees of the batch apply sent in autocommit, scaled up (default 100)\n"
      "  --check-rows N          rows of the automatic check (default 5000)\n"
      "  --check-conflicts N     conflicts among them (default 500)\n"
      "  --stage-employees N     employees without a position for the staging script (default 2000)\n"
      "  --export-rows N         grid rows of the export (default 5000)\n"
      "  --latency-ms N          the embedded engine waits N ms per round trip, as a network would\n"
      "                          (default none)\n"
      "  --json                  one JSON object per measurement (measure, tool_ms, baseline_ms, ratio,\n"
      "                          round_trips, max_stall_ms) instead of the table\n"
      "  --before                measures 2 and 4 also run the apply and the automatic check as they\n"
      "                          were, one register query per number and one execution per row, with\n"
      "                          the same latency (before_ms, before_round_trips in --json); slow with\n"
      "                          --latency-ms: thousands of round trips\n"
      "Sizes left at their default shrink in proportion when --employees is below 20000.\n");
}

std::optional<Options> parseOptions(const QStringList& args, QString* error) {
  Options o;
  error->clear();
  const QPair<QString, int*> sizes[] = {
      {QStringLiteral("--employees"), &o.employees},
      {QStringLiteral("--rows-per-employee"), &o.rowsPerEmployee},
      {QStringLiteral("--runs"), &o.runs},
      {QStringLiteral("--batch-employees"), &o.batchEmployees},
      {QStringLiteral("--autocommit-sample"), &o.autocommitSample},
      {QStringLiteral("--check-rows"), &o.checkRows},
      {QStringLiteral("--check-conflicts"), &o.checkConflicts},
      {QStringLiteral("--stage-employees"), &o.stageEmployees},
      {QStringLiteral("--export-rows"), &o.exportRows},
      {QStringLiteral("--latency-ms"), &o.latencyMs},
  };
  for (qsizetype i = 0; i < args.size(); ++i) {
    QString name = args[i];
    if (name == QStringLiteral("--help") || name == QStringLiteral("-h")) return std::nullopt;
    // "--runs=3" and "--runs 3" alike.
    QString value;
    bool inlineValue = false;
    if (const qsizetype eq = name.indexOf(u'='); name.startsWith(QStringLiteral("--")) && eq > 0) {
      value = name.mid(eq + 1);
      name = name.left(eq);
      inlineValue = true;
    }
    auto takeValue = [&]() -> bool {
      if (inlineValue) return true;
      if (i + 1 >= args.size()) {
        *error = name + QStringLiteral(" needs a value");
        return false;
      }
      value = args[++i];
      return true;
    };

    bool known = false;
    for (const auto& [option, target] : sizes) {
      if (name != option) continue;
      known = true;
      if (!takeValue()) return std::nullopt;
      if (!positive(value, target)) {
        *error = name + QStringLiteral(" needs a whole number of at least 1, not \"") + value + u'"';
        return std::nullopt;
      }
    }
    if (known) continue;
    if (name == QStringLiteral("--json") && !inlineValue) {
      o.json = true;
    } else if (name == QStringLiteral("--before") && !inlineValue) {
      o.before = true;
    } else if (name == QStringLiteral("--only")) {
      if (!takeValue()) return std::nullopt;
      for (const QString& word : value.split(u',', Qt::SkipEmptyParts)) {
        const QStringList measures = measuresOf(word.trimmed());
        if (measures.isEmpty()) {
          *error = QStringLiteral("--only: unknown measurement \"") + word.trimmed() + u'"';
          return std::nullopt;
        }
        for (const QString& m : measures) o.only.insert(m);
      }
      if (o.only.isEmpty()) {
        *error = QStringLiteral("--only needs at least one measurement");
        return std::nullopt;
      }
    } else if (name == QStringLiteral("--cache-dir")) {
      if (!takeValue()) return std::nullopt;
      if (value.isEmpty()) {
        *error = QStringLiteral("--cache-dir needs a folder");
        return std::nullopt;
      }
      o.cacheDir = value;
    } else {
      *error = QStringLiteral("unknown option \"") + args[i] + u'"';
      return std::nullopt;
    }
  }
  return o;
}

Plan plan(const Options& o) {
  Plan p;
  p.employees = o.employees;
  p.rowsPerEmployee = o.rowsPerEmployee > 0 ? o.rowsPerEmployee : 2;
  p.runs = o.runs;
  p.measures = o.only.isEmpty() ? QSet<QString>(kMeasures.begin(), kMeasures.end()) : o.only;
  const double f = std::min(1.0, double(o.employees) / 20000.0);
  auto scaled = [&](int given, int full, int least) {
    return given > 0 ? given : std::max(least, int(std::lround(full * f)));
  };
  p.batchEmployees = std::min(scaled(o.batchEmployees, 1000, 4), o.employees);
  p.autocommitSample = std::min(scaled(o.autocommitSample, 100, 2), p.batchEmployees);
  p.checkRows = scaled(o.checkRows, 5000, 40);
  p.checkConflicts = std::min(scaled(o.checkConflicts, 500, 4), p.checkRows / 2);
  p.stageEmployees = std::min(scaled(o.stageEmployees, 2000, 5), o.employees);
  p.exportRows = scaled(o.exportRows, 5000, 20);
  p.latencyMs = o.latencyMs;
  p.json = o.json;
  p.before = o.before;
  return p;
}

}  // namespace bench
