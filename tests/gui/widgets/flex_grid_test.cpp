#include "gui/widgets/flex_grid.h"

#include <QLineEdit>

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QStyle>
#include <QSignalSpy>
#include <QTest>

#include "gui/widgets/cell_editor.h"
#include "tests/support/qt_print.h"

namespace {

const QString kSingleFormat = QStringLiteral(
    "序|<工号   |<姓名     |<性别|<身份证            |<部门                      |<岗位                       |||");
const QString kBatchFormat = QStringLiteral(
    "序 |<原工号    |<新工号     |<姓名         |<部门                           |<岗位                            |");
const QString kRulesFormat = QStringLiteral("序 |<部门") + QString(27, QLatin1Char(' ')) +
                             QStringLiteral("|^部门码|<岗位类别") + QString(19, QLatin1Char(' ')) +
                             QStringLiteral("|^岗位码|");

QStringList headers(const FlexGrid& grid) {
  QStringList result;
  for (int c = 0; c < grid.Cols(); ++c) result << grid.TextMatrix(0, c);
  return result;
}

const Qt::Alignment kLeft = Qt::AlignLeft | Qt::AlignVCenter;
const Qt::Alignment kCentre = Qt::AlignHCenter | Qt::AlignVCenter;

// A grid shown on screen with a data area: rows 1.. filled with "r,c".
void fill(FlexGrid& grid, int rows, int cols) {
  grid.setCols(cols);
  grid.setRows(rows);
  for (int r = 1; r < rows; ++r)
    for (int c = 0; c < cols; ++c) grid.setTextMatrix(r, c, QStringLiteral("%1,%2").arg(r).arg(c));
}

// The editor over a cell: typing replaces the cell's text, also after a click into the box
// before anything was typed; Esc and a scroll close it with the cell as it was.
TEST(FlexGridCellEditor, TypingStartsAFreshValueAndEscLeavesTheCell) {
  QWidget window;
  auto* grid = new FlexGrid(&window);
  auto* box = new QLineEdit(&window);
  box->hide();
  widgets::CellEditor editor(box, grid);
  grid->setRows(3);
  grid->setTextMatrix(1, 1, "33");
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  grid->setRow(1);
  editor.open();
  EXPECT_EQ(box->geometry(), grid->cellRect(1, 1).translated(grid->pos()));
  EXPECT_FALSE(editor.changed());
  QTest::mouseClick(box, Qt::LeftButton, {}, box->rect().center());
  QTest::keyClicks(box, "34");
  EXPECT_EQ(box->text(), "34");
  EXPECT_TRUE(editor.changed());
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(1, box->height() / 2));  // typed: the click places the cursor
  QTest::keyClicks(box, "5");
  EXPECT_EQ(box->text(), "534");
  QTest::keyClick(box, Qt::Key_Escape);
  EXPECT_FALSE(editor.isOpen());
  EXPECT_FALSE(editor.changed());
  EXPECT_EQ(grid->TextMatrix(1, 1), "33");
  editor.open();
  emit grid->Scroll();
  EXPECT_FALSE(editor.isOpen());
}

}  // namespace

