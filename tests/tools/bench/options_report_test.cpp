#include <gtest/gtest.h>

#include "tools/bench/bench_options.h"
#include "tools/bench/bench_report.h"

using namespace bench;

namespace {

Options parsed(const QStringList& args) {
  QString error;
  const std::optional<Options> o = parseOptions(args, &error);
  EXPECT_TRUE(o.has_value()) << error.toStdString();
  return o.value_or(Options{});
}

QString refused(const QStringList& args) {
  QString error;
  EXPECT_FALSE(parseOptions(args, &error).has_value());
  return error;
}

}  // namespace

TEST(BenchOptions, DefaultsAndEveryOption) {
  const Options d = parsed({});
  EXPECT_EQ(d.employees, 20000);
  EXPECT_EQ(d.runs, 5);
  EXPECT_TRUE(d.only.isEmpty());

  const Options o = parsed({"--employees", "300", "--rows-per-employee=3", "--runs", "2", "--cache-dir", "/tmp/c",
                            "--batch-employees", "40", "--autocommit-sample", "4", "--check-rows", "900",
                            "--check-conflicts", "90", "--stage-employees", "25", "--export-rows", "60"});
  EXPECT_EQ(o.employees, 300);
  EXPECT_EQ(o.rowsPerEmployee, 3);
  EXPECT_EQ(o.runs, 2);
  EXPECT_EQ(o.cacheDir, "/tmp/c");
  EXPECT_EQ(o.batchEmployees, 40);
  EXPECT_EQ(o.autocommitSample, 4);
  EXPECT_EQ(o.checkRows, 900);
  EXPECT_EQ(o.checkConflicts, 90);
  EXPECT_EQ(o.stageEmployees, 25);
  EXPECT_EQ(o.exportRows, 60);
}

TEST(BenchOptions, OnlyTakesNamesAndLineNumbers) {
  EXPECT_EQ(parsed({"--only", "single,check"}).only, (QSet<QString>{"single", "check"}));
  EXPECT_EQ(parsed({"--only=3,5"}).only, (QSet<QString>{"listing", "search", "staging"}));
  EXPECT_EQ(parsed({"--only", "export, 2"}).only, (QSet<QString>{"export", "batch"}));
}

TEST(BenchOptions, BadArgumentsAreRefusedWithAReason) {
  EXPECT_EQ(refused({"--employees"}), "--employees needs a value");
  EXPECT_EQ(refused({"--runs", "0"}), "--runs needs a whole number of at least 1, not \"0\"");
  EXPECT_EQ(refused({"--employees", "many"}), "--employees needs a whole number of at least 1, not \"many\"");
  EXPECT_EQ(refused({"--only", "single,teleport"}), "--only: unknown measurement \"teleport\"");
  EXPECT_EQ(refused({"--only", "10"}), "--only: unknown measurement \"10\"");
  EXPECT_EQ(refused({"--only", ","}), "--only needs at least one measurement");
  EXPECT_EQ(refused({"--fast"}), "unknown option \"--fast\"");
  EXPECT_EQ(refused({"--cache-dir="}), "--cache-dir needs a folder");
  EXPECT_TRUE(refused({"--help"}).isEmpty());  // help is no error
}

TEST(BenchPlan, FullScaleDefaultsAndProportionalShrinking) {
  const Plan full = plan(Options{});
  EXPECT_EQ(full.rowsPerEmployee, 2);
  EXPECT_EQ(full.batchEmployees, 1000);
  EXPECT_EQ(full.autocommitSample, 100);
  EXPECT_EQ(full.checkRows, 5000);
  EXPECT_EQ(full.checkConflicts, 500);
  EXPECT_EQ(full.stageEmployees, 2000);
  EXPECT_EQ(full.exportRows, 5000);
  EXPECT_EQ(full.measures.size(), kMeasures.size());

  Options small;
  small.employees = 300;
  small.only = {"batch"};
  const Plan p = plan(small);
  EXPECT_EQ(p.batchEmployees, 15);
  EXPECT_EQ(p.autocommitSample, 2);
  EXPECT_EQ(p.checkRows, 75);
  EXPECT_EQ(p.checkConflicts, 8);
  EXPECT_EQ(p.stageEmployees, 30);
  EXPECT_EQ(p.exportRows, 75);
  EXPECT_TRUE(p.wants("batch"));
  EXPECT_FALSE(p.wants("single"));
}

TEST(BenchPlan, GivenSizesAreKeptWithinWhatTheRegisterHolds) {
  Options o;
  o.employees = 50;
  o.batchEmployees = 80;  // more than there are employees
  o.autocommitSample = 500;  // more than the batch
  o.checkRows = 30;
  o.checkConflicts = 20;  // at most half the rows
  const Plan p = plan(o);
  EXPECT_EQ(p.batchEmployees, 50);
  EXPECT_EQ(p.autocommitSample, 50);
  EXPECT_EQ(p.checkConflicts, 15);
}

TEST(BenchReport, MedianDurationAndRatio) {
  EXPECT_EQ(median({}), 0);
  EXPECT_EQ(median({9, 1, 5}), 5);
  EXPECT_EQ(median({4, 1, 3, 2}), 2.5);
  EXPECT_EQ(duration(0.844), "0.84 ms");
  EXPECT_EQ(duration(12.34), "12.3 ms");
  EXPECT_EQ(duration(1523), "1.52 s");
  EXPECT_EQ(duration(125000), "2 min 5 s");
  EXPECT_EQ(ratio(1.372), "1.37x");
  EXPECT_EQ(ratio(48.04), "48.0x");
  EXPECT_EQ(ratio(2301.4), "2,301x");
}

TEST(BenchReport, TableShowsComparisonsSideBySideWithTargets) {
  Line single;
  single.id = "1";
  single.measure = "single renumber";
  single.toolMs = 30;
  single.against = {{"bare, one transaction", 24, Comparison::Kind::Floor, {}},
                    {"bare, autocommit", 1500, Comparison::Kind::Slower, "sample"}};
  single.target = "<= 1.5x";
  single.holds = true;
  Line listing;
  listing.id = "3a";
  listing.measure = "listing";
  listing.toolMs = 2500;
  listing.target = "< 2 s";
  listing.holds = false;
  Line skipped;
  skipped.id = "6";
  skipped.measure = "export";
  skipped.skipped = "no office installed";

  EXPECT_EQ(table({single, listing, skipped}),
            "| # | measure | this tool | compared with | its time | ratio | target | met |\n"
            "|---|---|---:|---|---:|---:|---|---|\n"
            "| 1 | single renumber | 30.0 ms | bare, one transaction | 24.0 ms | 1.25x of it | <= 1.5x | yes |\n"
            "|  |  |  | bare, autocommit | 1.50 s (sample) | 50.0x faster |  |  |\n"
            "| 3a | listing | 2.50 s |  |  |  | < 2 s | **NO** |\n"
            "| 6 | export | not measured: no office installed |  |  |  |  |  |\n");
}
