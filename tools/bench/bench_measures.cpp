#include "tools/bench/bench_measures.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <random>
#include <sqlite3.h>
#include <stdexcept>

#include "host/host_tables.h"
#include "tools/bench/bench_host.h"
#include "db/database.h"
#include "db/tsql_tokens.h"
#include "tools/bench/batch_before.h"
#include "tools/bench/batch_literal.h"
#include "core/batch/batch_ops.h"
#include "gui/journal/journal_window.h"
#include "core/dbcheck/dbcheck_ops.h"
#include "core/journal/journal.h"
#include "core/session/session.h"
#include "core/preview/preview.h"
#include "gui/batch/batch_window.h"
#include "gui/single/single_window.h"
#include "tests/support/scripted_dialogs.h"
#include "gui/widgets/flex_grid.h"
#include "gui/widgets/progress.h"

namespace bench {

namespace {

[[noreturn]] void fail(const QString& text) { throw std::runtime_error(text.toStdString()); }

template <class F>
double timed(F&& work) {
  QElapsedTimer timer;
  timer.start();
  work();
  return double(timer.nsecsElapsed()) / 1e6;
}

// Waits per round trip of the tool, as a network would (--latency-ms).
int latencyMs = 0;

// A timed run of the tool through its window, with what it cost besides time: the statements it
// sent (round trips; each waits latencyMs first) and the longest time the GUI thread's event loop
// did not run (a 10 ms timer on the GUI thread: the longest gap between its ticks, from the start
// to the end of the run; a loop that never stops shows about 10 ms).
// "1 round trip", "23 round trips".
QString roundTripsText(qint64 n) {
  return QString::number(n) + (n == 1 ? QStringLiteral(" round trip") : QStringLiteral(" round trips"));
}

struct ToolCost {
  qint64 roundTrips = 0;  // of the last run
  double maxStallMs = 0;  // over all runs
  qsizetype largestCharacters = 0, mostConstants = 0;  // of one statement text, over all runs
  void to(Line* line) const {
    line->roundTrips = roundTrips;
    line->maxStallMs = maxStallMs;
    line->largestCharacters = largestCharacters;
    line->mostConstants = mostConstants;
    const QString note = roundTripsText(roundTrips) + QStringLiteral(", longest stall ") + duration(maxStallMs);
    line->toolNote = line->toolNote.isEmpty() ? note : line->toolNote + QStringLiteral("; ") + note;
  }
  // The same work as it was before, timed and counted as the tool's: a further comparison.
  void before(Line* line, const QString& what, const std::vector<double>& times) const {
    line->beforeMs = median(times);
    line->beforeRoundTrips = roundTrips;
    line->beforeStallMs = maxStallMs;
    line->against.push_back({what, line->beforeMs, Comparison::Kind::Slower,
                             roundTripsText(roundTrips) + QStringLiteral(", longest stall ") + duration(maxStallMs)});
  }
};

// The constants of a statement text as the server counts them: its string and number literals.
qsizetype constantsIn(const QString& sql) {
  qsizetype n = 0;
  for (const db::tsql::Token& t : db::tsql::tokenize(sql, false))
    n += t.kind == db::tsql::Kind::String || t.kind == db::tsql::Kind::Number;
  return n;
}

template <class F>
double toolTimed(ToolCost* cost, F&& work) {
  qint64 sent = 0;
  // The texts themselves are measured once the clock has stopped (a copy of a QString shares it).
  std::vector<QString> texts;
  connection().setStatementObserver([&sent, &texts](const QString& sql) {
    ++sent;
    texts.push_back(sql);
    if (latencyMs > 0) QThread::msleep(ulong(latencyMs));
  });
  QElapsedTimer clock;
  qint64 last = 0;
  double longest = 0;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  ticker.setInterval(10);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longest = std::max(longest, double(now - last) / 1e6);
    last = now;
  });
  clock.start();
  ticker.start();
  work();
  const qint64 end = clock.nsecsElapsed();
  longest = std::max(longest, double(end - last) / 1e6);
  ticker.stop();
  connection().setStatementObserver({});
  for (const QString& sql : texts) {
    cost->largestCharacters = std::max(cost->largestCharacters, sql.size());
    cost->mostConstants = std::max(cost->mostConstants, constantsIn(sql));
  }
  cost->roundTrips = sent;
  cost->maxStallMs = std::max(cost->maxStallMs, longest);
  return double(end) / 1e6;
}

// The scripted dialogs that answer the windows' messages and questions (Yes unless queued).
widgets::ScriptedDialogs& dialogs() {
  auto* scripted = dynamic_cast<widgets::ScriptedDialogs*>(&widgets::Dialogs::current());
  if (!scripted) {
    auto installed = std::make_unique<widgets::ScriptedDialogs>();
    scripted = installed.get();
    widgets::Dialogs::install(std::move(installed));
  }
  return *scripted;
}

QString lastMessage() {
  const auto& shown = dialogs().shown;
  return shown.isEmpty() ? QString() : shown.last().text;
}

int count(const QString& sql) { return scalar(sql).toInt(); }

