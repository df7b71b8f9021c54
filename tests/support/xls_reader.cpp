#include "tests/support/xls_reader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace xls {
namespace {

// Debian's interpreter, where python3-xlrd is installed (another python3 may come first on PATH).
const char kPython[] = "/usr/bin/python3";

const char kScript[] = R"(
import json, struct, sys, xlrd
from xlrd import compdoc
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
# The sheet the workbook opens on: WINDOW1's itabCur in the workbook globals (xlrd skips it).
active = -1
with open(sys.argv[1], "rb") as f:
    doc = compdoc.CompDoc(f.read())
mem = doc.get_named_stream("Workbook") or doc.get_named_stream("Book")
pos = 0
while pos + 4 <= len(mem):
    code, size = struct.unpack("<HH", mem[pos:pos + 4])
    if code == 0x003D:
        active = struct.unpack("<H", mem[pos + 14:pos + 16])[0]
        break
    if code == 0x000A:
        break
    pos += 4 + size
out = []
for sh in book.sheets():
    rows = []
    for r in range(sh.nrows):
        row = []
        for c in range(sh.ncols):
            cell = sh.cell(r, c)
            xf = book.xf_list[cell.xf_index]
            b = xf.border
            row.append({"type": cell.ctype, "value": cell.value if cell.ctype == 1 else str(cell.value),
                        "font": book.font_list[xf.font_index].height / 20.0,
                        "borders": [b.top_line_style, b.bottom_line_style, b.left_line_style, b.right_line_style],
                        "align": [xf.alignment.hor_align, xf.alignment.vert_align],
                        "format": book.format_map[xf.format_key].format_str})
        rows.append(row)
    out.append({"name": sh.name, "selected": bool(sh.sheet_selected), "rows": sh.nrows, "cols": sh.ncols, "cells": rows,
                "merges": [list(m) for m in sh.merged_cells],
                "widths": [sh.computed_column_width(c) for c in range(sh.ncols)],
                "heights": [sh.rowinfo_map[r].height / 20.0 if r in sh.rowinfo_map else 0 for r in range(sh.nrows)]})
print(json.dumps({"active": active, "sheets": out}))
)";

}  // namespace

QStringList Book::names() const {
  QStringList result;
  for (const Sheet& s : sheets) result.append(s.name);
  return result;
}

const Sheet* Book::sheet(const QString& name) const {
  for (const Sheet& s : sheets)
    if (s.name == name) return &s;
  return nullptr;
}

Book read(const QString& path) {
  Book book;
  QProcess python;
  python.start(QString::fromLatin1(kPython), {QStringLiteral("-c"), QString::fromUtf8(kScript), path});
  if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0) {
    book.error = QString::fromUtf8(python.readAllStandardError()) + python.errorString();
    return book;
  }
  const QByteArray json = python.readAllStandardOutput();
  const QJsonObject all = QJsonDocument::fromJson(json).object();
  book.activeSheet = all["active"].toInt(-1);
  for (const QJsonValue& s : all["sheets"].toArray()) {
    const QJsonObject o = s.toObject();
    Sheet sheet;
    sheet.name = o["name"].toString();
    sheet.selected = o["selected"].toBool();
    sheet.rows = o["rows"].toInt();
    sheet.cols = o["cols"].toInt();
    for (const QJsonValue& r : o["cells"].toArray()) {
      QList<Cell> row;
      for (const QJsonValue& c : r.toArray()) {
        const QJsonObject co = c.toObject();
        const QJsonArray b = co["borders"].toArray(), a = co["align"].toArray();
        row.append(Cell{co["type"].toInt(), co["value"].toString(), co["font"].toDouble(), b[0].toInt(), b[1].toInt(),
                        b[2].toInt(), b[3].toInt(), a[0].toInt(), a[1].toInt(), co["format"].toString()});
      }
      sheet.cells.append(row);
    }
    for (const QJsonValue& m : o["merges"].toArray()) {
      const QJsonArray a = m.toArray();
      sheet.merges.append(Merge{a[0].toInt(), a[1].toInt(), a[2].toInt(), a[3].toInt()});
    }
    for (const QJsonValue& w : o["widths"].toArray()) sheet.columnWidths.append(w.toInt());
    for (const QJsonValue& h : o["heights"].toArray()) sheet.rowHeights.append(h.toDouble());
    QJsonObject withoutWidths = o;
    withoutWidths.remove("widths");
    withoutWidths.remove("heights");
    withoutWidths.remove("selected");
    sheet.dump = QString::fromUtf8(QJsonDocument(withoutWidths).toJson(QJsonDocument::Compact));
    book.sheets.append(sheet);
  }
  return book;
}

}  // namespace xls
