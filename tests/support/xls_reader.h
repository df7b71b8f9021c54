#pragma once
// Reads a written .xls workbook back with an independent reader (Debian's python3-xlrd), so the
// tests do not trust the engine that wrote the file.
#include <QList>
#include <QString>
#include <QStringList>

namespace xls {

struct Cell {
  int type = 0;  // xlrd's cell type: 0 empty, 1 text, 2 number, 6 blank (formatted, no value)
  QString value;
  double fontPoints = 0;
  int top = 0, bottom = 0, left = 0, right = 0;  // border line styles (0 none, 1 thin)
  int horizontal = 0, vertical = 0;  // alignment codes (2 centre; vertical 1 centre)
  QString format;  // number format text ("@" = text)
};

struct Merge {
  int firstRow, lastRow, firstCol, lastCol;  // from 0, last ones excluded (xlrd's form)
  bool operator==(const Merge&) const = default;
};

struct Sheet {
  QString name;
  bool selected = false;  // its tab is selected
  int rows = 0, cols = 0;
  QList<QList<Cell>> cells;  // [row][col], from 0
  QList<Merge> merges;
  QList<int> columnWidths;
  QList<double> rowHeights;  // points; 0 = the sheet's default height
  QString dump;  // all of it but widths, heights and selection as text, to compare whole sheets
  const Cell& at(int row, int col) const { return cells[row - 1][col - 1]; }  // sheet row/column from 1
};

struct Book {
  QString error;  // "" when the file was read
  QList<Sheet> sheets;
  int activeSheet = -1;  // index of the sheet the workbook opens on; -1 when it does not say
  QStringList names() const;
  const Sheet* sheet(const QString& name) const;
};

Book read(const QString& path);

}  // namespace xls