// n values spread evenly over a list.
QStringList spread(const QStringList& all, int n) {
  if (n > all.size()) fail(QStringLiteral("the database holds too few employees (%1) for %2").arg(all.size()).arg(n));
  QStringList out;
  for (int i = 0; i < n; ++i) out << all[int(qint64(i) * all.size() / n)];
  return out;
}

// The columns the batch apply renames: its own list, then every further column.
std::vector<host::RefColumn> batchApplyColumns() {
  std::vector<host::RefColumn> out(host::kBatchApply.begin(), host::kBatchApply.end());
  for (const host::RefColumn& c : host::missingFrom(host::kBatchApply, {})) out.push_back(c);
  return out;
}

QStringList renameAll(const QStringList& from, const QStringList& to, int count) {
  static const std::vector<host::RefColumn> columns = batchApplyColumns();
  QStringList out;
  for (int i = 0; i < count; ++i) out << renameStatements(columns.data(), columns.size(), from[i], to[i]);
  return out;
}

// The rows under any of the numbers in every column the batch apply renames, column by column
// (plain statement, no round trip of the tool): two applies of the same rows end alike when these
// agree for the old and for the new numbers.
QStringList rowsPerColumn(const QStringList& numbers) {
  static const std::vector<host::RefColumn> columns = batchApplyColumns();
  const QString in = QStringLiteral(" IN (") + quotedList(numbers) + u')';
  QStringList counts;
  for (const host::RefColumn& c : columns)
    counts << QStringLiteral("SELECT count(*) FROM \"") + c.tableName() + QStringLiteral("\" WHERE \"") +
                  c.columnName() + u'"' + in;
  return column(counts.join(QStringLiteral(" UNION ALL ")));
}

// ---- 1: single renumber ------------------------------------------------------------------------

// The columns the single renumber renames: its own list, then every further column.
QStringList singleRenames(const QString& from, const QString& to) {
  static const std::vector<host::RefColumn> columns = [] {
    std::vector<host::RefColumn> out(host::kSingleCascade.begin(), host::kSingleCascade.end());
    for (const host::RefColumn& c : host::missingFrom(host::kSingleCascade, {})) out.push_back(c);
    return out;
  }();
  return renameStatements(columns.data(), columns.size(), from, to);
}

// Finds the employee with the single window's text search and selects it (a click on its row when
// the search finds several).
void selectEmployee(frm员工Kestrune& w, const QString& number) {
  w.Text1->setText(number);
  w.Text2->clear();
  w.Text3->clear();
  w.Command1->click();
  FlexGrid* g = w.MSFlexGrid1;
  if (g->Rows() > 2)
    for (int r = 1; r < g->Rows(); ++r)
      if (g->TextMatrix(r, 1) == number) {
        g->clickCell(r, 1);
        break;
      }
  if (!w.Frame2->isEnabled() || w.Label1[4]->property("Tag").toString() != number)
    fail(QStringLiteral("the single window could not select employee ") + number + QStringLiteral(": ") +
         lastMessage());
}

}  // namespace

Line measureSingle(const Context& cx) {
  const Plan& p = cx.plan;
  // Five-digit numbers: a search for one finds few other employees.
  const QStringList numbers =
      spread(column(QStringLiteral("SELECT 工号 FROM 员工档案 WHERE length(工号)=5 ORDER BY ID")), p.runs);
  frm员工Kestrune w(session());
  w.show();
  std::vector<double> tool, bareTx, autocommit;
  ToolCost cost;
  for (int r = 0; r < p.runs; ++r) {
    const QString o = numbers[r], n = QString::number(9100000 + r), warm = QString::number(9200000 + r);
    const QString holdsNew = QStringLiteral("SELECT count(*) FROM 员工档案 WHERE 工号=") + db::sqlQuote(n);
    const QString holdsOld = QStringLiteral("SELECT count(*) FROM 员工档案 WHERE 工号=") + db::sqlQuote(o);
    // A round trip first, so that every timed step finds the employee's rows in memory.
    runBare(singleRenames(o, warm), true);
    runBare(singleRenames(warm, o), true);

    selectEmployee(w, o);
    w.Text4->setText(n);
    dialogs().shown.clear();
    tool.push_back(toolTimed(&cost, [&] { w.Command3->click(); }));
    if (!lastMessage().startsWith(QStringLiteral("修改成功")) || count(holdsNew) != 1 || count(holdsOld) != 0)
      fail(QStringLiteral("the single renumber of ") + o + QStringLiteral(" did not happen: ") + lastMessage());

    bareTx.push_back(timed([&] { runBare(singleRenames(n, o), true); }));
    if (count(holdsOld) != 1) fail(QStringLiteral("the bare statements did not rename ") + n);
    autocommit.push_back(timed([&] { runBare(singleRenames(o, n), false); }));
    if (count(holdsNew) != 1) fail(QStringLiteral("the autocommit statements did not rename ") + o);
    runBare(singleRenames(n, o), true);
    cx.progress(QStringLiteral("  single run %1: window %2, bare %3, autocommit %4")
                    .arg(r + 1)
                    .arg(duration(tool.back()), duration(bareTx.back()), duration(autocommit.back())));
  }
  Line line;
  line.id = QStringLiteral("1");
  line.measure =
      QStringLiteral("single renumber: Command3 of the single window (existence check, 92 updates, message)");
  line.toolMs = median(tool);
  line.against.push_back(
      {QStringLiteral("the 92 updates, one transaction"), median(bareTx), Comparison::Kind::Floor, {}});
  line.against.push_back(
      {QStringLiteral("the 92 updates, autocommit"), median(autocommit), Comparison::Kind::Slower, {}});
  line.target = QStringLiteral("<= 1.5x one transaction");
  line.holds = line.against[0].factor(line.toolMs) <= 1.5;
  cost.to(&line);
  return line;
}