TEST(FlexGridFormat, ColumnsHeadersAndAlignmentOfTheThreeLists) {
  FlexGrid single;
  single.setFormatString(kSingleFormat);
  EXPECT_EQ(single.Cols(), 10);
  EXPECT_EQ(headers(single), (QStringList{"序", "工号   ", "姓名     ", "性别", "身份证            ",
                                          "部门                      ", "岗位                       ", "", "", ""}));
  EXPECT_EQ(single.ColAlignment(0), Qt::Alignment());
  for (int c = 1; c <= 6; ++c) EXPECT_EQ(single.ColAlignment(c), kLeft) << c;
  EXPECT_EQ(single.FixedCols(), 1);

  FlexGrid batch;
  batch.setFormatString(kBatchFormat);
  EXPECT_EQ(batch.Cols(), 7);
  EXPECT_EQ(headers(batch), (QStringList{"序 ", "原工号    ", "新工号     ", "姓名         ",
                                         "部门                           ", "岗位                            ", ""}));
  EXPECT_EQ(batch.ColAlignment(5), kLeft);
  EXPECT_EQ(batch.ColAlignment(6), Qt::Alignment());

  FlexGrid rules;
  rules.setFixedCols(0);  // the rules list has no fixed column; the format string keeps that
  rules.setFormatString(kRulesFormat);
  EXPECT_EQ(rules.Cols(), 6);
  EXPECT_EQ(headers(rules),
            (QStringList{"序 ", "部门" + QString(27, ' '), "部门码", "岗位类别" + QString(19, ' '), "岗位码", ""}));
  EXPECT_EQ(rules.ColAlignment(1), kLeft);
  EXPECT_EQ(rules.ColAlignment(2), kCentre);
  EXPECT_EQ(rules.ColAlignment(4), kCentre);
  EXPECT_EQ(rules.FixedCols(), 0);
  EXPECT_FALSE(rules.isFixedCell(1, 0));
  EXPECT_TRUE(rules.isFixedCell(0, 3));

  // The pieces are the columns: only a trailing "|" adds an (empty) last column.
  FlexGrid plain;
  plain.setFormatString("a|>b");
  EXPECT_EQ(plain.Cols(), 2);
  EXPECT_EQ(plain.ColAlignment(1), Qt::AlignRight | Qt::AlignVCenter);
  plain.setFormatString("a|b|");
  EXPECT_EQ(plain.Cols(), 3);
  EXPECT_EQ(plain.Rows(), 2);  // the format string leaves the rows alone
}

TEST(FlexGridFormat, WidthsComeFromTheHeaderTextWithItsBlanks) {
  // Widths are counted in half-width units as in the host system's font: a blank one unit,
  // a Chinese character two; a unit is the width of a digit.
  FlexGrid batch;
  batch.setFormatString(kBatchFormat);
  const QFontMetrics metrics = batch.fontMetrics();
  const int unit = metrics.horizontalAdvance('0');
  const QList<int> units{3, 10, 11, 13, 31, 32, 0};
  for (int c = 1; c < batch.Cols(); ++c) {
    EXPECT_EQ(batch.ColWidth(c) - batch.ColWidth(0), (units[c] - units[0]) * unit) << c;
    EXPECT_GE(batch.ColWidth(c), metrics.horizontalAdvance(batch.TextMatrix(0, c))) << c;
  }
  EXPECT_GT(batch.ColWidth(6), 0);  // the empty last column stays visible
  EXPECT_LT(batch.ColWidth(6), unit * 2);

  // The identity-number column's blanks make room for an 18-digit number.
  FlexGrid single;
  single.setFormatString(kSingleFormat);
  EXPECT_GE(single.ColWidth(4), metrics.horizontalAdvance("110101199001011234"));

  // Width 0 hides a column (the single list hides its last three); a width shows it again.
  single.resize(900, 300);
  for (int c = 7; c <= 9; ++c) single.setColWidth(c, 0);
  EXPECT_EQ(single.ColWidth(8), 0);
  EXPECT_TRUE(single.isColumnHidden(8));
  EXPECT_TRUE(single.cellRect(1, 8).isEmpty());
  single.setTextMatrix(1, 9, "42");  // hidden columns still hold text
  EXPECT_EQ(single.TextMatrix(1, 9), "42");
  single.setColWidth(8, 50);
  EXPECT_EQ(single.ColWidth(8), 50);
  EXPECT_FALSE(single.isColumnHidden(8));
}

