#pragma once
// A grid with MSFlexGrid's semantics over QTableWidget: row 0 is the fixed header row, the
// current cell is (Row, Col), cell text is addressed by TextMatrix, width 0 hides a column.
#include <QColor>
#include <QTableWidget>

class FlexGrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit FlexGrid(QWidget* parent = nullptr);

  int Rows() const;
  void setRows(int rows);  // grows with empty rows, shrinks dropping the last rows; never below 1
  int Cols() const;
  void setCols(int cols);
  int Row() const;
  void setRow(int row);
  int Col() const;
  void setCol(int col);
  int FixedCols() const;
  void setFixedCols(int n);  // columns drawn as fixed (header look); they still hold text

  QString TextMatrix(int row, int col) const;
  void setTextMatrix(int row, int col, const QString& text);
  // The current cell's text.
  QString Text() const { return TextMatrix(Row(), Col()); }
  void setText(const QString& text) { setTextMatrix(Row(), Col(), text); }

  int ColWidth(int col) const;
  void setColWidth(int col, int width);  // 0 hides the column
  // Alignment of a whole column: 1 left, 4 centre, 7 right (MSFlexGrid's codes), as Qt flags.
  void setColAlignment(int col, Qt::Alignment alignment);

  QColor CellBackColor(int row, int col) const;  // invalid QColor = the grid's default
  void setCellBackColor(int row, int col, const QColor& color);  // invalid = back to default
  // Geometry of a cell relative to the grid widget (for editors laid over a cell).
  QRect cellRect(int row, int col) const;

  // "|"-separated headers; a leading "<" left-aligns the column, "^" centres, ">" right-aligns.
  // The column count becomes the number of pieces; widths come from the header text with its blanks.
  void setFormatString(const QString& format);

  // As a user's click: makes the cell current, then raises the click event.
  void clickCell(int row, int col);
  void dblClickCell(int row, int col);

 signals:
  void Click();
  void DblClick();
  void Scroll();

 private:
  int row_ = 0, col_ = 0, fixedCols_ = 0;
  void syncRowCount();
};