// ---- 2: batch apply ----------------------------------------------------------------------------

Line measureBatch(const Context& cx) {
  const Plan& p = cx.plan;
  const int b = p.batchEmployees, sample = p.autocommitSample;
  const QStringList olds = spread(column(QStringLiteral("SELECT 工号 FROM 员工档案 ORDER BY ID")), b);
  QStringList news, warms;
  for (int i = 0; i < b; ++i) {
    news << QString::number(8100000 + i);
    warms << QString::number(8200000 + i);
  }
  const QString holdNew = QStringLiteral("SELECT count(*) FROM 员工档案 WHERE 工号 IN (") + quotedList(news) + u')';
  const QString holdOld = QStringLiteral("SELECT count(*) FROM 员工档案 WHERE 工号 IN (") + quotedList(olds) + u')';
  if (count(holdOld) != b) fail(QStringLiteral("the batch's employees are not in the register"));

  frm员工工号统一修改 w(session());
  w.show();
  FlexGrid* g = w.MSFlexGrid1;
  g->setRows(b + 1);
  for (int i = 0; i < b; ++i) {
    g->setTextMatrix(i + 1, 0, QString::number(i + 1));
    g->setTextMatrix(i + 1, 1, olds[i]);
    g->setTextMatrix(i + 1, 2, news[i]);
  }
  // A round trip first, so that the timed steps find the rows in memory.
  runBare(renameAll(olds, warms, b), true);
  runBare(renameAll(warms, olds, b), true);

  batch::Rows rows;
  for (int i = 0; i < b; ++i) rows.push_back({olds[i], news[i]});

  std::vector<double> tool, bareTx, autocommit, before;
  ToolCost cost, beforeCost;
  for (int r = 0; r < p.runs; ++r) {
    dialogs().shown.clear();
    w.Command3->setEnabled(true);  // as after a passed check and the export of the old/new table
    tool.push_back(toolTimed(&cost, [&] { w.Command3->click(); }));
    if (lastMessage() != QStringLiteral("修改完成") || count(holdNew) != b)
      fail(QStringLiteral("the batch apply did not happen: ") + lastMessage());
    const QStringList toolNew = p.before ? rowsPerColumn(news) : QStringList();
    const QStringList toolOld = p.before ? rowsPerColumn(olds) : QStringList();

    bareTx.push_back(timed([&] { runBare(renameAll(news, olds, b), true); }));
    if (count(holdOld) != b) fail(QStringLiteral("the bare batch did not rename every employee"));
    if (p.before) {
      // The apply as it was, on the same rows from the same state; it must end as the tool's did.
      const QStringList start = rowsPerColumn(olds);
      batch::oneByOne::Apply done;
      before.push_back(toolTimed(&beforeCost, [&] { done = batch::oneByOne::apply(connection(), rows); }));
      if (!done.applied() || count(holdNew) != b || rowsPerColumn(news) != toolNew || rowsPerColumn(olds) != toolOld)
        fail(QStringLiteral("the apply as it was did not end as the tool's"));
      runBare(renameAll(news, olds, b), true);
      if (rowsPerColumn(olds) != start) fail(QStringLiteral("the bare statements did not undo the apply as it was"));
    }
    // Autocommit costs one commit per statement: sent for a sample and scaled up.
    const double sampleMs = timed([&] { runBare(renameAll(olds, news, sample), false); });
    autocommit.push_back(sampleMs * b / sample);
    runBare(renameAll(news, olds, sample), true);
    if (count(holdOld) != b) fail(QStringLiteral("the autocommit sample was not restored"));
    cx.progress(QStringLiteral("  batch run %1: window %2, bare %3, autocommit %4 (scaled)%5")
                    .arg(r + 1)
                    .arg(duration(tool.back()), duration(bareTx.back()), duration(autocommit.back()),
                         p.before ? QStringLiteral(", as it was ") + duration(before.back()) : QString()));
  }
  Line line;
  line.id = QStringLiteral("2");
  line.measure = QStringLiteral("batch apply of %1 employees: Command3 (check, then %2 updates in one transaction)")
                     .arg(b)
                     .arg(batch::applyStatements(QString(), QString(), {}).size() * b);
  line.toolMs = median(tool);
  line.against.push_back(
      {QStringLiteral("the same updates, one transaction"), median(bareTx), Comparison::Kind::Floor, {}});
  line.against.push_back(
      {QStringLiteral("the same updates, autocommit"), median(autocommit), Comparison::Kind::Slower,
       sample == b ? QString()
                   : QStringLiteral("sent for %1 employees, scaled x%2").arg(sample).arg(double(b) / sample)});
  line.target = QStringLiteral("<= 2x one transaction; >= 20x faster than autocommit");
  line.holds = line.against[0].factor(line.toolMs) <= 2 && line.against[1].factor(line.toolMs) >= 20;
  cost.to(&line);
  if (p.before)
    beforeCost.before(&line, QStringLiteral("the apply as it was: a query per number, an execution per row"), before);
  return line;
}

