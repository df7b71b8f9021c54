#include "app/check_export.h"

#include <QPushButton>

#include "app/show_export.h"
#include "gui/dbcheck/check_window.h"

void connectCheckExport(frm数据库检查& w) {
  QObject::connect(w.Command2, &QPushButton::clicked, &w, [&w] {
    showExport({documentsWorkbook(QStringLiteral("数据库检查结果.XLS")), QStringLiteral("数据库检查结果"),
                exportDate(QDate::currentDate()), QStringLiteral("数据库检查"), w.MSFlexGrid1->table()});
  });
}
