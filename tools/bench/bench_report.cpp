#include "tools/bench/bench_report.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace bench {

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

namespace {

QString withSeparators(qint64 n) {
  QString digits = QString::number(n);
  for (qsizetype i = digits.size() - 3; i > 0; i -= 3) digits.insert(i, u',');
  return digits;
}

}  // namespace

QString duration(double ms) {
  if (ms < 10) return QString::number(ms, 'f', 2) + QStringLiteral(" ms");
  if (ms < 1000) return QString::number(ms, 'f', 1) + QStringLiteral(" ms");
  if (ms < 60000) return QString::number(ms / 1000, 'f', 2) + QStringLiteral(" s");
  const qint64 s = std::llround(ms / 1000);
  return QStringLiteral("%1 min %2 s").arg(s / 60).arg(s % 60);
}

QString ratio(double value) {
  if (!std::isfinite(value)) return QStringLiteral("-");
  if (value < 10) return QString::number(value, 'f', 2) + u'x';
  if (value < 100) return QString::number(value, 'f', 1) + u'x';
  return withSeparators(std::llround(value)) + u'x';
}

double Comparison::factor(double toolMs) const {
  if (kind == Kind::Floor) return ms > 0 ? toolMs / ms : INFINITY;
  return toolMs > 0 ? ms / toolMs : INFINITY;
}

QString Comparison::ratioText(double toolMs) const {
  const QString r = ratio(factor(toolMs));
  return kind == Kind::Floor ? r + QStringLiteral(" of it") : r + QStringLiteral(" faster");
}

QString json(const Line& l) {
  QJsonObject o;
  o.insert(QStringLiteral("id"), l.id);
  o.insert(QStringLiteral("measure"), l.measure);
  const bool measured = l.skipped.isEmpty();
  o.insert(QStringLiteral("tool_ms"), measured ? QJsonValue(l.toolMs) : QJsonValue());
  o.insert(QStringLiteral("baseline_ms"), measured && !l.against.empty() ? QJsonValue(l.against[0].ms) : QJsonValue());
  o.insert(QStringLiteral("ratio"),
           measured && !l.against.empty() ? QJsonValue(l.against[0].factor(l.toolMs)) : QJsonValue());
  o.insert(QStringLiteral("round_trips"), measured && l.roundTrips >= 0 ? QJsonValue(l.roundTrips) : QJsonValue());
  o.insert(QStringLiteral("max_stall_ms"), measured && l.maxStallMs >= 0 ? QJsonValue(l.maxStallMs) : QJsonValue());
  if (measured && l.largestCharacters > 0) {
    o.insert(QStringLiteral("largest_statement_chars"), l.largestCharacters);
    o.insert(QStringLiteral("most_constants"), l.mostConstants);
  }
  if (l.hasBefore()) {
    o.insert(QStringLiteral("before_ms"), l.beforeMs);
    o.insert(QStringLiteral("before_round_trips"), l.beforeRoundTrips);
    o.insert(QStringLiteral("before_max_stall_ms"), l.beforeStallMs);
  }
  if (!measured) o.insert(QStringLiteral("skipped"), l.skipped);
  return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

QString largestStatement(const std::vector<Line>& lines) {
  const Line* longest = nullptr;
  const Line* most = nullptr;
  for (const Line& l : lines) {
    if (!l.skipped.isEmpty() || l.largestCharacters <= 0) continue;
    if (!longest || l.largestCharacters > longest->largestCharacters) longest = &l;
    if (!most || l.mostConstants > most->mostConstants) most = &l;
  }
  if (!longest) return {};
  return QStringLiteral("largest statement sent: %1 characters (line %2); most constants in one: %3 (line %4)\n")
      .arg(withSeparators(longest->largestCharacters), longest->id, withSeparators(most->mostConstants), most->id);
}

QString table(const std::vector<Line>& lines) {
  QStringList out;
  out << QStringLiteral("| # | measure | this tool | compared with | its time | ratio | target | met |");
  out << QStringLiteral("|---|---|---:|---|---:|---:|---|---|");
  auto cell = [](const QString& main, const QString& note) {
    return note.isEmpty() ? main : main + QStringLiteral(" (") + note + u')';
  };
  for (const Line& l : lines) {
    if (!l.skipped.isEmpty()) {
      out << QStringLiteral("| %1 | %2 | not measured: %3 |  |  |  | %4 |  |")
                 .arg(l.id, l.measure, l.skipped, l.target);
      continue;
    }
    const QString met = !l.holds ? QString() : *l.holds ? QStringLiteral("yes") : QStringLiteral("**NO**");
    const QString tool = cell(duration(l.toolMs), l.toolNote);
    if (l.against.empty()) {
      out << QStringLiteral("| %1 | %2 | %3 |  |  |  | %4 | %5 |").arg(l.id, l.measure, tool, l.target, met);
      continue;
    }
    for (std::size_t i = 0; i < l.against.size(); ++i) {
      const Comparison& c = l.against[i];
      const QString head =
          i == 0 ? QStringLiteral("| %1 | %2 | %3 ").arg(l.id, l.measure, tool) : QStringLiteral("|  |  |  ");
      const QString tail = i == 0 ? QStringLiteral("| %1 | %2 |").arg(l.target, met) : QStringLiteral("|  |  |");
      out << head + QStringLiteral("| %1 | %2 | %3 ").arg(c.what, cell(duration(c.ms), c.note), c.ratioText(l.toolMs)) +
                 tail;
    }
  }
  return out.join(u'\n') + u'\n';
}

QString beforeAfterTable(const std::vector<Line>& lines, int latencyMs) {
  QStringList out;
  for (const Line& l : lines) {
    if (!l.hasBefore()) continue;
    if (out.isEmpty()) {
      out << (latencyMs > 0 ? QStringLiteral("Before and after, %1 ms per round trip:").arg(latencyMs)
                            : QStringLiteral("Before and after, no latency added:"));
      out << QString();
      out << QStringLiteral(
          "| # | measure | before | round trips | longest stall | after | round trips | longest stall | "
          "before / after |");
      out << QStringLiteral("|---|---|---:|---:|---:|---:|---:|---:|---:|");
    }
    out << QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 | %8 | %9 |")
               .arg(l.id, l.measure, duration(l.beforeMs), withSeparators(l.beforeRoundTrips),
                    duration(l.beforeStallMs), duration(l.toolMs), withSeparators(l.roundTrips), duration(l.maxStallMs),
                    l.toolMs > 0 ? ratio(l.beforeMs / l.toolMs) : QStringLiteral("-"));
  }
  return out.isEmpty() ? QString() : out.join(u'\n') + u'\n';
}

}  // namespace bench
