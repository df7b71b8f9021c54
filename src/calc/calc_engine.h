#pragma once
// The spreadsheet engine behind the export window: LibreOffice Calc driven through its UNO API,
// in a headless office process that is started on first use and ended when the tool exits.
// The interface carries no UNO types, so the window needs only Qt and the standard library.
// Rows and columns are counted from 1, as the sheet shows them (A1 = row 1, column 1).
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "calc/engine_error.h"

namespace calc {

// A rectangle of cells from (top, left) to (bottom, right), all counted from 1, both corners included.
struct CellRange {
  int top = 1, left = 1, bottom = 1, right = 1;
};

// A workbook open in the engine. Destroying it closes the document without saving, so an
// export that fails part-way leaves neither changes nor a lock file behind.
class Workbook {
 public:
  virtual ~Workbook() = default;

  // Index (from 0) of the sheet whose name equals name exactly, letter case included; -1 when none.
  virtual int findSheet(const QString& name) = 0;
  // Adds a sheet called name after the last sheet and returns its index. Fails when a sheet of
  // that name exists in other letter case (the engine treats such names as the same).
  virtual int addSheetAfterLast(const QString& name) = 0;
  // Makes the sheet visible (a hidden sheet is shown again).
  virtual void showSheet(int sheet) = 0;
  // Clears contents and formats (merges included) from A1 to the last used row and column.
  virtual void clearUsedArea(int sheet) = 0;
  virtual void setCellText(int sheet, int row, int col, const QString& text) = 0;
  // Writes rows (all of equal length) as text cells with the text number format, the first at
  // (firstRow, 1), in one call.
  virtual void writeTextTable(int sheet, int firstRow, const QList<QStringList>& rows) = 0;
  virtual void merge(int sheet, const CellRange& range) = 0;
  // Horizontal and vertical centre for whole sheet rows firstRow..lastRow.
  virtual void centreRows(int sheet, int firstRow, int lastRow) = 0;
  // Thin continuous lines on every edge of every cell of the range.
  virtual void drawBorders(int sheet, const CellRange& range) = 0;
  // Font size in points of a whole sheet row, for Western, Asian and complex-script text alike.
  virtual void setRowFontSize(int sheet, int row, double points) = 0;
  virtual void setFontSize(int sheet, const CellRange& range, double points) = 0;
  // Fits the widths of columns firstCol..lastCol to their content.
  virtual void fitColumns(int sheet, int firstCol, int lastCol) = 0;
  // Makes the sheet the one the workbook opens on: the active sheet, the only one selected.
  virtual void activateSheet(int sheet) = 0;
  // Saves to the file it was opened from, in the format it was opened in.
  virtual void save() = 0;
  // Closes the document (without saving); further calls fail.
  virtual void close() = 0;
};

class Engine {
 public:
  virtual ~Engine() = default;
  // Creates a new workbook holding one empty sheet called sheetName and saves it at path in the
  // legacy Excel format ("MS Excel 97"); the document is closed again. Fails when the folder is
  // missing.
  virtual void createWorkbook(const QString& path, const QString& sheetName) = 0;
  // Opens the workbook at path for writing. Fails for a file that is not a workbook (an empty
  // file included) and for a file that another program holds locked (the engine would open it
  // read-only).
  virtual std::unique_ptr<Workbook> open(const QString& path) = 0;
  // While the engine starts (it may take up to a minute), hook is called about every 50 ms: a
  // window can let its event loop run. Empty: the start just waits.
  virtual void setWhileStarting(std::function<void()> hook) = 0;
};

// The tool's engine, LibreOffice Calc; nullptr when there is none: the tool was built without
// the LibreOffice SDK, or the office's program folder holds no soffice.bin (the office is not
// installed, or RENUMBER_OFFICE_PROGRAM names another folder).
Engine* installedEngine();
// The office the tool's engine drives, as the user knows it: "Microsoft Excel" on Windows,
// "LibreOffice Calc" elsewhere (also where it is not installed).
QString engineName();

}  // namespace calc
