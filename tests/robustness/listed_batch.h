#pragma once
// The batch window on a listed rule, shared by the fault-injection and hostile-input tests.
#include <QStringList>

#include "gui/batch/batch_window.h"
#include "tests/support/harness.h"

class FlexGrid;

namespace robust {

// The texts of one column of a grid's data rows.
QStringList gridColumn(const FlexGrid* grid, int col);

// Three employees of rule 1 保安类 (2001, 2002, 2003) and one of another rule (4004), each with a
// row in every table of the batch apply list; the window lists rule 1 and proposes 12001, 12002,
// 12003.
struct ListedBatch {
  explicit ListedBatch(Harness& h);
  const QStringList olds{QStringLiteral("2001"), QStringLiteral("2002"), QStringLiteral("2003")};
  frm员工工号统一修改* w = nullptr;
  QStringList column(int col) const;
};

}  // namespace robust