// ---- 3: listing and search ---------------------------------------------------------------------

Line measureListing(const Context& cx) {
  const Plan& p = cx.plan;
  const int employees = count(QStringLiteral("SELECT count(*) FROM 员工档案"));
  // For this measurement only (rolled back): every category belongs to rule 1 and every employee
  // holds a position, so that the rule lists the whole register.
  runBare(QStringLiteral("BEGIN"));
  Line line;
  try {
    runBare(QStringLiteral("UPDATE 员工类别 SET 类别码='1'"));
    runBare(
        QStringLiteral("UPDATE 员工档案 SET 岗位编号=(SELECT min(岗位代号) FROM 岗位信息new) WHERE 岗位编号 IS NULL OR "
                       "岗位编号 NOT IN (SELECT 岗位代号 FROM 岗位信息new)"));
    frm员工工号统一修改 w(session());
    w.show();
    QApplication::processEvents();
    int index = -1;
    for (int i = 0; i < w.Combo1->count(); ++i)
      if (w.Combo1->itemText(i).startsWith(QStringLiteral("1 "))) index = i;
    if (index < 0) fail(QStringLiteral("the batch window offers no rule 1"));
    {
      const QSignalBlocker quiet(w.Combo1);
      w.Combo1->setCurrentIndex(index);
    }
    std::vector<double> times;
    ToolCost cost;
    for (int r = 0; r < p.runs; ++r) {
      times.push_back(toolTimed(&cost, [&] {
        w.列表();
        QApplication::processEvents();  // the grid painted
      }));
      if (w.MSFlexGrid1->Rows() - 1 != employees)
        fail(QStringLiteral("the listing shows %1 employees, not %2").arg(w.MSFlexGrid1->Rows() - 1).arg(employees));
      cx.progress(QStringLiteral("  listing run %1: %2").arg(r + 1).arg(duration(times.back())));
    }
    line.id = QStringLiteral("3a");
    line.measure = QStringLiteral("listing of a rule with %1 employees into the batch window's grid").arg(employees);
    line.toolMs = median(times);
    line.target = QStringLiteral("< 2 s");
    line.holds = line.toolMs < 2000;
    cost.to(&line);
  } catch (...) {
    runBare(QStringLiteral("ROLLBACK"));
    throw;
  }
  runBare(QStringLiteral("ROLLBACK"));
  return line;
}

Line measureSearch(const Context& cx) {
  const Plan& p = cx.plan;
  const QString text = QStringLiteral("王");
  const int employees = count(QStringLiteral("SELECT count(*) FROM 员工档案"));
  const int expected = count(QStringLiteral("SELECT count(*) FROM 员工档案 WHERE 姓名 LIKE '%王%'"));
  frm员工Kestrune w(session());
  w.show();
  w.Text2->setText(text);
  std::vector<double> times;
  ToolCost cost;
  for (int r = 0; r < p.runs; ++r) {
    dialogs().shown.clear();
    times.push_back(toolTimed(&cost, [&] {
      w.Command1->click();
      QApplication::processEvents();
    }));
    if (w.MSFlexGrid1->Rows() - 1 != expected)
      fail(QStringLiteral("the search found %1 employees, not %2").arg(w.MSFlexGrid1->Rows() - 1).arg(expected));
    cx.progress(QStringLiteral("  search run %1: %2").arg(r + 1).arg(duration(times.back())));
  }
  Line line;
  line.id = QStringLiteral("3b");
  line.measure = QStringLiteral("text search over %1 employees: name \"%2\", Command1").arg(employees).arg(text);
  line.toolMs = median(times);
  line.toolNote = QStringLiteral("%1 hits").arg(expected);
  cost.to(&line);
  return line;
}

// ---- 7: impact preview, 8: database check ------------------------------------------------------

Line measurePreview(const Context& cx) {
  const Plan& p = cx.plan;
  const QStringList olds =
      column(QStringLiteral("SELECT 工号 FROM 员工档案 ORDER BY ID LIMIT %1").arg(p.batchEmployees));
  std::vector<preview::Pair> pairs;
  for (const QString& o : olds) pairs.emplace_back(o, QStringLiteral("8") + o);
  std::vector<preview::Column> columns;
  for (const host::RefColumn& c : host::allColumns({}))
    columns.push_back({c.tableName(), c.columnName(), false, c.extraCondition()});
  std::vector<double> times;
  ToolCost cost;
  preview::Impact impact;
  for (int r = 0; r < p.runs; ++r) {
    // As the batch window counts: under its progress dialog.
    times.push_back(toolTimed(&cost, [&] {
      widgets::ProgressDialog progress(nullptr, QStringLiteral("正在统计影响：第 %1 / %2 列"));
      impact = preview::impact(connection(), columns, pairs, progress.callback());
    }));
    if (impact.totalOld < qint64(olds.size())) fail(QStringLiteral("the preview counted too few rows"));
    cx.progress(QStringLiteral("  preview run %1: %2").arg(r + 1).arg(duration(times.back())));
  }
  Line line;
  line.id = QStringLiteral("7");
  line.measure =
      QStringLiteral("impact preview of %1 employees: rows per column under the old and new numbers").arg(olds.size());
  line.toolMs = median(times);
  line.toolNote = QStringLiteral("%1 rows would move").arg(impact.totalOld);
  cost.to(&line);
  return line;
}

