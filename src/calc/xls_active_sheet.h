#pragma once
// The sheet an Excel 97 workbook (.xls) opens on, set in the file's bytes: the engine writes the
// tab that was active when the workbook was loaded, and a headless office has no view to change.
#include <QByteArray>
#include <QString>

namespace calc {

// Makes sheet (from 0, in the workbook's order) the active sheet of the workbook file held in
// file, and the only selected one. Changes no byte but those flags; the file keeps its size.
// Returns false with *error, file unchanged, when file is no Excel 97 workbook of that many sheets.
bool setActiveXlsSheet(QByteArray& file, int sheet, QString* error);

}  // namespace calc
