#pragma once
// The impact preview: for every column a renumber rewrites, the rows holding the old number(s) and
// the rows already holding the new number(s), with totals; for a batch also one line per employee.
// "导出SQL" saves the exact statements the renumber would send as a T-SQL script. Nothing is changed.
#include <QString>
#include <QWidget>

#include "core/preview/preview.h"

class QLabel;
class QPushButton;
class FlexGrid;

class frm影响预览 : public QWidget {
 public:
  explicit frm影响预览(QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;  // what is previewed, and the totals
  FlexGrid* MSFlexGrid1 = nullptr;  // per column: 序, 表, 列, 原工号行数, 新工号已有行数
  FlexGrid* MSFlexGrid2 = nullptr;  // per employee (batch): 序, 原工号, 新工号, 移动行数, 新工号已有行数
  QPushButton* Command1 = nullptr;  // "导出SQL"
  QPushButton* Command2 = nullptr;  // "关闭"

  // Shows an impact; script is the T-SQL script "导出SQL" saves, suggestedName its file name.
  void 显示(const QString& caption, const preview::Impact& impact, const QString& script, const QString& suggestedName);
  // Saves the script to path (UTF-8 with a byte-order mark); false with a message when it cannot.
  bool 导出SQL(const QString& path);

 private:
  QString script_, suggestedName_;
};
