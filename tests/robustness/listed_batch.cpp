#include "tests/robustness/listed_batch.h"

#include <QComboBox>
#include <QPushButton>

#include "host/host_tables.h"
#include "tests/robustness/robust_support.h"
#include "gui/widgets/flex_grid.h"

namespace robust {

QStringList gridColumn(const FlexGrid* grid, int col) {
  QStringList texts;
  for (int r = 1; r < grid->Rows(); ++r) texts << grid->TextMatrix(r, col);
  return texts;
}

ListedBatch::ListedBatch(Harness& h) {
  organisation(h);
  for (const QString& n : olds)
    testdata::employee({.number = n, .name = u("员工") + n, .category = "保安", .position = "P01"});
  testdata::employee({.number = "4004", .name = "别人", .category = "管理人员", .position = "P02"});
  for (const QString& n : olds + QStringList{u("4004")}) testdata::references(host::kBatchApply, n);
  w = &h.open<frm员工工号统一修改>();
  w->Combo1->setCurrentIndex(w->Combo1->findText(u("1 保安类")));
  w->Command1->click();
}

QStringList ListedBatch::column(int col) const { return gridColumn(w->MSFlexGrid1, col); }

}  // namespace robust
