#pragma once
// "导出对照表" of the batch window: the work list goes to the export window with the workbook
// path, sheet name and titles filled in from the chosen numbering rule.
#include <QDate>
#include <QString>

#include "gui/export/export_window.h"

class frm员工工号统一修改;

// The four boxes of the export window for a rule entry of Combo1 ("类别码 编码类别名称"), the table
// left unset: path = folder (the user's documents), separator, N + "类员工新旧工号对照表.XLS";
// title1 = N + "类员工新旧工号对照表"; title2 = the date as yyyy-MM-dd; sheet = N.
using OldNewExportFields = ExportData;

// N is the entry without its first two characters (the one-character code and its blank; a
// longer code leaves its last characters or the blank at the start of N).
OldNewExportFields oldNewExportFields(const QString& ruleEntry, const QString& folder, const QDate& today);

// Wires Command4: fills the shared export window from Combo1 and today's date, hands it
// MSFlexGrid1, shows it modally and enables Command3 once it has closed, exported or not.
// Wiring a window twice has no further effect.
void connectOldNewExport(frm员工工号统一修改& w);
