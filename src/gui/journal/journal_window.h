#pragma once
// The change journal window: the entries of the connected database's journal, newest first,
// filtered by employee number (old or new), name, day range and operation, with the entries kept
// because the journal could not be written on top, marked "待写入"; an entry's details, read when
// it is chosen (the list holds no statements and only each entry's first pair); undo of a renumber
// or a staging not undone yet ("撤销" enabled for those), under a progress dialog with "取消".
// "导出" is wired by the start-up (the export window is another feature).
#include <QWidget>
#include <QtGlobal>
#include <array>
#include <vector>

#include "core/journal/journal.h"
#include "core/undo/undo_ops.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class FlexGrid;

namespace session {
class Session;
}

class frm修改记录 : public QWidget {
 public:
  // Works on session, which outlives the window.
  explicit frm修改记录(session::Session& session, QWidget* parent = nullptr);

  // 0 工号, 1 姓名, 2 日期从, 3 到, 4 操作
  std::array<QLabel*, 5> Label1{};
  QLineEdit* Text1 = nullptr;  // an old or new employee number
  QLineEdit* Text2 = nullptr;  // part of a name
  QLineEdit* Text3 = nullptr;  // first day, yyyy-MM-dd ("" = open)
  QLineEdit* Text4 = nullptr;  // last day, yyyy-MM-dd ("" = open)
  QComboBox* Combo1 = nullptr;  // "全部" or one operation
  QPushButton* Command1 = nullptr;  // 查询
  FlexGrid* MSFlexGrid1 = nullptr;  // the entries
  QPlainTextEdit* Text5 = nullptr;  // the selected entry's details
  QPushButton* Command2 = nullptr;  // 导出
  QPushButton* Command3 = nullptr;  // 撤销
  QPushButton* Command4 = nullptr;  // 关闭

  // Lists the entries matching the filters; false when a date is not a date or the journal failed.
  bool 查询();
  // The entry of a list row (0 for the header, an empty row or an entry not written yet).
  qint64 entryId(int row) const;
  // Undoes the selected entry after the checks and questions.
  void 撤销();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  session::Session& session_;
  std::vector<journal::Entry> pending_;  // the entries not written yet: the first rows
  std::vector<journal::Summary> shown_;  // one per row: pending_'s, then the written ones
  void showDetails();
  // The undo of an entry: its number, -1 for an undo not written yet, 0 when none.
  qint64 undoneBy(const journal::Summary& entry) const;
};