Line measureDbCheck(const Context& cx) {
  const Plan& p = cx.plan;
  std::vector<double> times;
  ToolCost cost;
  dbcheck::Report report;
  for (int r = 0; r < p.runs; ++r) {
    times.push_back(toolTimed(&cost, [&] {
      widgets::ProgressDialog progress(nullptr, QStringLiteral("正在检查数据库：第 %1 / %2 列"));
      report = dbcheck::check(connection(), {}, progress.callback());
    }));
    if (!report.missing.empty()) fail(QStringLiteral("the check found missing columns in the generated database"));
    cx.progress(QStringLiteral("  check run %1: %2").arg(r + 1).arg(duration(times.back())));
  }
  Line line;
  line.id = QStringLiteral("8");
  line.measure =
      QStringLiteral("database check: catalogue, keys, triggers, every column the tool does not rewrite (sampled)");
  line.toolMs = median(times);
  line.toolNote = QStringLiteral("%1 findings").arg(report.suspects.size() + report.missing.size());
  cost.to(&line);
  return line;
}

// ---- 9: the journal window ---------------------------------------------------------------------

Line measureJournal(const Context& cx) {
  constexpr qint64 kJournalBytes = 30LL * 1024 * 1024;
  constexpr int kSingles = 200;  // single renumbers besides the batch
  db::Database& database = connection();
  // A session of its own: the journal in the work folder (closed with the session).
  session::Session journaled(database, {QStringLiteral("sqlite:bench-journal"), QString(), QStringLiteral("bench")},
                             QDir(cx.workDir).filePath(QStringLiteral("renumber.ini")),
                             QDir(cx.workDir).filePath(QStringLiteral("journal")));
  QFile::remove(journaled.journal().file());
  if (const QString problem = journaled.openJournal(); !problem.isEmpty()) fail(problem);
  // One batch apply whose statement fills the journal, as the tool writes it (its rows of
  // kRowsPerExecution renames an execution), among single renumbers.
  const QStringList numbers = column(QStringLiteral("SELECT 工号 FROM 员工档案 ORDER BY ID"));
  if (numbers.isEmpty()) fail(QStringLiteral("the register is empty"));
  for (int i = 0; i < kSingles; ++i) {
    const QString o = numbers[i % numbers.size()], n = QStringLiteral("7") + o;
    journal::Recorder(journaled.journal(), database, journal::singleRenumber(), journal::pairs({{o, n}}),
                      batch::applyBatch(o, n, {}), {})
        .committed();
  }
  std::vector<std::pair<QString, QString>> oldNew;
  QString statement;
  for (qsizetype i = 0, stored = 0; stored < kJournalBytes; ++i) {  // as the file stores it (UTF-8)
    const QString o = numbers[i % numbers.size()], n = QStringLiteral("8") + o;
    oldNew.emplace_back(o, n);
    if (i > 0) statement += i % batch::kRowsPerExecution == 0 ? QStringLiteral("\n") : QStringLiteral(" ");
    const QString text = batch::applyBatch(o, n, {});
    statement += text;
    stored += text.toUtf8().size() + 1;
  }
  journal::Recorder(journaled.journal(), database, journal::batchApply(), journal::pairs(oldNew), statement, {})
      .committed();
  statement.clear();
  const qint64 bytes = QFileInfo(journaled.journal().file()).size();
  if (bytes < kJournalBytes) fail(QStringLiteral("the journal holds only %1 bytes").arg(bytes));
  const int entries = kSingles + 1;

  std::vector<double> times;
  ToolCost cost;
  for (int r = 0; r < cx.plan.runs; ++r) {
    // The window opened as the menu opens it: the list, and the newest entry's details.
    times.push_back(toolTimed(&cost, [&] {
      frm修改记录 w(journaled);
      w.show();
      QCoreApplication::processEvents();
      if (w.MSFlexGrid1->Rows() != entries + 1 || w.Text5->toPlainText().isEmpty())
        fail(QStringLiteral("the window listed %1 rows").arg(w.MSFlexGrid1->Rows() - 1));
    }));
    cx.progress(QStringLiteral("  journal window run %1: %2").arg(r + 1).arg(duration(times.back())));
  }
  // As it was: every entry read whole, the newest one's text shown.
  const double before = timed([&] {
    const std::vector<journal::Entry> all = journaled.journal().entries();
    QPlainTextEdit details;
    details.setPlainText(journal::entryText(all.front()));
    details.show();
    QCoreApplication::processEvents();
  });
  cx.progress(QStringLiteral("  the whole journal read and shown: %1").arg(duration(before)));

  Line line;
  line.id = QStringLiteral("9");
  line.measure = QStringLiteral("journal window opened on a journal of %1 MB (%2 entries, one batch of %3 employees)")
                     .arg(double(bytes) / 1048576.0, 0, 'f', 1)
                     .arg(entries)
                     .arg(oldNew.size());
  line.toolMs = median(times);
  line.against.push_back({QStringLiteral("every entry read whole and the newest shown (as before)"), before,
                          Comparison::Kind::Slower, QStringLiteral("1 run")});
  line.target = QStringLiteral("< 1 s");
  line.holds = line.toolMs < 1000;
  cost.to(&line);
  return line;
}

