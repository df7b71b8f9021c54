#pragma once
// A table written into one worksheet of a workbook under two title lines, step by step, through
// any spreadsheet engine.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "calc/calc_engine.h"

namespace calc {

// What is written: the workbook's path, title 1 (row 1) and title 2 (row 2), merged across the
// table and centred, the sheet's name and the table from row 3 on (rows of equal length, the
// first the header), as text cells with borders.
struct TableExport {
  QString path;
  QString title1;
  QString title2;
  QString sheet;
  QList<QStringList> table;
};

// The export was stopped before the save: nothing was saved, a workbook the export created is
// removed again.
struct Stopped {};

// Called before each step with the steps done so far and their total (the last call, after the
// save, has done = total - 1), and with done = -1 while the engine starts; false stops the export.
using StepHook = std::function<bool(int done, int total)>;

// Rows of the table written by one step.
constexpr int kRowsPerStep = 500;

// The table without the columns at its end that are empty in every row (a grid's format string
// ending in "|" has one): only the real columns are written, merged over and bordered. At least
// one column stays.
QList<QStringList> withoutEmptyLastColumns(const QList<QStringList>& table);

// Writes job into the workbook at job.path (its table without empty last columns): created with the sheet alone when missing; else the
// sheet is found (or added after the last) and shown, its used area cleared. The workbook is
// saved with that sheet active. Throws EngineError with the engine's text, or Stopped; either
// way the workbook is closed and a workbook created here is removed.
void exportTable(Engine& engine, const TableExport& job, const StepHook& step);

}  // namespace calc
