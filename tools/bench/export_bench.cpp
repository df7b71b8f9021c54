// Export benchmark: a grid of 5,000 rows by 7 columns written through the export window, with
// the office cold (not running: started by the export) and warm (running). Prints the figures.
//   export_bench [rows] [rounds]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <unistd.h>

#include "calc/calc_engine.h"
#include "calc/office_control.h"
#include "gui/export/export_window.h"
#include "gui/widgets/dialogs.h"

namespace {

// CPU time in ms of a process (user + system), from /proc.
double cpuMs(long pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (pid <= 0 || !stat.open(QIODevice::ReadOnly)) return 0;
  const QString line = QString::fromLatin1(stat.readAll());
  const QStringList fields = line.mid(line.lastIndexOf(u')') + 2).split(u' ');
  return (fields.value(11).toDouble() + fields.value(12).toDouble()) * 1000.0 / sysconf(_SC_CLK_TCK);
}

// Messages kept instead of shown: the benchmark runs unattended.
class QuietDialogs : public widgets::Dialogs {
 public:
  QString last;
  void message(QWidget*, const QString& text, const QString&, widgets::Icon) override { last = text; }
  bool question(QWidget*, const QString& text, const QString&) override {
    last = text;
    return true;
  }
  QString chooseFile(QWidget*, const QString&, const QString&) override { return QString(); }
  void showModal(QWidget*) override {}
};

struct Figures {
  double wall = 0, toolCpu = 0, officeCpu = 0;
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int rows = argc > 1 ? std::max(1, atoi(argv[1])) : 5000;
  const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
  auto dialogs = std::make_unique<QuietDialogs>();
  QuietDialogs* shown = dialogs.get();
  widgets::Dialogs::install(std::move(dialogs));

  // The batch window's columns: number, old and new number, name, department, position, empty.
  FlexGrid grid;
  grid.setCols(7);
  grid.setRows(rows + 1);
  const QStringList header = {QStringLiteral("序"),
                              QStringLiteral("原工号  "),
                              QStringLiteral("新工号  "),
                              QStringLiteral("姓名  "),
                              QStringLiteral("部门          "),
                              QStringLiteral("岗位        "),
                              QString()};
  for (int j = 0; j < 7; ++j) grid.setTextMatrix(0, j, header[j]);
  for (int i = 1; i <= rows; ++i) {
    grid.setTextMatrix(i, 0, QString::number(i));
    grid.setTextMatrix(i, 1, QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')));
    grid.setTextMatrix(i, 2, QStringLiteral("1%1").arg(i, 4, 10, QLatin1Char('0')));
    grid.setTextMatrix(i, 3, QStringLiteral("员工%1").arg(i));
    grid.setTextMatrix(i, 4, QStringLiteral("工程部第%1组").arg(i % 17));
    grid.setTextMatrix(i, 5, i % 3 ? QStringLiteral("电工") : QStringLiteral("水工"));
  }

  QTemporaryDir dir;
  const bool seeded =
      QFileInfo::exists(QDir::tempPath() + QStringLiteral("/renumber-office-seed-") + QString::number(getuid()));
  std::printf("export of %d rows x 7 columns (+ header row), %d rounds; seed profile present at start: %s\n", rows,
              rounds, seeded ? "yes" : "no");

  frm输出到Excel文件 w;
  w.SourceGrid = &grid;
  w.Check1->setChecked(false);
  w.Text1[1]->setText(QStringLiteral("工程类员工新旧工号对照表"));
  w.Text1[3]->setText(QStringLiteral("2024-03-07"));
  w.Text1[2]->setText(QStringLiteral("工程"));

  auto run = [&](const QString& name) {
    w.Text1[0]->setText(dir.filePath(name));
    const long officeBefore = calc::office::processId();
    const double officeCpuBefore = cpuMs(officeBefore);
    const double toolCpuBefore = cpuMs(getpid());
    QElapsedTimer t;
    t.start();
    const bool ok = w.To_Execl(&grid, w.Text1[1]->text(), w.Text1[2]->text());
    Figures f;
    f.wall = t.nsecsElapsed() / 1e6;
    f.toolCpu = cpuMs(getpid()) - toolCpuBefore;
    const long office = calc::office::processId();
    f.officeCpu = cpuMs(office) - (office == officeBefore ? officeCpuBefore : 0);
    if (!ok) {
      std::printf("export failed: %s\n",
                  qPrintable(shown->last.isEmpty() ? QStringLiteral("see stderr") : shown->last));
      std::exit(1);
    }
    return f;
  };
  auto print = [](const char* what, const Figures& f) {
    std::printf("  %-40s %6.0f ms  (CPU: tool %5.0f ms, office %5.0f ms)\n", what, f.wall, f.toolCpu, f.officeCpu);
  };

  std::vector<double> cold, warmNew, warmExisting;
  for (int r = 0; r < rounds; ++r) {
    calc::office::shutdown();
    const Figures c = run(QStringLiteral("cold%1.xls").arg(r));
    const Figures n = run(QStringLiteral("warm%1.xls").arg(r));
    const Figures e = run(QStringLiteral("warm%1.xls").arg(r));  // the same sheet again: cleared and rewritten
    std::printf("round %d\n", r + 1);
    print("cold: office start + new workbook", c);
    print("warm: new workbook", n);
    print("warm: existing sheet cleared, rewritten", e);
    cold.push_back(c.wall);
    warmNew.push_back(n.wall);
    warmExisting.push_back(e.wall);
  }
  std::printf(
      "median wall time: cold %.0f ms, warm new workbook %.0f ms, warm existing sheet %.0f ms; "
      "workbook %lld bytes\n",
      median(cold), median(warmNew), median(warmExisting), QFileInfo(dir.filePath(QStringLiteral("warm0.xls"))).size());
  calc::office::shutdown();
  return 0;
}