// ---- 4: automatic check ------------------------------------------------------------------------

namespace {

// A work list of n rows with k conflicts: half of them a number that another row of the list
// proposes too, half a number that an employee of the register holds. The other numbers are
// free five-digit numbers below 32767, drawn at random, so repairs run into each other.
batch::Rows checkList(int n, int k) {
  const QStringList registerNumbers = column(QStringLiteral("SELECT 工号 FROM 员工档案 ORDER BY ID"));
  const QSet<QString> taken(registerNumbers.begin(), registerNumbers.end());
  std::mt19937 rng(20261208);
  QStringList free, held;
  for (int v = 10000; v < 32767; ++v) (taken.contains(QString::number(v)) ? held : free) << QString::number(v);
  std::shuffle(free.begin(), free.end(), rng);
  std::shuffle(held.begin(), held.end(), rng);
  const int twins = k / 2, inRegister = k - twins;
  if (free.size() < n - k || held.size() < inRegister)
    fail(QStringLiteral("the register leaves too few numbers for a list of %1 rows").arg(n));

  QStringList numbers = free.mid(0, n - k);
  for (int i = 0; i < inRegister; ++i) numbers << held[i];
  for (int i = 0; i < twins; ++i) numbers << numbers[int(rng() % quint32(n - k))];
  std::shuffle(numbers.begin(), numbers.end(), rng);

  batch::Rows rows;
  rows.reserve(std::size_t(n));
  for (int i = 0; i < n; ++i) {
    QString old = registerNumbers[i % registerNumbers.size()];
    if (old == numbers[i]) old = registerNumbers[(i + 1) % registerNumbers.size()];
    rows.push_back({old, numbers[i]});
  }
  return rows;
}

}  // namespace

Line measureCheck(const Context& cx) {
  const Plan& p = cx.plan;
  const batch::Rows list = checkList(p.checkRows, p.checkConflicts);
  db::Database& database = connection();

  frm员工工号统一修改 w(session());
  w.show();
  w.Check2->setChecked(true);
  FlexGrid* g = w.MSFlexGrid1;
  g->setRows(int(list.size()) + 1);
  for (std::size_t i = 0; i < list.size(); ++i) {
    g->setTextMatrix(int(i) + 1, 0, QString::number(i + 1));
    g->setTextMatrix(int(i) + 1, 1, list[i].oldNo);
  }

  // The window's grid after its check must hold the numbers and colours another algorithm gave.
  auto sameGrid = [&](const batch::Rows& rows, const batch::Outcome& outcome, const QString& who) {
    const std::vector<batch::Mark> marks = batch::marks(rows.size(), outcome);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const int gr = int(i) + 1;
      const bool coloured = g->CellBackColor(gr, 1) == batch::duplicateColour();
      if (g->TextMatrix(gr, 2) != rows[i].newNo || coloured != (marks[i] == batch::Mark::Duplicate))
        fail(QStringLiteral("row %1: the window's check gives %2, %3 %4")
                 .arg(gr)
                 .arg(g->TextMatrix(gr, 2), who, rows[i].newNo));
    }
  };

  std::vector<double> fast, literal, before;
  ToolCost beforeCost;
  qsizetype fastQueries = 0, literalQueries = 0;
  std::size_t repairs = 0;
  // The literal algorithm takes minutes at full size: at most three runs.
  const int literalRuns = std::min(p.runs, 3);
  qsizetype sent = 0;  // statements of the literal algorithm
  ToolCost cost;
  for (int r = 0; r < p.runs; ++r) {
    for (std::size_t i = 0; i < list.size(); ++i) g->setTextMatrix(int(i) + 1, 2, list[i].newNo);
    w.Command2->setEnabled(true);  // as after a proposal
    w.Command4->setEnabled(false);
    fast.push_back(toolTimed(&cost, [&] { w.Command2->click(); }));
    fastQueries = cost.roundTrips;
    if (!w.Command4->isEnabled() || !w.Label2->text().startsWith(QStringLiteral("核对通过")))
      fail(QStringLiteral("the automatic check did not pass: ") + w.Label2->text());

    if (r < literalRuns) {
      batch::Rows rows = list;
      sent = 0;
      batch::Outcome outcome;
      const batch::RegisterLookup lookup = batch::registerLookup(database);
      database.setStatementObserver([&sent](const QString&) { ++sent; });
      literal.push_back(timed([&] { outcome = batch::literal::autoResolve(rows, lookup); }));
      database.setStatementObserver({});
      literalQueries = sent;
      // A million waits would take hours: the literal algorithm's latency is added, not waited.
      literal.back() += double(literalQueries) * latencyMs;
      // The same final grid: the same numbers and the same rows coloured.
      sameGrid(rows, outcome, QStringLiteral("the literal algorithm"));
      repairs = outcome.repairs.size();
    }
    if (p.before) {
      // The check as it was: the same algorithm asking the register one number per query.
      batch::Rows rows = list;
      batch::Outcome outcome;
      before.push_back(
          toolTimed(&beforeCost, [&] { outcome = batch::autoResolve(rows, batch::registerLookup(database)); }));
      sameGrid(rows, outcome, QStringLiteral("the check as it was"));
    }
    cx.progress(QStringLiteral("  check run %1: window %2, literal %3%4")
                    .arg(r + 1)
                    .arg(duration(fast.back()), r < literalRuns ? duration(literal.back()) : QStringLiteral("-"),
                         p.before ? QStringLiteral(", as it was ") + duration(before.back()) : QString()));
  }
  Line line;
  line.id = QStringLiteral("4");
  line.measure = QStringLiteral("automatic check of %1 rows with %2 conflicts: Command2 (%3 repairs)")
                     .arg(p.checkRows)
                     .arg(p.checkConflicts)
                     .arg(repairs);
  line.toolMs = median(fast);
  QString literalNote = QStringLiteral("%1 queries, %2x more")
                            .arg(literalQueries)
                            .arg(fastQueries > 0 ? QString::number(double(literalQueries) / double(fastQueries), 'f', 0)
                                                 : QStringLiteral("-"));
  if (literalRuns < p.runs) literalNote += QStringLiteral("; median of %1 runs").arg(literalRuns);
  if (latencyMs > 0) literalNote += QStringLiteral("; %1 ms per query added, not waited").arg(latencyMs);
  line.against.push_back(
      {QStringLiteral("the literal algorithm, same end grid"), median(literal), Comparison::Kind::Slower, literalNote});
  line.target = QStringLiteral("< 2 s; >= 100x faster, >= 100x fewer queries");
  line.holds = line.toolMs < 2000 && line.against[0].factor(line.toolMs) >= 100 &&
               literalQueries >= 100 * std::max<qsizetype>(fastQueries, 1);
  cost.to(&line);
  if (p.before) beforeCost.before(&line, QStringLiteral("the check as it was: a query per number"), before);
  return line;
}

