#include "gui/preview/preview_window.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/widgets/app_info.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/flex_grid.h"

namespace {
const QString kColumnsFormat =
    QStringLiteral("序  |<表                        |<列              |>原工号行数  |>新工号已有行数  |");
const QString kEmployeesFormat = QStringLiteral("序  |<原工号        |<新工号        |>移动行数  |>新工号已有行数  |");
// Rows whose new number already has records: they would be merged.
const QColor kMergeColour(255, 210, 182);
// Columns the database lacks: the renumber would fail on them.
const QColor kMissingColour(255, 170, 170);

// The tables and columns the database lacks, after a line break ("" when none).
QString missingLine(const preview::Impact& impact) {
  const QStringList missing = impact.missing();
  if (missing.isEmpty()) return QString();
  return QStringLiteral("\n缺少%1处（已标红）：%2，修改将失败并全部撤销。")
      .arg(missing.size())
      .arg(missing.join(QStringLiteral("、")));
}
}  // namespace

frm影响预览::frm影响预览(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("影响预览"));
  Label1 = new QLabel(this);
  Label1->setWordWrap(true);
  MSFlexGrid1 = new FlexGrid(this);
  MSFlexGrid1->setFormatString(kColumnsFormat);
  MSFlexGrid2 = new FlexGrid(this);
  MSFlexGrid2->setFormatString(kEmployeesFormat);
  MSFlexGrid2->hide();
  Command1 = new QPushButton(QStringLiteral("导出SQL"), this);
  Command2 = new QPushButton(QStringLiteral("关闭"), this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Command1);
  buttons->addStretch();
  buttons->addWidget(Command2);
  auto* grids = new QHBoxLayout;
  grids->addWidget(MSFlexGrid1, 3);
  grids->addWidget(MSFlexGrid2, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addLayout(grids, 1);
  layout->addLayout(buttons);
  resize(900, 560);

  connect(Command1, &QPushButton::clicked, this, [this] {
    const QString folder = widgets::app_info::documentsFolder();
    const QString path = widgets::Dialogs::current().chooseSaveFile(
        this, folder + QDir::separator() + suggestedName_, QStringLiteral("SQL脚本 *.sql|*.sql|All flie *.*|*.*"));
    if (!path.isEmpty() && 导出SQL(path))
      widgets::msg(this, QStringLiteral("SQL脚本已保存到") + QDir::toNativeSeparators(path));
  });
  connect(Command2, &QPushButton::clicked, this, [this] { close(); });
}

void frm影响预览::显示(const QString& caption, const preview::Impact& impact, const QString& script,
                       const QString& suggestedName) {
  script_ = script;
  suggestedName_ = suggestedName;
  FlexGrid* g = MSFlexGrid1;
  g->setRows(1);
  g->setRows(int(impact.columns.size()) + 2);  // the columns and the totals
  for (std::size_t i = 0; i < impact.columns.size(); ++i) {
    const preview::ColumnImpact& c = impact.columns[i];
    const int r = int(i) + 1;
    g->setTextMatrix(r, 0, QString::number(r));
    g->setTextMatrix(r, 1, c.column.table);
    g->setTextMatrix(r, 2, c.column.added ? c.column.column + QStringLiteral("（加入的列）") : c.column.column);
    if (c.lack != preview::Lack::None) {  // nothing counted: the renumber would fail on it
      g->setTextMatrix(r, 3, preview::lackText(c.lack));
      for (int k = 1; k < g->Cols(); ++k) g->setCellBackColor(r, k, kMissingColour);
      continue;
    }
    g->setTextMatrix(r, 3, QString::number(c.oldRows));
    g->setTextMatrix(r, 4, QString::number(c.newRows));
    if (c.newRows > 0)
      for (int k = 1; k < g->Cols(); ++k) g->setCellBackColor(r, k, kMergeColour);
  }
  const int total = g->Rows() - 1;
  g->setTextMatrix(total, 1, QStringLiteral("合计"));
  g->setTextMatrix(total, 3, QString::number(impact.totalOld));
  g->setTextMatrix(total, 4, QString::number(impact.totalNew));

  FlexGrid* e = MSFlexGrid2;
  e->setRows(1);
  e->setVisible(impact.employees.size() > 1);
  e->setRows(int(impact.employees.size()) + 1);
  for (std::size_t i = 0; i < impact.employees.size(); ++i) {
    const preview::EmployeeImpact& p = impact.employees[i];
    const int r = int(i) + 1;
    e->setTextMatrix(r, 0, QString::number(r));
    e->setTextMatrix(r, 1, p.oldNo);
    e->setTextMatrix(r, 2, p.newNo);
    e->setTextMatrix(r, 3, QString::number(p.rowsMoved));
    e->setTextMatrix(r, 4, QString::number(p.newRows));
    if (p.newRows > 0)
      for (int k = 1; k < e->Cols(); ++k) e->setCellBackColor(r, k, kMergeColour);
  }
  // Every table name and total whole, both grids side by side.
  g->fitColumns();
  if (e->isVisibleTo(this)) e->fitColumns();
  if (const int wanted = layout()->sizeHint().width(); wanted > width()) resize(wanted, height());
  Label1->setText(caption +
                  QStringLiteral("\n%1列将被改写：原工号所在%2行将改为新工号；新工号已有%3行%4。")
                      .arg(impact.columns.size())
                      .arg(impact.totalOld)
                      .arg(impact.totalNew)
                      .arg(impact.totalNew > 0 ? QStringLiteral("（已标色，修改后将并入该员工）") : QString()) +
                  (QStringList{QString()} + preview::stayingLines(impact)).join(u'\n') + missingLine(impact));
}

bool frm影响预览::导出SQL(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(preview::scriptFile(script_)) < 0 || !f.flush()) {
    widgets::msg(this, QStringLiteral("无法保存SQL脚本：") + path + QStringLiteral("\n") + f.errorString(),
                 widgets::app_info::title(), widgets::Icon::Warning);
    return false;
  }
  return true;
}
