#include "app/show_export.h"

#include <QDir>

#include "gui/widgets/app_info.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/shared_window.h"

bool showExport(const ExportData& data) {
  auto& x = widgets::shared_window::instance<frm输出到Excel文件>();
  x.setData(data);
  widgets::Dialogs::current().showModal(&x);
  return x.saved();
}

QString documentsWorkbook(const QString& fileName) {
  return QDir::toNativeSeparators(widgets::app_info::documentsFolder() + u'/' + fileName);
}

QString exportDate(const QDate& day) { return day.toString(QStringLiteral("yyyy-MM-dd")); }
