// The table export's steps through a recording engine: their order and count, the table written
// 500 rows a step, and a stop or an engine failure at any step leaving no workbook behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "calc/table_export.h"

using ::testing::ElementsAre;

namespace {

// Records every call; a workbook file is written on create and on save only. failAt names a call
// that throws the engine's error.
struct Recorder : calc::Engine {
  QStringList calls;
  QString failAt;
  int opened = 0, closed = 0;  // workbooks
  void record(const QString& call) {
    calls << call;
    if (call.startsWith(failAt) && !failAt.isEmpty()) throw calc::EngineError("engine fails at " + call);
  }
  static void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
  }
  struct Book : calc::Workbook {
    Recorder& r;
    QString path;
    Book(Recorder& rec, QString p) : r(rec), path(std::move(p)) { ++r.opened; }
    ~Book() override { close(); }
    bool closed = false;
    int findSheet(const QString& name) override { return r.record("find " + name), -1; }
    int addSheetAfterLast(const QString& name) override { return r.record("add " + name), 1; }
    void showSheet(int s) override { r.record(QString("show %1").arg(s)); }
    void clearUsedArea(int s) override { r.record(QString("clear %1").arg(s)); }
    void setCellText(int, int row, int col, const QString& t) override {
      r.record(QString("cell %1,%2 %3").arg(row).arg(col).arg(t));
    }
    void writeTextTable(int, int first, const QList<QStringList>& rows) override {
      r.record(QString("table %1+%2 %3").arg(first).arg(rows.size()).arg(rows.last().join('|')));
    }
    void merge(int, const calc::CellRange& c) override {
      r.record(QString("merge %1,%2-%3,%4").arg(c.top).arg(c.left).arg(c.bottom).arg(c.right));
    }
    void centreRows(int, int a, int b) override { r.record(QString("centre %1-%2").arg(a).arg(b)); }
    void drawBorders(int, const calc::CellRange& c) override {
      r.record(QString("borders %1,%2-%3,%4").arg(c.top).arg(c.left).arg(c.bottom).arg(c.right));
    }
    void setRowFontSize(int, int row, double p) override { r.record(QString("rowfont %1 %2").arg(row).arg(p)); }
    void setFontSize(int, const calc::CellRange& c, double p) override {
      r.record(QString("font %1-%2 %3").arg(c.top).arg(c.bottom).arg(p));
    }
    void fitColumns(int, int a, int b) override { r.record(QString("fit %1-%2").arg(a).arg(b)); }
    void activateSheet(int s) override { r.record(QString("activate %1").arg(s)); }
    void save() override {
      r.record("save");
      write(path, "saved");
    }
    void close() override {
      if (closed) return;
      closed = true;
      r.calls << "close";
      ++r.closed;
    }
  };
  void createWorkbook(const QString& path, const QString& sheet) override {
    record("create " + sheet);
    write(path, "new");
  }
  std::unique_ptr<calc::Workbook> open(const QString& path) override {
    record("open");
    return std::make_unique<Book>(*this, path);
  }
  void setWhileStarting(std::function<void()>) override {}
};

QList<QStringList> table(int rows) {
  QList<QStringList> t{{"原工号", "新工号"}};
  for (int i = 1; i < rows; ++i) t.append({QString::number(i), QString::number(10000 + i)});
  return t;
}

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

TEST(TableExport, WritesANewWorkbookInCountedStepsOf500Rows) {
  QTemporaryDir dir;
  Recorder engine;
  QList<std::pair<int, int>> reports;
  const calc::TableExport job{dir.filePath("a.xls"), "标题一", "2024-03-07", "工程", table(1001)};
  calc::exportTable(engine, job, [&](int done, int total) {
    reports.append({done, total});
    return true;
  });
  EXPECT_THAT(engine.calls, ElementsAre("create 工程", "open", "find 工程", "add 工程", "show 1", "clear 1",
                                        "cell 1,1 标题一", "cell 2,1 2024-03-07", "table 3+500 499|10499",
                                        "table 503+500 999|10999", "table 1003+1 1000|11000", "merge 1,1-1,2",
                                        "merge 2,1-2,2", "centre 1-2", "borders 3,1-1003,2", "rowfont 1 18",
                                        "rowfont 2 12", "font 3-1003 10.5", "fit 1-2", "activate 1", "save", "close"));
  ASSERT_EQ(reports.size(), 16);  // 15 steps (3 of them the table), then the report after the save
  for (int i = 0; i < 16; ++i) EXPECT_EQ(reports[i], std::make_pair(i, 16));
  EXPECT_EQ(contents(job.path), "saved");
}

TEST(TableExport, EmptyLastColumnsAreLeftOut) {
  QTemporaryDir dir;
  Recorder engine;
  const calc::TableExport job{
      dir.filePath("a.xls"), "t", "d", "工程", {{"原工号", "", "姓名", "", ""}, {"1", "", "", "", ""}}};
  calc::exportTable(engine, job, [](int, int) { return true; });
  for (const char* call : {"table 3+2 1||", "merge 1,1-1,3", "borders 3,1-4,3", "fit 1-3"})
    EXPECT_TRUE(engine.calls.contains(call)) << call;
  EXPECT_EQ(calc::withoutEmptyLastColumns({{"", ""}, {"", ""}}), (QList<QStringList>{{""}, {""}}));
}

TEST(TableExport, AStopOrAFailureAtAnyStepSavesNothingAndRemovesANewWorkbook) {
  QTemporaryDir dir;
  const QString fresh = dir.filePath("new.xls");
  const QString existing = dir.filePath("old.xls");
  Recorder::write(existing, "old");
  for (const QString& path : {fresh, existing}) {
    for (int stopAt = 0; stopAt < 13; ++stopAt) {  // 13 steps for a table of one step, the save the last
      SCOPED_TRACE(path.toStdString() + " stop at " + std::to_string(stopAt));
      Recorder engine;
      const calc::TableExport job{path, "t", "d", "工程", table(3)};
      EXPECT_THROW(calc::exportTable(engine, job, [&](int done, int) { return done < stopAt; }), calc::Stopped);
      EXPECT_FALSE(engine.calls.contains("save"));
      EXPECT_EQ(engine.closed, engine.opened);
      EXPECT_EQ(contents(path), path == existing ? "old" : "(none)");
    }
    for (const char* call : {"create", "open", "add", "table", "borders", "save"}) {
      if (path == existing && QString(call) == "create") continue;  // nothing to create
      SCOPED_TRACE(path.toStdString() + " fails at " + call);
      Recorder engine;
      engine.failAt = call;
      const calc::TableExport job{path, "t", "d", "工程", table(3)};
      EXPECT_THROW(calc::exportTable(engine, job, [](int, int) { return true; }), calc::EngineError);
      EXPECT_EQ(engine.closed, engine.opened);
      EXPECT_EQ(contents(path), path == existing ? "old" : "(none)");
    }
  }
}

}  // namespace
