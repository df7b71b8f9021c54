#include "app/old_new_export.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QVariant>

#include "app/show_export.h"
#include "gui/batch/batch_window.h"
#include "gui/widgets/app_info.h"

OldNewExportFields oldNewExportFields(const QString& ruleEntry, const QString& folder, const QDate& today) {
  const QString n = ruleEntry.mid(2);
  return {QDir::toNativeSeparators(folder + u'/' + n + QStringLiteral("类员工新旧工号对照表.XLS")),
          n + QStringLiteral("类员工新旧工号对照表"), exportDate(today), n};
}

void connectOldNewExport(frm员工工号统一修改& w) {
  const char* wired = "oldNewExportWired";
  if (w.Command4->property(wired).toBool()) return;
  w.Command4->setProperty(wired, true);
  QObject::connect(w.Command4, &QPushButton::clicked, &w, [&w] {
    ExportData data =
        oldNewExportFields(w.Combo1->currentText(), widgets::app_info::documentsFolder(), QDate::currentDate());
    data.table = w.MSFlexGrid1->table();
    // Exported: the line that asked for the export has done its work.
    if (showExport(data)) w.Label2->clear();
    w.Command3->setEnabled(true);
  });
}
