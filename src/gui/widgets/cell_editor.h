#pragma once
// A text box laid over the current cell of a FlexGrid to edit it, as the windows edit their grids.
// Opened over a cell it holds the cell's text, all of it selected, so that typing starts a fresh
// value; a click into the box before anything was typed keeps it so. Esc closes it and leaves the
// cell as it was, and so does a scroll of the grid. What the box holds reaches the cell only when
// its window writes it (Enter).
#include <QObject>
#include <QString>

class FlexGrid;
class QLineEdit;

namespace widgets {

class CellEditor : public QObject {
 public:
  // editor and grid share a parent widget (the box is placed in its coordinates).
  CellEditor(QLineEdit* editor, FlexGrid* grid);

  // Over the grid's current cell, with its text, selected, and the input focus.
  void open();
  // Hidden; the cell keeps its text.
  void close();
  bool isOpen() const;
  // The box is open and holds something else than the text of the cell it was opened over.
  bool changed() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* editor_;
  FlexGrid* grid_;
  QString opened_;  // the cell's text when the box was opened
};

}  // namespace widgets
