// renumber-bench: builds (once, cached) a large embedded host database and measures the tool's
// renumbering, listing, checking, staging and export paths on copies of it.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <cstdio>

#include "tools/bench/bench_host.h"
#include "tools/bench/bench_measures.h"
#include "tools/bench/bench_options.h"
#include "tools/demo/demo_data.h"

namespace {

void print(FILE* stream, const QString& text) {
  std::fputs(text.toUtf8().constData(), stream);
  std::fflush(stream);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  QString error;
  const std::optional<bench::Options> options = bench::parseOptions(app.arguments().mid(1), &error);
  if (!options) {
    print(error.isEmpty() ? stdout : stderr, error.isEmpty() ? bench::usage() : error + u'\n' + bench::usage());
    return error.isEmpty() ? 0 : 2;
  }
  bench::Context cx;
  cx.plan = bench::plan(*options);
  const QString cacheDir = options->cacheDir.isEmpty()
                               ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("bench-cache"))
                               : options->cacheDir;
  cx.workDir = QDir(cacheDir).filePath(QStringLiteral("work"));
  QElapsedTimer clock;
  clock.start();
  cx.progress = [&clock](const QString& line) {
    print(stderr, QStringLiteral("[%1 s] ").arg(double(clock.elapsed()) / 1000.0, 6, 'f', 1) + line + u'\n');
  };

  try {
    cx.cacheFile = bench::ensureCache(cacheDir, cx.plan.employees, cx.plan.rowsPerEmployee, cx.progress);
  } catch (const std::exception& e) {
    print(stderr,
          QStringLiteral("renumber-bench: cannot build the host database: ") + QString::fromUtf8(e.what()) + u'\n');
    return 1;
  }

  QStringList failures;
  const std::vector<bench::Line> lines = bench::runAll(cx, &failures);

  demo::Scale scale;
  scale.employees = cx.plan.employees;
  scale.referenceRowsPerEmployee = cx.plan.rowsPerEmployee;
  if (!cx.plan.json)
    print(stdout, QStringLiteral("renumber-bench: %1 employees, %2 reference rows; median of %3 run(s)\n")
                      .arg(cx.plan.employees)
                      .arg(demo::expectedReferenceRows(scale))
                      .arg(cx.plan.runs));
  if (cx.plan.json) {
    for (const bench::Line& l : lines) print(stdout, bench::json(l) + u'\n');
  } else {
    print(stdout, QStringLiteral("machine: ") + bench::machineSummary() + QStringLiteral("\n\n"));
    print(stdout, bench::table(lines));
    if (const QString largest = bench::largestStatement(lines); !largest.isEmpty()) print(stdout, u'\n' + largest);
    if (const QString beforeAfter = bench::beforeAfterTable(lines, cx.plan.latencyMs); !beforeAfter.isEmpty())
      print(stdout, u'\n' + beforeAfter);
  }
  for (const QString& f : failures) print(stderr, QStringLiteral("renumber-bench: ") + f + u'\n');
  return failures.isEmpty() ? 0 : 1;
}
