#include "app/check_export.h"

#include <QDate>
#include <QDir>
#include <QPushButton>

#include "dbcheck/check_window.h"
#include "export/export_window.h"
#include "widgets/app_info.h"
#include "widgets/dialogs.h"
#include "widgets/shared_window.h"

void connectCheckExport(frm数据库检查& w) {
  QObject::connect(w.Command2, &QPushButton::clicked, &w, [&w] {
    auto& x = shared_window::instance<frm输出到Excel文件>();
    x.SourceGrid = w.MSFlexGrid1;
    const QString folder = app_info::documentsFolder();
    x.Text1[0]->setText(folder + QDir::separator() + QStringLiteral("数据库检查结果.XLS"));
    x.Text1[1]->setText(QStringLiteral("数据库检查结果"));
    x.Text1[3]->setText(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    x.Text1[2]->setText(QStringLiteral("数据库检查"));
    ui::Dialogs::current().showModal(&x);
  });
}
