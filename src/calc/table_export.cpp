#include "calc/table_export.h"

#include <QFile>
#include <QFileInfo>
#include <memory>
#include <vector>

#include "calc/sheet_name.h"

namespace calc {

QList<QStringList> withoutEmptyLastColumns(const QList<QStringList>& table) {
  qsizetype used = 1;
  for (const QStringList& row : table)
    for (qsizetype c = row.size() - 1; c >= used; --c)
      if (!row[c].isEmpty()) {
        used = c + 1;
        break;
      }
  QList<QStringList> out;
  out.reserve(table.size());
  for (const QStringList& row : table) out.append(row.mid(0, used));
  return out;
}

void exportTable(Engine& engine, const TableExport& job, const StepHook& step) {
  const QString path = QFileInfo(job.path).absoluteFilePath();
  const QString problem = sheetNameProblem(job.sheet);
  if (!problem.isEmpty()) throw EngineError(problem);
  const QList<QStringList> table = withoutEmptyLastColumns(job.table);
  const int rowCount = int(table.size());
  const int colCount = rowCount > 0 ? int(table.first().size()) : 0;
  if (colCount < 1) throw EngineError(QStringLiteral("the grid has no columns"));
  if (QFileInfo(path).isDir()) throw EngineError(path + QStringLiteral(" is a folder"));
  const CellRange tableRange{3, 1, rowCount + 2, colCount};

  const bool missing = !QFileInfo::exists(path);
  bool created = false;  // the workbook was made by this export
  std::unique_ptr<Workbook> book;
  int sheet = -1;

  // One engine call (or a few quick ones) a step; the progress counts this list, then the save.
  std::vector<std::function<void()>> steps;
  steps.push_back([&] {
    if (!missing) return;
    engine.createWorkbook(path, job.sheet);
    created = true;
  });
  steps.push_back([&] { book = engine.open(path); });
  steps.push_back([&] {
    sheet = book->findSheet(job.sheet);
    if (sheet < 0) sheet = book->addSheetAfterLast(job.sheet);
    book->showSheet(sheet);
  });
  steps.push_back([&] {
    book->clearUsedArea(sheet);
    book->setCellText(sheet, 1, 1, job.title1);
    book->setCellText(sheet, 2, 1, job.title2);
  });
  // The table goes as text cells, so numbers such as "0012" keep their leading zeros.
  for (int from = 0; from < rowCount; from += kRowsPerStep)
    steps.push_back([&, from] { book->writeTextTable(sheet, 3 + from, table.mid(from, kRowsPerStep)); });
  steps.push_back([&] {
    book->merge(sheet, {1, 1, 1, colCount});
    book->merge(sheet, {2, 1, 2, colCount});
  });
  steps.push_back([&] { book->centreRows(sheet, 1, 2); });
  steps.push_back([&] { book->drawBorders(sheet, tableRange); });
  steps.push_back([&] {
    book->setRowFontSize(sheet, 1, 18);
    book->setRowFontSize(sheet, 2, 12);
  });
  steps.push_back([&] { book->setFontSize(sheet, tableRange, 10.5); });
  steps.push_back([&] { book->fitColumns(sheet, 1, colCount); });
  steps.push_back([&] { book->activateSheet(sheet); });  // the workbook opens on the table
  steps.push_back([&] { book->save(); });
  const int total = int(steps.size()) + 1;  // the last report follows the save

  engine.setWhileStarting([&] { step(-1, total); });
  struct StopWaiting {
    Engine& e;
    ~StopWaiting() { e.setWhileStarting({}); }
  } stopWaiting{engine};
  try {
    for (int done = 0; done < int(steps.size()); ++done) {
      if (!step(done, total)) throw Stopped();
      steps[std::size_t(done)]();
    }
  } catch (...) {
    // Nothing is saved: an existing workbook stays as it was, a new one is removed again.
    if (book) book->close();
    if (created) QFile::remove(path);
    throw;
  }
  step(total - 1, total);
  book->close();
}

}  // namespace calc
