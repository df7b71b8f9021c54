// 6: the export of the old/new table through the export window's To_Execl, with the office not
// yet running (cold: the first export of a session starts it) and already running (warm).
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include "tools/bench/bench_host.h"
#include "tools/bench/bench_measures.h"

#ifdef RENUMBER_BENCH_EXPORT
#include <QCheckBox>
#include <QLineEdit>
#include <stdexcept>

#include "calc/calc_engine.h"
#include "calc/office_control.h"
#include "gui/export/export_window.h"
#include "gui/batch/batch_window.h"
#include "gui/widgets/flex_grid.h"
#endif

namespace bench {

Line measureExport(const Context& cx) {
  Line line;
  line.id = QStringLiteral("6");
  line.measure = QStringLiteral("export of %1 rows x 7 columns: To_Execl").arg(cx.plan.exportRows);
#ifndef RENUMBER_BENCH_EXPORT
  line.skipped = QStringLiteral("the export window is not part of this build");
  return line;
#else
  if (!calc::installedEngine()) {
    line.skipped = QStringLiteral("no office installed");
    return line;
  }
  const int n = cx.plan.exportRows;
  // The batch window's grid with its seven columns, filled as after a listing and a proposal.
  frm员工工号统一修改 w(session());
  FlexGrid* g = w.MSFlexGrid1;
  if (g->Cols() != 7) throw std::runtime_error("the batch window's grid does not have 7 columns");
  const QStringList numbers = column(QStringLiteral("SELECT 工号 FROM 员工档案 ORDER BY ID"));
  const QStringList names = column(QStringLiteral("SELECT 姓名 FROM 员工档案 ORDER BY ID"));
  const QStringList positions = column(QStringLiteral("SELECT ifnull(岗位编号, '') FROM 员工档案 ORDER BY ID"));
  g->setRows(n + 1);
  for (int i = 0; i < n; ++i) {
    const int k = i % int(numbers.size());
    g->setTextMatrix(i + 1, 0, QString::number(i + 1));
    g->setTextMatrix(i + 1, 1, numbers[k]);
    g->setTextMatrix(i + 1, 2, u'1' + numbers[k].right(4));
    g->setTextMatrix(i + 1, 3, names[k]);
    g->setTextMatrix(i + 1, 4, QStringLiteral("201 东湖客户服务中心"));
    g->setTextMatrix(i + 1, 5, positions[k] + QStringLiteral(" 客服专员"));
    g->setTextMatrix(i + 1, 6, QString());
  }

  frm输出到Excel文件 x;
  x.SourceGrid = g;
  x.Check1->setChecked(false);  // do not show the workbook afterwards
  const QString path = QDir(cx.workDir).filePath(QStringLiteral("对照表.xls"));
  x.Text1[0]->setText(path);
  x.Text1[1]->setText(QStringLiteral("管理人员编号类员工新旧工号对照表"));
  x.Text1[2]->setText(QStringLiteral("对照表"));
  x.Text1[3]->setText(QStringLiteral("2026-12-08"));

  auto exportOnce = [&] {
    QFile::remove(path);
    QElapsedTimer t;
    t.start();
    if (!x.To_Execl(g, x.Text1[1]->text(), x.Text1[2]->text()) || !QFile::exists(path))
      throw std::runtime_error("the export wrote no workbook");
    return double(t.nsecsElapsed()) / 1e6;
  };
  std::vector<double> cold, warm;
  for (int r = 0; r < cx.plan.runs; ++r) {
    calc::office::shutdown();
    cold.push_back(exportOnce());
    warm.push_back(exportOnce());
    cx.progress(QStringLiteral("  export run %1: cold %2, warm %3")
                    .arg(r + 1)
                    .arg(duration(cold.back()), duration(warm.back())));
  }
  calc::office::shutdown();
  QFile::remove(path);
  line.measure += QStringLiteral(", office running (warm)");
  line.toolMs = median(warm);
  line.against.push_back(
      {QStringLiteral("office not running (cold, it starts)"), median(cold), Comparison::Kind::Slower, {}});
  return line;
#endif
}

}  // namespace bench
