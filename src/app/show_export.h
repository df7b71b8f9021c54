#pragma once
// The one way a feature's table reaches the export window: the feature hands over the workbook's
// path, titles, sheet name and grid, and the shared export window is shown modally with them.
#include <QDate>
#include <QString>

#include "gui/export/export_window.h"

// Fills the shared export window from data and shows it modally; returns when it has closed,
// whether the workbook was saved.
bool showExport(const ExportData& data);

// A workbook file of that name in the user's documents folder (the home folder when there is none).
QString documentsWorkbook(const QString& fileName);
// The date as the second title line shows it: yyyy-MM-dd.
QString exportDate(const QDate& day);
