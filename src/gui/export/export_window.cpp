#include "gui/export/export_window.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>
#include <cstdio>
#include <iterator>
#include <exception>
#include <system_error>

#include "calc/calc_engine.h"
#include "calc/table_export.h"
#include "gui/widgets/app_info.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/progress.h"
#include "gui/widgets/wait_cursor.h"

namespace {

void reportEngineError(const QString& text) {
  std::fprintf(stderr, "输出到Excel文件: %s\n", text.toUtf8().constData());
  std::fflush(stderr);
}

}  // namespace

frm输出到Excel文件::frm输出到Excel文件(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("输出到Excel文件"));

  const QString captions[4] = {QStringLiteral("Excel文件路径/文件名"), QStringLiteral("标题1"),
                               QStringLiteral("Excel表名"), QStringLiteral("标题2")};
  for (int i = 0; i < 4; ++i) {
    Label1[i] = new QLabel(captions[i], this);
    Text1[i] = new QLineEdit(this);
    Label1[i]->setBuddy(Text1[i]);
  }
  Command1 = new QPushButton(this);
  Command1->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  Command1->setToolTip(QStringLiteral("..."));
  Command1->setFixedWidth(Command1->sizeHint().height() + 4);

  Grid1 = new FlexGrid(this);
  Grid1->setRows(2);
  Grid1->setCols(6);
  Grid1->setFixedCols(0);
  for (int c = 0; c < 6; ++c) Grid1->setColWidth(c, 80);
  Grid1->setMinimumHeight(Grid1->rowHeight(0) * 2 + 4);
  Grid1->setMaximumHeight(Grid1->rowHeight(0) * 2 + 4);
  Grid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Grid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  Check1 = new QCheckBox(QStringLiteral("启动Excel"), this);
  Check1->setChecked(true);
  Command2 = new QPushButton(QStringLiteral("输出"), this);
  Command3 = new QPushButton(QStringLiteral("取消"), this);
  StatusBar1 = new QStatusBar(this);

  // Path with its browse button, then title 1, title 2 and the sheet name.
  auto* boxes = new QGridLayout;
  const int order[4] = {0, 1, 3, 2};
  for (int r = 0; r < 4; ++r) {
    const int i = order[r];
    boxes->addWidget(Label1[i], r, 0);
    boxes->addWidget(Text1[i], r, 1);
  }
  boxes->addWidget(Command1, 0, 2);
  boxes->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Check1);
  buttons->addStretch(1);
  buttons->addWidget(Command2);
  buttons->addWidget(Command3);

  auto* main = new QVBoxLayout(this);
  main->addLayout(boxes);
  main->addWidget(Grid1);
  main->addLayout(buttons);
  main->addWidget(StatusBar1);
  resize(520, sizeHint().height());

  // The keyboard visits the boxes in the order they are shown.
  QWidget* tabOrder[] = {Text1[0], Command1, Text1[1], Text1[3], Text1[2], Grid1, Check1, Command2, Command3};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  connect(Command1, &QPushButton::clicked, this, [this] { browse(); });
  connect(Command2, &QPushButton::clicked, this, [this] {
    if (To_Execl(exported(), Text1[1]->text(), Text1[2]->text())) {
      saved_ = true;
      close();
    } else if (!told_) {
      widgets::msg(this, QStringLiteral("输出到Execl失败"), widgets::app_info::title(), widgets::Icon::None);
    }
  });
  connect(Command3, &QPushButton::clicked, this, [this] { close(); });
  connect(Grid1, &FlexGrid::Click, this, [this] {
    Grid1->setTextMatrix(1, Grid1->Col(), QStringLiteral("√"));
    Grid1->setColAlignment(Grid1->Col(), Qt::AlignCenter);
  });
  connect(Grid1, &FlexGrid::DblClick, this, [this] { Grid1->setTextMatrix(1, Grid1->Col(), QString()); });
}

void frm输出到Excel文件::browse() {
  try {
    const QString file = widgets::Dialogs::current().chooseFile(
        this, widgets::app_info::documentsFolder(), QStringLiteral("Excel Flie *.xls|*.xls|All flie *.*|*.*"));
    if (!file.isEmpty()) Text1[0]->setText(file);
  } catch (const std::system_error& e) {
    widgets::msg(this, QString::number(e.code().value()) + QStringLiteral(" ") + QString::fromLocal8Bit(e.what()),
                 widgets::app_info::title(), widgets::Icon::Warning);
  } catch (const std::exception& e) {
    widgets::msg(this, QStringLiteral("0 ") + QString::fromLocal8Bit(e.what()), widgets::app_info::title(),
                 widgets::Icon::Warning);
  }
}

bool frm输出到Excel文件::To_Execl(FlexGrid* grid, const QString& title, const QString& sheet) {
  return To_Execl(grid ? grid->table() : QList<QStringList>(), title, sheet);
}