TEST(FlexGridCells, RowsColsAndTheCurrentCell) {
  FlexGrid grid;
  // MSFlexGrid's start: 2 x 2, one fixed row and column, current cell (1, 1).
  EXPECT_EQ(grid.Rows(), 2);
  EXPECT_EQ(grid.Cols(), 2);
  EXPECT_EQ(grid.Row(), 1);
  EXPECT_EQ(grid.Col(), 1);
  EXPECT_EQ(grid.FixedCols(), 1);

  grid.setRows(0);
  EXPECT_EQ(grid.Rows(), 1);  // never below the header row
  EXPECT_EQ(grid.Row(), 0);
  EXPECT_EQ(grid.currentRow(), 0);

  fill(grid, 6, 4);
  grid.setRow(5);
  grid.setCol(3);
  EXPECT_EQ(grid.Row(), 5);
  EXPECT_EQ(grid.Col(), 3);
  EXPECT_EQ(grid.currentRow(), 5);
  EXPECT_EQ(grid.currentColumn(), 3);
  EXPECT_EQ(grid.Text(), "5,3");
  grid.setText("x");
  EXPECT_EQ(grid.TextMatrix(5, 3), "x");

  grid.setRow(6);  // out of range: ignored
  grid.setCol(-1);
  EXPECT_EQ(grid.Row(), 5);
  EXPECT_EQ(grid.Col(), 3);

  // Shrinking drops the last rows and pulls the current cell in; growing adds empty rows.
  grid.setRows(3);
  EXPECT_EQ(grid.Rows(), 3);
  EXPECT_EQ(grid.Row(), 2);
  EXPECT_EQ(grid.currentRow(), 2);
  EXPECT_EQ(grid.TextMatrix(2, 1), "2,1");
  grid.setRows(6);
  EXPECT_EQ(grid.TextMatrix(5, 3), "");
  EXPECT_EQ(grid.TextMatrix(3, 0), "");
  grid.setCols(2);
  EXPECT_EQ(grid.Col(), 1);
  EXPECT_EQ(grid.currentColumn(), 1);
  EXPECT_EQ(grid.TextMatrix(2, 1), "2,1");
}

TEST(FlexGridCells, KeyboardMovesFollowRowColAndStayOutOfFixedCells) {
  FlexGrid grid;
  fill(grid, 5, 3);
  grid.resize(400, 300);
  grid.show();
  grid.setFocus();
  grid.setRow(1);
  grid.setCol(1);
  QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_EQ(grid.Row(), 2);
  QTest::keyClick(&grid, Qt::Key_Up);
  QTest::keyClick(&grid, Qt::Key_Up);
  EXPECT_EQ(grid.Row(), 1);  // not into the header row
  QTest::keyClick(&grid, Qt::Key_Left);
  EXPECT_EQ(grid.Col(), 1);  // not into the fixed column
  QTest::keyClick(&grid, Qt::Key_Right);
  EXPECT_EQ(grid.Col(), 2);
  EXPECT_EQ(grid.currentColumn(), 2);
}

TEST(FlexGridCells, OutOfRangeAccessIsHarmless) {
  FlexGrid grid;
  fill(grid, 3, 3);
  for (auto [r, c] : {std::pair{-1, 0}, {0, -1}, {3, 0}, {0, 3}, {100, 100}}) {
    EXPECT_EQ(grid.TextMatrix(r, c), "");
    grid.setTextMatrix(r, c, "x");
    EXPECT_FALSE(grid.CellBackColor(r, c).isValid());
    grid.setCellBackColor(r, c, Qt::red);
    EXPECT_TRUE(grid.cellRect(r, c).isNull());
    EXPECT_EQ(grid.ColWidth(c < 0 || c >= 3 ? c : 99), 0);
    grid.setColWidth(c < 0 || c >= 3 ? c : 99, 10);
  }
  EXPECT_EQ(grid.Rows(), 3);
  EXPECT_EQ(grid.Cols(), 3);
  EXPECT_EQ(grid.TextMatrix(2, 2), "2,2");
}