// ---- 5: staging ---------------------------------------------------------------------------------

Line measureStaging(const Context& cx) {
  const Plan& p = cx.plan;
  const int wanted = p.stageEmployees;
  // A base copy whose register has exactly the wanted number of employees without a position.
  const QString base = QDir(cx.workDir).filePath(QStringLiteral("stage-base.db"));
  const QString copy = QDir(cx.workDir).filePath(QStringLiteral("stage-run.db"));
  openCopy(cx.cacheFile, base);
  const int have = count(QStringLiteral("SELECT count(*) FROM 员工档案 WHERE 岗位编号 IS NULL"));
  if (have < wanted)
    runBare(QStringLiteral(
                "UPDATE 员工档案 SET 岗位编号=NULL WHERE ID IN (SELECT ID FROM 员工档案 WHERE 岗位编号 IS NOT NULL "
                "ORDER BY (ID * 7919) % 10007 LIMIT %1)")
                .arg(wanted - have));
  if (have > wanted)
    runBare(QStringLiteral(
                "UPDATE 员工档案 SET 岗位编号=(SELECT min(岗位代号) FROM 岗位信息new) WHERE ID IN (SELECT ID FROM "
                "员工档案 WHERE 岗位编号 IS NULL ORDER BY ID LIMIT %1)")
                .arg(have - wanted));
  // The staging refuses a "9" number that an employee with a position holds: such holders get
  // another number first (their records stay, and the staging's merge question is answered Yes).
  runBare(QStringLiteral(
      "UPDATE 员工档案 SET 工号='B'||工号 WHERE 岗位编号 IS NOT NULL AND 工号 IN (SELECT '9'||工号 FROM 员工档案 "
      "WHERE 岗位编号 IS NULL)"));
  closeShared();

  const QString noPosition = QStringLiteral("SELECT 工号 FROM 员工档案 WHERE 岗位编号 IS NULL ORDER BY ID");
  // Every employee without a position has a "9" in front of the number it had before.
  auto checkStaged = [&](const QStringList& before, const QString& who) {
    const QStringList after = column(noPosition);
    bool staged = after.size() == before.size();
    for (qsizetype i = 0; staged && i < after.size(); ++i) staged = after[i] == u'9' + before[i];
    if (!staged) fail(who + QStringLiteral(" did not put 9 in front of every number: ") + lastMessage());
  };
  std::vector<double> times, bare;
  ToolCost cost;
  for (int r = 0; r < p.runs; ++r) {
    openCopy(base, copy);
    const QStringList before = column(noPosition);
    if (before.size() != wanted)
      fail(QStringLiteral("%1 employees without a position, not %2").arg(before.size()).arg(wanted));
    {
      frm员工工号统一修改 w(session());
      w.show();
      dialogs().shown.clear();
      times.push_back(toolTimed(&cost, [&] { w.Command5->click(); }));
    }
    checkStaged(before, QStringLiteral("the staging script"));

    openCopy(base, copy);
    bare.push_back(timed([&] { runBare(stagingStatements(), true); }));
    checkStaged(before, QStringLiteral("the bare staging statements"));
    closeShared();
    cx.progress(QStringLiteral("  staging run %1: window %2, bare %3")
                    .arg(r + 1)
                    .arg(duration(times.back()), duration(bare.back())));
  }
  QFile::remove(copy);
  QFile::remove(base);
  Line line;
  line.id = QStringLiteral("5");
  line.measure = QStringLiteral("staging script over %1 employees without a position: Command5 (%2 batches)")
                     .arg(wanted)
                     .arg(batch::stagingStatements({}).size());
  line.toolMs = median(times);
  line.against.push_back({QStringLiteral("the %1 statements, one transaction").arg(stagingStatements().size()),
                          median(bare),
                          Comparison::Kind::Floor,
                          {}});
  cost.to(&line);
  return line;
}