QList<QStringList> frm输出到Excel文件::exported() const { return SourceGrid ? SourceGrid->table() : SourceTable; }

bool frm输出到Excel文件::To_Execl(const QList<QStringList>& table, const QString& title, const QString& sheet) {
  // The boxes are what is written; the Output button hands the same texts over.
  Q_UNUSED(title);
  Q_UNUSED(sheet);
  told_ = false;
  calc::Engine* engine = calc::installedEngine();
  if (!engine) {
    told_ = true;
    StatusBar1->showMessage(noEngineStatus());
    widgets::msg(this, noEngineText(), widgets::app_info::title(), widgets::Icon::Information);
    return false;
  }
  if (Text1[0]->text().trimmed().isEmpty()) {  // blanks only name no file either
    widgets::msg(this, QStringLiteral("请确定输出的文件名"), widgets::app_info::title(), widgets::Icon::None);
    return false;
  }
  const QString path = QFileInfo(Text1[0]->text()).absoluteFilePath();
  if (QFileInfo(path).isFile() && !widgets::askDefaultNo(this, existingWorkbookQuestion(path, Text1[2]->text()))) {
    told_ = true;
    widgets::msg(this, QStringLiteral("已取消输出，工作簿没有修改"), widgets::app_info::title(),
                 widgets::Icon::Information);
    return false;
  }
  try {
    WaitCursor wait;
    if (table.isEmpty()) throw calc::EngineError(QStringLiteral("no table to export"));
    const calc::TableExport job{path, Text1[1]->text(), Text1[3]->text(), Text1[2]->text(), table};
    // Step by step under a progress dialog: the window answers, also while the office starts,
    // and "取消" stops the export before the workbook is saved.
    widgets::ProgressDialog progress(this, QStringLiteral("正在输出到Excel：第 %1 / %2 步"));
    calc::exportTable(*engine, job, progress.callback());
  } catch (const calc::Stopped&) {
    told_ = true;
    widgets::msg(this, QStringLiteral("已取消输出，工作簿没有保存"), widgets::app_info::title(),
                 widgets::Icon::Information);
    return false;
  } catch (const calc::EngineError& e) {
    reportEngineError(e.text());
    return false;
  } catch (const std::exception& e) {
    reportEngineError(QString::fromLocal8Bit(e.what()));
    return false;
  }
  if (Check1->isChecked()) {
    showWorkbook(path);
  } else {
    widgets::msg(this, QStringLiteral("工作簿已保存：") + QDir::toNativeSeparators(path), widgets::app_info::title(),
                 widgets::Icon::Information);
  }
  return true;
}

QString frm输出到Excel文件::existingWorkbookQuestion(const QString& path, const QString& sheet) {
  return QStringLiteral(
             "工作簿已存在：%1\n是否把表格写入其中的工作表“%2”？同名工作表原有的内容将被替换，其他工作表保持不变。")
      .arg(QDir::toNativeSeparators(path), sheet);
}

// The columns the export writes, their headers as written; no grid to export, no columns.
void frm输出到Excel文件::showColumns() {
  const QList<QStringList> table = exported();
  Grid1->setVisible(!table.isEmpty());
  if (table.isEmpty()) return;
  const QStringList headers = calc::withoutEmptyLastColumns({table.value(0)}).value(0);
  Grid1->setCols(int(headers.size()));
  for (int c = 0; c < headers.size(); ++c) {
    Grid1->setTextMatrix(0, c, headers[c]);
    Grid1->setColWidth(c, 2 * Grid1->fontMetrics().horizontalAdvance(QLatin1Char('0')));
  }
  Grid1->fitColumns();
}

void frm输出到Excel文件::setData(const ExportData& handed) {
  SourceTable = handed.table;
  SourceGrid = nullptr;
  saved_ = false;
  showColumns();
  Text1[0]->setText(handed.path);
  Text1[1]->setText(handed.title1);
  Text1[3]->setText(handed.title2);
  Text1[2]->setText(handed.sheet);
}

QString frm输出到Excel文件::noEngineText() {
  return noEngineStatus() + QStringLiteral("；安装 %1 后即可输出，其他功能照常使用。").arg(calc::engineName());
}

QString frm输出到Excel文件::noEngineStatus() {
  return QStringLiteral("没有安装电子表格引擎（%1），不能输出到Excel文件").arg(calc::engineName());
}

void frm输出到Excel文件::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  showColumns();
  if (!calc::installedEngine()) StatusBar1->showMessage(noEngineStatus());
}

// The workbook is written whether or not an application can show it: the export is done.
void frm输出到Excel文件::showWorkbook(const QString& path) {
  const bool opened = openWorkbook ? openWorkbook(path) : QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  if (!opened)
    widgets::msg(this, QStringLiteral("工作簿已保存，但无法启动电子表格程序打开它：") + path,
                 widgets::app_info::title(), widgets::Icon::Warning);
}
