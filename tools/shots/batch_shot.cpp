// A picture of the batch window on a fresh demo database after an automatic check:
//   batch_shot <window.png>
// Lists the first rule whose proposals collide, proposes, checks with conflicts resolved, and
// scrolls to the first row whose number was replaced.
#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include "db/database.h"
#include "gui/batch/batch_window.h"
#include "tests/support/scripted_dialogs.h"
#include "gui/widgets/flex_grid.h"
#include "tools/shots/shot_demo.h"

namespace {

using shots::settle;

// The data rows with a coloured cell.
QList<int> coloured(const FlexGrid& g) {
  QList<int> out;
  for (int r = 1; r < g.Rows(); ++r)
    if (g.CellBackColor(r, 1).isValid()) out << r;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTextStream err(stderr);
  if (app.arguments().size() < 2) {
    err << "usage: batch_shot <window.png>\n";
    return 2;
  }
  widgets::Dialogs::install(std::make_unique<widgets::ScriptedDialogs>());
  shots::Demo demo;
  // A larger organisation than the default demo, so that several proposals collide.
  demo::Scale scale;
  scale.employees = 1500;
  scale.referenceRowsPerEmployee = 0;
  if (const QString error = demo.create(scale); !error.isEmpty()) {
    err << error << '\n';
    return 1;
  }
  session::Session& session = demo.session;

  frm员工工号统一修改 w(session);
  w.show();
  settle();
  // The rule with the most replaced numbers.
  int best = -1;
  qsizetype most = 0;
  for (int i = 0; i < w.Combo1->count(); ++i) {
    w.Combo1->setCurrentIndex(i);
    w.Command1->click();
    w.Command2->click();
    err << w.Combo1->currentText() << ": " << coloured(*w.MSFlexGrid1).size() << " of " << w.MSFlexGrid1->Rows() - 1
        << " rows replaced\n";
    if (coloured(*w.MSFlexGrid1).size() > most) {
      most = coloured(*w.MSFlexGrid1).size();
      best = i;
    }
  }
  if (best < 0) {
    err << "no rule of the demo data has colliding proposals\n";
    return 1;
  }
  w.Combo1->setCurrentIndex(best);
  w.Command1->click();
  w.Command2->click();
  const int first = coloured(*w.MSFlexGrid1).first();
  w.MSFlexGrid1->scrollToItem(w.MSFlexGrid1->item(std::max(1, first - 2), 1), QAbstractItemView::PositionAtTop);
  settle();
  return w.grab().save(app.arguments().at(1)) ? 0 : 1;
}