// ---- all ----------------------------------------------------------------------------------------

std::vector<Line> runAll(const Context& cx, QStringList* failures) {
  const Plan& p = cx.plan;
  latencyMs = p.latencyMs;
  dialogs();
  QDir().mkpath(cx.workDir);
  const QString scratch = QDir(cx.workDir).filePath(QStringLiteral("scratch.db"));
  struct Step {
    QString name, id, measure;
    Line (*run)(const Context&);
  };
  // Staging runs last: it replaces the benchmark's connection with copies of its own.
  const Step steps[] = {
      {QStringLiteral("single"), QStringLiteral("1"), QStringLiteral("single renumber"), measureSingle},
      {QStringLiteral("batch"), QStringLiteral("2"), QStringLiteral("batch apply"), measureBatch},
      {QStringLiteral("listing"), QStringLiteral("3a"), QStringLiteral("listing"), measureListing},
      {QStringLiteral("search"), QStringLiteral("3b"), QStringLiteral("text search"), measureSearch},
      {QStringLiteral("check"), QStringLiteral("4"), QStringLiteral("automatic check"), measureCheck},
      {QStringLiteral("export"), QStringLiteral("6"), QStringLiteral("export"), measureExport},
      {QStringLiteral("preview"), QStringLiteral("7"), QStringLiteral("impact preview"), measurePreview},
      {QStringLiteral("dbcheck"), QStringLiteral("8"), QStringLiteral("database check"), measureDbCheck},
      {QStringLiteral("journal"), QStringLiteral("9"), QStringLiteral("journal window"), measureJournal},
      {QStringLiteral("staging"), QStringLiteral("5"), QStringLiteral("staging script"), measureStaging},
  };
  std::vector<Line> lines;
  bool scratchOpen = false;
  for (const Step& step : steps) {
    if (!p.wants(step.name)) continue;
    cx.progress(QStringLiteral("measuring: ") + step.name);
    try {
      if (step.name != QStringLiteral("staging") && !scratchOpen) {
        openCopy(cx.cacheFile, scratch);
        scratchOpen = true;
      }
      lines.push_back(step.run(cx));
    } catch (const std::exception& e) {
      Line failed;
      failed.id = step.id;
      failed.measure = step.measure;
      failed.skipped = QStringLiteral("failed: ") + QString::fromUtf8(e.what());
      lines.push_back(failed);
      failures->append(step.name + QStringLiteral(": ") + QString::fromUtf8(e.what()));
      // The scratch copy may be in any state now: the next step starts from a fresh one.
      scratchOpen = false;
    }
  }
  closeShared();
  QFile::remove(scratch);
  std::sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) { return a.id < b.id; });
  return lines;
}

QString machineSummary() {
  QString cpu;
  QFile cpuinfo(QStringLiteral("/proc/cpuinfo"));
  if (cpuinfo.open(QIODevice::ReadOnly))
    for (const QByteArray& l : cpuinfo.readAll().split('\n'))
      if (l.startsWith("model name")) {
        cpu = QString::fromUtf8(l.mid(l.indexOf(':') + 1)).trimmed();
        break;
      }
  double memoryGb = 0;
  QFile meminfo(QStringLiteral("/proc/meminfo"));
  if (meminfo.open(QIODevice::ReadOnly))
    for (const QByteArray& l : meminfo.readAll().split('\n'))
      if (l.startsWith("MemTotal:")) memoryGb = l.mid(9).trimmed().split(' ').first().toDouble() / (1024.0 * 1024.0);
  return QStringLiteral("%1 cores (nproc), CPU %2, %3 GB memory; %4; Qt %5, SQLite %6")
      .arg(QThread::idealThreadCount())
      .arg(cpu.isEmpty() ? QStringLiteral("unknown") : cpu)
      .arg(memoryGb, 0, 'f', 1)
      .arg(QSysInfo::prettyProductName(), QString::fromLatin1(qVersion()), QString::fromLatin1(sqlite3_libversion()));
}

}  // namespace bench
