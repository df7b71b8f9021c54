#pragma once
// The export window: writes a whole table into one worksheet of an Excel workbook under two title
// lines. A feature hands over what to export (setData: the four boxes and the table's texts), then
// the window is shown modally.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>
#include <array>
#include <functional>

#include "gui/widgets/flex_grid.h"

// What a feature hands to the export window: the workbook's path, title 1 (cell A1), title 2
// (A2), the sheet's name, and the table written, row by row (the header row first; FlexGrid::table()).
struct ExportData {
  QString path;
  QString title1;
  QString title2;
  QString sheet;
  QList<QStringList> table{};
};

class frm输出到Excel文件 : public QWidget {
 public:
  explicit frm输出到Excel文件(QWidget* parent = nullptr);

  // Label1[0] "Excel文件路径/文件名", Label1[1] "标题1", Label1[2] "Excel表名", Label1[3] "标题2".
  std::array<QLabel*, 4> Label1{};
  // Text1[0] workbook path, Text1[1] title 1 (cell A1), Text1[2] sheet name, Text1[3] title 2 (A2).
  std::array<QLineEdit*, 4> Text1{};
  QPushButton* Command1 = nullptr;  // browse for the workbook file
  QCheckBox* Check1 = nullptr;  // "启动Excel": show the workbook after the export
  QPushButton* Command2 = nullptr;  // "输出"
  QPushButton* Command3 = nullptr;  // "取消"
  // The headers of the columns the export writes (shown only with a grid to export), and a row
  // of check marks the export does not read.
  FlexGrid* Grid1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;

  // The table to export, as handed over (setData).
  QList<QStringList> SourceTable;
  // A grid to export instead, read when the export runs (set by a caller that hands a grid itself;
  // setData clears it).
  FlexGrid* SourceGrid = nullptr;

  // Fills the four boxes and SourceTable from what a feature hands over; the user may still edit the boxes.
  void setData(const ExportData& handed);
  // The explanation shown when the tool has no spreadsheet engine: in a message, and shorter in
  // the status bar.
  static QString noEngineText();
  static QString noEngineStatus();
  // Asked (default No) before writing into a workbook that exists; No writes nothing and says
  // "已取消输出，工作簿没有修改".
  static QString existingWorkbookQuestion(const QString& path, const QString& sheet);

  // Writes grid into the workbook named by Text1[0], into the sheet named by Text1[2], under the
  // titles of Text1[1] and Text1[3] (the boxes at the time of the call are what is written; the
  // Output button passes Text1[1] and Text1[2] as title and sheet). The header row goes without
  // the blanks that pad it on screen; the workbook is saved with that sheet active, and a new
  // workbook holds that sheet alone. A progress dialog shows the steps; "取消" stops the export
  // before the save (a new workbook is removed again) and says so. True when the workbook was saved. Reports a missing file
  // name itself; any other failure returns false with the engine's error text on the standard
  // error stream. Without a spreadsheet engine the user is told so and nothing is written. An
  // existing workbook is written into only when the user agrees; with "启动Excel" unticked the user
  // is told where the workbook was saved ("工作簿已保存：" + path).
  bool To_Execl(FlexGrid* grid, const QString& title, const QString& sheet);
  // The same for a table of texts (the header row first).
  bool To_Execl(const QList<QStringList>& table, const QString& title, const QString& sheet);

  // Shows a written workbook in the desktop's spreadsheet application ("启动Excel" ticked); false
  // when nothing could open it (the user is told, the export still counts as done). A test sets
  // it to watch instead of launching anything; unset, the desktop opens the file.
  static inline std::function<bool(const QString& path)> openWorkbook;

  // The Output button saved the workbook since the last setData.
  bool saved() const { return saved_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void browse();
  void showWorkbook(const QString& path);
  void showColumns();
  // The table the Output button writes: SourceGrid's when set, otherwise SourceTable.
  QList<QStringList> exported() const;
  bool saved_ = false;
  bool told_ = false;  // the last export ended with a message of its own (stopped, no engine)
};
