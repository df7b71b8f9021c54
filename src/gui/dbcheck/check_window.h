#pragma once
// The database check window: what the connected database lacks of the columns a renumber rewrites,
// and the columns that may hold employee numbers without being rewritten. A found column can be
// added to the renumber (kept in the tool's own settings) and removed again.
#include <QWidget>
#include <vector>

#include "core/common/added_columns.h"
#include "core/dbcheck/dbcheck_ops.h"

class QLabel;
class QPushButton;
class FlexGrid;

namespace session {
class Session;
}

class frm数据库检查 : public QWidget {
 public:
  // Works on session, which outlives the window.
  explicit frm数据库检查(session::Session& session, QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;  // summary of the last check
  FlexGrid* MSFlexGrid1 = nullptr;  // findings: 序, 类别, 表, 列, 说明
  QPushButton* Command1 = nullptr;  // "检查"
  QPushButton* Command2 = nullptr;  // "导出": the findings to a workbook (wired by the start-up)
  QPushButton* Command3 = nullptr;  // "加入修改列表": the selected possibly missed column
  QPushButton* Command4 = nullptr;  // "移出修改列表": the selected added column
  QPushButton* Command5 = nullptr;  // "关闭"

  // Runs the check and lists its findings; false after a database error (reported).
  bool 检查();

 private:
  session::Session& session_;
  enum class Kind { Missing, Suspect, Added, Note };
  struct Line {
    Kind kind;
    QString table, column;
  };
  std::vector<Line> lines_;  // one per grid row
  void list(const dbcheck::Report& report, const std::vector<common::added::AddedColumn>& addedColumns);
  const Line* selectedLine() const;
  void addSelected();
  void removeSelected();
  void updateButtons();
};
