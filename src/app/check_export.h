#pragma once
// "导出" of the database check window: its findings go to the export window, in a workbook in the
// user's documents folder.
class frm数据库检查;

void connectCheckExport(frm数据库检查& w);
