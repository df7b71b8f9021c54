// Round trips, event-loop stalls, a simulated network latency and the JSON lines of renumber-bench.
#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "tools/bench/bench_host.h"
#include "tools/bench/bench_measures.h"
#include "tools/bench/bench_options.h"
#include "tools/bench/bench_report.h"

using namespace bench;

TEST(BenchProbe, LatencyAndJsonOptions) {
  QString error;
  const std::optional<Options> o = parseOptions({"--latency-ms", "20", "--json"}, &error);
  ASSERT_TRUE(o.has_value()) << error.toStdString();
  EXPECT_EQ(o->latencyMs, 20);
  EXPECT_TRUE(o->json);
  EXPECT_EQ(plan(*o).latencyMs, 20);
  EXPECT_TRUE(plan(*o).json);
  EXPECT_EQ(plan(Options{}).latencyMs, 0);
  EXPECT_FALSE(parseOptions({"--latency-ms", "x"}, &error).has_value());
  EXPECT_EQ(error, "--latency-ms needs a whole number of at least 1, not \"x\"");

  Line l;
  l.id = "2";
  l.measure = "batch apply";
  l.toolMs = 30;
  l.against.push_back({"bare", 20, Comparison::Kind::Floor, {}});
  l.roundTrips = 24;
  l.maxStallMs = 12.5;
  EXPECT_EQ(json(l), R"({"baseline_ms":20,"id":"2","max_stall_ms":12.5,"measure":"batch apply","ratio":1.5,)"
                     R"("round_trips":24,"tool_ms":30})");
  Line skipped;
  skipped.id = "5";
  skipped.measure = "staging";
  skipped.skipped = "failed: x";
  const QJsonObject s = QJsonDocument::fromJson(json(skipped).toUtf8()).object();
  EXPECT_TRUE(s.value("tool_ms").isNull());
  EXPECT_TRUE(s.value("round_trips").isNull());
  EXPECT_EQ(s.value("skipped").toString(), "failed: x");
  EXPECT_FALSE(s.contains("before_ms"));
  EXPECT_TRUE(beforeAfterTable({l, skipped}, 20).isEmpty());
  // The largest statement: the longest text and the most constants, each with the line that sent it.
  EXPECT_TRUE(largestStatement({l, skipped}).isEmpty());
  Line preview = l;
  preview.id = "7";
  preview.measure = "impact preview";
  preview.largestCharacters = 412345;
  preview.mostConstants = 900;
  l.largestCharacters = 1000;
  l.mostConstants = 29876;
  EXPECT_EQ(largestStatement({l, skipped, preview}),
            "largest statement sent: 412,345 characters (line 7); most constants in one: 29,876 (line 2)\n");
  EXPECT_TRUE(json(l).contains(R"("largest_statement_chars":1000,)"));
  l.largestCharacters = l.mostConstants = 0;

  // --before: the apply and the check as they were, reported beside the tool's figures.
  ASSERT_TRUE(parseOptions({"--before", "--latency-ms=20"}, &error).has_value()) << error.toStdString();
  EXPECT_TRUE(plan(*parseOptions({"--before"}, &error)).before);
  EXPECT_FALSE(plan(Options{}).before);
  EXPECT_FALSE(parseOptions({"--before=yes"}, &error).has_value());
  EXPECT_EQ(error, "unknown option \"--before=yes\"");
  l.beforeMs = 3000;
  l.beforeRoundTrips = 1234;
  l.beforeStallMs = 2999.5;
  EXPECT_EQ(json(l),
            R"({"baseline_ms":20,"before_max_stall_ms":2999.5,"before_ms":3000,"before_round_trips":1234,)"
            R"("id":"2","max_stall_ms":12.5,"measure":"batch apply","ratio":1.5,"round_trips":24,"tool_ms":30})");
  EXPECT_EQ(
      beforeAfterTable({l, skipped}, 20),
      "Before and after, 20 ms per round trip:\n"
      "\n"
      "| # | measure | before | round trips | longest stall | after | round trips | longest stall | before / after |\n"
      "|---|---|---:|---:|---:|---:|---:|---:|---:|\n"
      "| 2 | batch apply | 3.00 s | 1,234 | 3.00 s | 30.0 ms | 24 | 12.5 ms | 100x |\n");
}

// At a tiny scale with 5 ms per round trip: each measured line counts its round trips, waits for
// each of them, and reports the longest stall of its event loop.
TEST(BenchProbe, RoundTripsStallsAndLatencyAtATinyScale) {
  QTemporaryDir dir;
  Options o;
  o.employees = 200;
  o.rowsPerEmployee = 1;
  o.runs = 1;
  o.only = {"batch", "check", "staging"};
  o.latencyMs = 5;
  Context cx;
  cx.plan = plan(o);
  cx.cacheFile = ensureCache(dir.filePath("cache"), o.employees, o.rowsPerEmployee, [](const QString&) {});
  cx.workDir = dir.filePath("work");
  QStringList failures;
  const std::vector<Line> lines = runAll(cx, &failures);
  EXPECT_TRUE(failures.isEmpty()) << failures.join('\n').toStdString();
  ASSERT_EQ(lines.size(), 3u);
  for (const Line& l : lines) {
    EXPECT_GT(l.roundTrips, 0) << l.id.toStdString();
    EXPECT_GE(l.toolMs, 5.0 * double(l.roundTrips)) << l.id.toStdString();
    EXPECT_GE(l.maxStallMs, 0) << l.id.toStdString();
    EXPECT_GT(l.largestCharacters, l.mostConstants) << l.id.toStdString();
    EXPECT_GT(l.mostConstants, 0) << l.id.toStdString();
    EXPECT_TRUE(l.toolNote.contains(QString::number(l.roundTrips) + " round trips")) << l.toolNote.toStdString();
  }
  // The batch apply of 10 rows: the widths of the connection, the re-check, the merge question,
  // the counts, one execution (no rule is chosen in the measured window, so nothing is listed
  // after it).
  ASSERT_EQ(lines[0].id, "2");
  EXPECT_EQ(lines[0].roundTrips, 5);
  // The staging: the count before the question, the employees without a position and the widths
  // for the lengths, its two checks of the "9" numbers before its transaction and again inside
  // it, then its 92 batches, each a round trip.
  ASSERT_EQ(lines[2].id, "5");
  EXPECT_EQ(lines[2].roundTrips, 99);
}