TEST(FlexGridCells, BackColoursAndGeometry) {
  FlexGrid grid;
  fill(grid, 4, 3);
  EXPECT_FALSE(grid.CellBackColor(1, 1).isValid());  // never coloured
  EXPECT_FALSE(grid.CellBackColor(3, 2).isValid());
  grid.setCellBackColor(2, 1, QColor(255, 0, 0));
  grid.setCellBackColor(3, 2, QColor(0, 128, 0));  // a cell without text
  EXPECT_EQ(grid.CellBackColor(2, 1), QColor(255, 0, 0));
  EXPECT_EQ(grid.CellBackColor(3, 2), QColor(0, 128, 0));
  EXPECT_FALSE(grid.CellBackColor(2, 2).isValid());
  grid.setCellBackColor(2, 1, QColor());
  EXPECT_FALSE(grid.CellBackColor(2, 1).isValid());
  EXPECT_EQ(grid.TextMatrix(2, 1), "2,1");
  // Colours go with the rows that a shrink drops.
  grid.setRows(2);
  grid.setRows(4);
  EXPECT_FALSE(grid.CellBackColor(3, 2).isValid());

  // cellRect is relative to the grid widget: the cell found at its centre is the cell.
  grid.setColWidth(1, 80);
  grid.resize(400, 300);
  grid.show();
  const QRect rect = grid.cellRect(2, 1);
  ASSERT_FALSE(rect.isEmpty());
  const QModelIndex at = grid.indexAt(grid.viewport()->mapFrom(&grid, rect.center()));
  EXPECT_EQ(at.row(), 2);
  EXPECT_EQ(at.column(), 1);
  EXPECT_EQ(grid.cellRect(2, 2).left(), rect.left() + 80);
  EXPECT_EQ(grid.cellRect(3, 1).top(), rect.top() + grid.rowHeight(2));
}

TEST(FlexGridClicks, ClickMakesTheCellCurrentBeforeTheEvent) {
  FlexGrid grid;
  fill(grid, 5, 4);
  QList<QPair<int, int>> clicks, dblClicks;
  QObject::connect(&grid, &FlexGrid::Click, [&] { clicks.append({grid.Row(), grid.Col()}); });
  QObject::connect(&grid, &FlexGrid::DblClick, [&] { dblClicks.append({grid.Row(), grid.Col()}); });

  grid.clickCell(3, 2);
  grid.clickCell(2, 0);  // fixed column: selects its row
  grid.clickCell(0, 3);  // header row: not a list cell, nothing happens
  grid.clickCell(9, 1);  // outside
  grid.dblClickCell(4, 3);
  EXPECT_EQ(clicks, (QList<QPair<int, int>>{{3, 2}, {2, 1}}));
  EXPECT_EQ(dblClicks, (QList<QPair<int, int>>{{4, 3}}));
  EXPECT_EQ(grid.currentRow(), 4);
  EXPECT_EQ(grid.currentColumn(), 3);

  // Without a fixed column, column 0 is a cell like the others.
  grid.setFixedCols(0);
  grid.clickCell(1, 0);
  EXPECT_EQ(clicks.last(), (QPair<int, int>{1, 0}));
}

TEST(FlexGridClicks, MouseClicksRaiseClickAndDblClick) {
  FlexGrid grid;
  fill(grid, 5, 4);
  grid.resize(500, 300);
  grid.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
  QList<QPair<int, int>> clicks;
  QObject::connect(&grid, &FlexGrid::Click, [&] { clicks.append({grid.Row(), grid.Col()}); });
  QSignalSpy dbl(&grid, &FlexGrid::DblClick);
  auto centre = [&](int r, int c) { return grid.viewport()->mapFrom(&grid, grid.cellRect(r, c).center()); };

  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, centre(3, 2));
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, centre(2, 0));
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, centre(0, 3));
  QTest::mouseClick(grid.viewport(), Qt::RightButton, {}, centre(4, 3));
  EXPECT_EQ(clicks, (QList<QPair<int, int>>{{3, 2}, {2, 1}}));
  EXPECT_EQ(grid.Row(), 2);
  EXPECT_EQ(grid.Col(), 1);
  QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, centre(4, 3));
  EXPECT_EQ(dbl.count(), 1);
  EXPECT_EQ(grid.Row(), 4);
  EXPECT_EQ(grid.Col(), 3);
}

