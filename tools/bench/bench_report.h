#pragma once
// Figures of the measurements and the table that shows them side by side.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace bench {

// The median of a set of times (the mean of the two middle ones for an even count); 0 for none.
double median(std::vector<double> values);

// A time in milliseconds as a short text: "0.84 ms", "12.3 ms", "1.52 s", "2 min 5 s".
QString duration(double ms);
// A ratio as "1.37x", "48x", "2,300x".
QString ratio(double value);

// What the tool's time is compared with.
struct Comparison {
  enum class Kind {
    Floor,  // the least the work can cost (bare statements): ratio = tool / this, "1.37x"
    Slower,  // a slower way to do it (autocommit, the literal algorithm): ratio = this / tool, "48x faster"
  };
  QString what;
  double ms = 0;
  Kind kind = Kind::Floor;
  QString note;  // e.g. how it was measured ("100 employees, scaled x10"), number of queries
  double factor(double toolMs) const;  // the ratio as a number
  QString ratioText(double toolMs) const;
};

// One measurement: one line of the table, with a further line per further comparison.
struct Line {
  QString id;  // "1", "2", "3a"
  QString measure;  // what was measured, with its size
  double toolMs = 0;
  QString toolNote;  // e.g. number of queries or hits
  std::vector<Comparison> against;
  QString target;  // "<= 1.5x bare, one transaction"; empty for none
  std::optional<bool> holds;  // whether the target is met; nullopt without a target
  QString skipped;  // set when the measurement could not run (why)
  qint64 roundTrips = -1;  // statements the tool sent in a timed run (-1: not counted)
  double maxStallMs = -1;  // the longest time the GUI thread's event loop did not run, over the runs
  // The largest statement text the tool sent in its timed runs: characters, and constants (string
  // and number literals) of the text that held the most. 0: not counted.
  qsizetype largestCharacters = 0, mostConstants = 0;
  // The same work as the tool sent it before (--before): one query per number, one execution per
  // row; measured like the tool's run, with the same latency. -1: not measured.
  double beforeMs = -1;
  qint64 beforeRoundTrips = -1;
  double beforeStallMs = -1;
  bool hasBefore() const { return skipped.isEmpty() && beforeRoundTrips >= 0; }
};

// One line as one JSON object: measure, tool_ms, baseline_ms (the first comparison), ratio (its
// ratio as a number), round_trips, max_stall_ms; null for what was not measured. A line with
// the work as it was before adds before_ms, before_round_trips and before_max_stall_ms.
QString json(const Line& line);

// The largest statement the tool sent over all lines, and which line sent it: "largest statement
// sent: 412,345 characters (line 7); most constants in one: 29,876 (line 2)";
// empty when no line counted its statements.
QString largestStatement(const std::vector<Line>& lines);

// The whole table in Markdown: # | measure | this tool | compared with | time | ratio | target | met.
QString table(const std::vector<Line>& lines);

// The lines measured as they were before too, side by side with the tool (time, round trips,
// longest stall, before and after, and before / after: how many times faster the tool is); empty
// when no line has them.
// latencyMs: the wait per round trip both paths had, named in the heading.
QString beforeAfterTable(const std::vector<Line>& lines, int latencyMs);

}  // namespace bench