TEST(FlexGridScroll, ScrollEventAndHeaderKeptInView) {
  FlexGrid grid;
  grid.setFormatString(kBatchFormat);
  fill(grid, 60, 7);
  grid.resize(400, 200);
  grid.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
  QSignalSpy scroll(&grid, &FlexGrid::Scroll);
  const int headerTop = grid.cellRect(0, 1).top();
  grid.verticalScrollBar()->setValue(5);
  EXPECT_GE(scroll.count(), 1);
  // Row 5 is the first data row in view and sits right under the header row kept in view.
  EXPECT_EQ(grid.cellRect(5, 1).top(), headerTop + grid.rowHeight(0));
  EXPECT_EQ(grid.indexAt(QPoint(5, 2)).row(), 5);
  grid.verticalScrollBar()->setValue(0);
  EXPECT_EQ(grid.cellRect(0, 1).top(), headerTop);
  const int before = scroll.count();
  grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->maximum());
  EXPECT_GT(scroll.count(), before);
}

// Scrolled to its end, the last row (the impact preview's totals) is shown at its full height
// under the header kept in view.
TEST(FlexGridScroll, TheLastRowIsWholeAtTheEnd) {
  FlexGrid grid;
  grid.setFormatString(kBatchFormat);
  fill(grid, 60, 7);
  grid.resize(400, 200);
  grid.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
  grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
  const QRect last = grid.visualRect(grid.model()->index(grid.Rows() - 1, 1));
  EXPECT_LE(last.bottom(), grid.viewport()->height());
  EXPECT_GE(last.top(), 0);
}

TEST(FlexGridList, RowNumbersOfThreeDigitsAndMoreFitTheFixedColumn) {
  FlexGrid grid;
  grid.setFormatString(kBatchFormat);
  const int narrow = grid.ColWidth(0);
  grid.setRows(1001);
  for (int r = 1; r <= 99; ++r) grid.setTextMatrix(r, 0, QString::number(r));
  EXPECT_EQ(grid.ColWidth(0), narrow) << "two digits fit the header's width";
  for (int r = 100; r <= 1000; ++r) grid.setTextMatrix(r, 0, QString::number(r));
  const int margins = 2 * grid.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &grid);
  EXPECT_GE(grid.ColWidth(0), grid.fontMetrics().horizontalAdvance("1000") + margins);
  // A hidden fixed column stays hidden; other columns keep their widths.
  const int numberWidth = grid.ColWidth(1);
  grid.setColWidth(0, 0);
  grid.setTextMatrix(5, 0, "123456");
  EXPECT_EQ(grid.ColWidth(0), 0);
  grid.setTextMatrix(5, 1, "12345678901234567890123456789");
  EXPECT_EQ(grid.ColWidth(1), numberWidth);
}

TEST(FlexGridList, ARefillOpensAtTheTopRow) {
  FlexGrid grid;
  grid.setFormatString(kBatchFormat);
  grid.resize(400, 200);
  grid.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
  // Filled as the windows fill it: one row at a time, each made current.
  const auto refill = [&](int rows) {
    grid.setRows(1);
    for (int r = 1; r <= rows; ++r) {
      grid.setRows(r + 1);
      grid.setRow(r);
      grid.setTextMatrix(r, 0, QString::number(r));
      grid.setTextMatrix(r, 1, QString("%1").arg(r, 4, 10, QChar('0')));
    }
  };
  refill(150);
  QCoreApplication::processEvents();
  EXPECT_EQ(grid.verticalScrollBar()->value(), 0);
  EXPECT_EQ(grid.indexAt(QPoint(5, 2)).row(), 0);  // the header row, then row 1
  EXPECT_EQ(grid.Row(), 150) << "the current row stays where the filling code put it";

  // Scrolled down by the user, then refilled.
  grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
  refill(120);
  QCoreApplication::processEvents();
  EXPECT_EQ(grid.verticalScrollBar()->value(), 0);
  // Scrolling afterwards is the user's again.
  grid.verticalScrollBar()->setValue(40);
  QCoreApplication::processEvents();
  EXPECT_EQ(grid.verticalScrollBar()->value(), 40);
}
