// LibreOffice Calc as the spreadsheet engine, through UNO.
#include "calc/calc_engine.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/Locale.hpp>
#include <com/sun/star/sheet/CellFlags.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSheetCellCursor.hpp>
#include <com/sun/star/sheet/XSheetOperation.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/sheet/XUsedAreaCursor.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/table/BorderLineStyle.hpp>
#include <com/sun/star/table/CellHoriJustify.hpp>
#include <com/sun/star/table/CellVertJustify2.hpp>
#include <com/sun/star/table/TableBorder2.hpp>
#include <com/sun/star/table/XCellRange.hpp>
#include <com/sun/star/table/XColumnRowRange.hpp>
#include <com/sun/star/table/XTableRows.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/util/NumberFormat.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XMergeable.hpp>
#include <com/sun/star/util/XNumberFormatTypes.hpp>
#include <com/sun/star/util/XNumberFormatsSupplier.hpp>
#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <cppuhelper/exc_hlp.hxx>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

#include "calc/office_control.h"
#include "calc/office_process.h"
#include "calc/xls_active_sheet.h"

namespace calc {
namespace {

using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using office::toQ;
using office::toU;

// Filters under which a loaded document counts as a workbook, and whether it is saved back in
// that format (the others are written as "MS Excel 97").
struct WorkbookFilter {
  QStringView name;
  bool saveAsLoaded;
};
constexpr WorkbookFilter kWorkbookFilters[] = {
    {u"MS Excel 97", true},
    {u"MS Excel 97 Vorlage/Template", false},
    {u"MS Excel 95", false},
    {u"MS Excel 95 Vorlage/Template", false},
    {u"MS Excel 5.0/95", false},
    {u"MS Excel 5.0/95 Vorlage/Template", false},
    {u"MS Excel 4.0", false},
    {u"MS Excel 4.0 Vorlage/Template", false},
    {u"Calc MS Excel 2007 XML", true},
    {u"Calc MS Excel 2007 VBA XML", true},
    {u"Calc Office Open XML", true},
    {u"calc8", true},
};
constexpr QStringView kLegacyExcelFilter = u"MS Excel 97";
constexpr sal_Int32 kProvisionalRowHeight = 500;  // 1/100 mm, until the rows are fitted before the save
constexpr int kSampledRows = 100;  // rows measured to fit the height of all table rows

Sequence<css::beans::PropertyValue> props(std::initializer_list<css::beans::PropertyValue> list) {
  return Sequence<css::beans::PropertyValue>(list.begin(), sal_Int32(list.size()));
}

css::beans::PropertyValue prop(const char* name, const Any& value) {
  css::beans::PropertyValue p;
  p.Name = rtl::OUString::createFromAscii(name);
  p.Value = value;
  return p;
}

rtl::OUString fileUrl(const QString& path) {
  return toU(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

// Runs one engine step; a UNO exception becomes an EngineError naming the step.
template <class F>
auto step(QStringView what, F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const EngineError&) {
    throw;
  } catch (const css::uno::Exception& e) {
    const Any caught = cppu::getCaughtException();
    QString text = QStringLiteral("%1: %2").arg(what, toQ(caught.getValueTypeName()));
    if (!e.Message.isEmpty()) text += QStringLiteral(": ") + toQ(e.Message);
    office::checkAfterFailure();
    throw EngineError(text);
  }
}

// The office's lock file of the document at path.
QString lockFileOf(const QString& path) {
  const QFileInfo info(path);
  return info.absolutePath() + QStringLiteral("/.~lock.") + info.fileName() + QStringLiteral("#");
}

// Removes the lock file of path when an office of this tool wrote it and does not hold the document
// now: the lock names the office's profile, and that profile is gone (the office crashed or was
// killed) or is the current office's, which has closed the document. Locks of other programs stay.
void removeStaleLock(const QString& path) {
  QFile lock(lockFileOf(path));
  if (!lock.open(QIODevice::ReadOnly)) return;
  const QStringList fields = QString::fromUtf8(lock.read(4096)).split(u',');
  lock.close();
  if (fields.size() < 5) return;
  const QString profile = QUrl(fields[4].section(u';', 0, 0).trimmed()).toLocalFile();
  const QString ours = QDir::tempPath() + QStringLiteral("/renumber-office-");
  if (profile.isEmpty() || !profile.startsWith(ours) || profile.startsWith(ours + QStringLiteral("seed"))) return;
  if (!QFileInfo::exists(profile) || profile == office::profileDir()) QFile::remove(lockFileOf(path));
}

void closeDocument(const Reference<css::lang::XComponent>& doc, const QString& path) {
  if (doc.is()) {
    try {
      Reference<css::util::XCloseable> closeable(doc, UNO_QUERY);
      if (closeable.is())
        closeable->close(true);
      else
        doc->dispose();
    } catch (const css::uno::Exception&) {
      office::checkAfterFailure();
    }
  }
  if (!path.isEmpty()) removeStaleLock(path);
}

Reference<css::lang::XComponent> load(const rtl::OUString& url) {
  office::Connection& c = office::connect();
  Reference<css::frame::XComponentLoader> loader(c.desktop, UNO_QUERY_THROW);
  const Sequence<css::beans::PropertyValue> args = props({
      prop("Hidden", Any(true)),  // a headless office cannot show a document window
      prop("MacroExecutionMode", Any(css::document::MacroExecMode::NEVER_EXECUTE)),
      prop("UpdateDocMode", Any(css::document::UpdateDocMode::NO_UPDATE)),
      prop("PickListEntry", Any(false)),
  });
  return loader->loadComponentFromURL(url, "_blank", 0, args);
}

class LoWorkbook : public Workbook {
 public:
  LoWorkbook(const Reference<css::lang::XComponent>& doc, QString path, QString filter)
      : doc_(doc), path_(std::move(path)), filter_(std::move(filter)) {}
  ~LoWorkbook() override { close(); }

  int findSheet(const QString& name) override {
    return step(u"find the sheet", [&] {
      Reference<css::container::XIndexAccess> sheets = sheetIndex();
      for (sal_Int32 i = 0; i < sheets->getCount(); ++i) {
        Reference<css::container::XNamed> named(sheets->getByIndex(i), UNO_QUERY_THROW);
        if (toQ(named->getName()) == name) return int(i);
      }
      return -1;
    });
  }

  int addSheetAfterLast(const QString& name) override {
    return step(u"add the sheet", [&] {
      Reference<css::container::XIndexAccess> sheets = sheetIndex();
      for (sal_Int32 i = 0; i < sheets->getCount(); ++i) {
        Reference<css::container::XNamed> named(sheets->getByIndex(i), UNO_QUERY_THROW);
        const QString existing = toQ(named->getName());
        if (existing.compare(name, Qt::CaseInsensitive) == 0)
          throw EngineError(QStringLiteral("add the sheet: the workbook holds a sheet \"") + existing +
                            QStringLiteral("\" that differs from \"") + name +
                            QStringLiteral("\" only in letter case"));
      }
      const sal_Int16 at = sal_Int16(sheets->getCount());
      document()->getSheets()->insertNewByName(toU(name), at);
      return int(at);
    });
  }

  void showSheet(int sheet) override {
    step(u"show the sheet", [&] {
      Reference<css::beans::XPropertySet>(spreadsheet(sheet), UNO_QUERY_THROW)
          ->setPropertyValue("IsVisible", Any(true));
    });
  }

  void clearUsedArea(int sheet) override {
    step(u"clear the used area", [&] {
      Reference<css::sheet::XSpreadsheet> s = spreadsheet(sheet);
      Reference<css::sheet::XSheetCellCursor> cursor = s->createCursor();
      Reference<css::sheet::XUsedAreaCursor>(cursor, UNO_QUERY_THROW)->gotoEndOfUsedArea(false);
      const css::table::CellRangeAddress end =
          Reference<css::sheet::XCellRangeAddressable>(cursor, UNO_QUERY_THROW)->getRangeAddress();
      Reference<css::table::XCellRange> area = s->getCellRangeByPosition(0, 0, end.EndColumn, end.EndRow);
      Reference<css::util::XMergeable>(area, UNO_QUERY_THROW)->merge(false);
      using namespace css::sheet::CellFlags;
      Reference<css::sheet::XSheetOperation>(area, UNO_QUERY_THROW)
          ->clearContents(VALUE | DATETIME | STRING | FORMULA | HARDATTR | STYLES | EDITATTR | FORMATTED);
    });
  }

  void setCellText(int sheet, int row, int col, const QString& text) override {
    step(u"write a cell", [&] {
      Reference<css::text::XText> cell(spreadsheet(sheet)->getCellByPosition(col - 1, row - 1), UNO_QUERY_THROW);
      cell->setString(toU(text));
    });
  }

  void writeTextTable(int sheet, int firstRow, const QList<QStringList>& rows) override {
    if (rows.isEmpty() || rows.first().isEmpty()) return;
    step(u"write the table", [&] {
      const sal_Int32 cols = rows.first().size();
      Sequence<Sequence<Any>> data(rows.size());
      Sequence<Any>* out = data.getArray();
      for (qsizetype i = 0; i < rows.size(); ++i) {
        if (rows[i].size() != cols) throw EngineError(QStringLiteral("write the table: rows of unequal length"));
        out[i].realloc(cols);
        Any* cells = out[i].getArray();
        for (sal_Int32 j = 0; j < cols; ++j) cells[j] <<= toU(rows[i][j]);
      }
      Reference<css::table::XCellRange> range =
          cells(sheet, CellRange{firstRow, 1, firstRow + int(rows.size()) - 1, int(cols)});
      fixTableRows(sheet, firstRow, firstRow + int(rows.size()) - 1);
      Reference<css::beans::XPropertySet>(range, UNO_QUERY_THROW)->setPropertyValue("NumberFormat", Any(textFormat()));
      Reference<css::sheet::XCellRangeData>(range, UNO_QUERY_THROW)->setDataArray(data);
    });
  }

  void merge(int sheet, const CellRange& range) override {
    step(u"merge cells", [&] { Reference<css::util::XMergeable>(cells(sheet, range), UNO_QUERY_THROW)->merge(true); });
  }

  void centreRows(int sheet, int firstRow, int lastRow) override {
    step(u"centre the rows", [&] {
      for (int r = firstRow; r <= lastRow; ++r) {
        Reference<css::beans::XPropertySet> row = sheetRow(sheet, r);
        row->setPropertyValue("HoriJustify", Any(css::table::CellHoriJustify_CENTER));
        row->setPropertyValue("VertJustify", Any(sal_Int32(css::table::CellVertJustify2::CENTER)));
      }
    });
  }

  void drawBorders(int sheet, const CellRange& range) override {
    step(u"draw the borders", [&] {
      css::table::BorderLine2 line;
      line.Color = 0;
      line.LineStyle = css::table::BorderLineStyle::SOLID;
      line.LineWidth = 26;  // 0.26 mm: the thin line of the legacy format
      line.OuterLineWidth = 26;
      css::table::TableBorder2 border;
      border.TopLine = border.BottomLine = border.LeftLine = border.RightLine = line;
      border.HorizontalLine = border.VerticalLine = line;  // the inner edges between the cells
      border.IsTopLineValid = border.IsBottomLineValid = border.IsLeftLineValid = border.IsRightLineValid = true;
      border.IsHorizontalLineValid = border.IsVerticalLineValid = true;
      Reference<css::beans::XPropertySet>(cells(sheet, range), UNO_QUERY_THROW)
          ->setPropertyValue("TableBorder2", Any(border));
    });
  }

  void setRowFontSize(int sheet, int row, double points) override {
    step(u"set the font size of a row", [&] { setCharHeight(sheetRow(sheet, row), points); });
  }

  void setFontSize(int sheet, const CellRange& range, double points) override {
    step(u"set the font size",
         [&] { setCharHeight(Reference<css::beans::XPropertySet>(cells(sheet, range), UNO_QUERY_THROW), points); });
  }

  void fitColumns(int sheet, int firstCol, int lastCol) override {
    step(u"fit the column widths", [&] {
      Reference<css::table::XCellRange> range = cells(sheet, CellRange{1, firstCol, 1, lastCol});
      Reference<css::beans::XPropertySet> columns(
          Reference<css::table::XColumnRowRange>(range, UNO_QUERY_THROW)->getColumns(), UNO_QUERY_THROW);
      columns->setPropertyValue("OptimalWidth", Any(true));
    });
  }

  void activateSheet(int sheet) override {
    step(u"activate the sheet", [&] { spreadsheet(sheet); });  // the sheet exists
    activeSheet_ = sheet;
  }

  void save() override {
    step(u"save the workbook", [&] {
      fitTableRowHeights();
      Reference<css::frame::XStorable> storable(doc_, UNO_QUERY_THROW);
      if (savesAsLoaded()) {
        storable->store();
      } else {
        const Sequence<css::beans::PropertyValue> args =
            props({prop("FilterName", Any(toU(kLegacyExcelFilter.toString()))), prop("Overwrite", Any(true))});
        storable->storeAsURL(storable->getLocation(), args);
      }
    });
    if (activeSheet_ >= 0 && savedAsLegacyExcel()) markActiveSheet();
  }

  void close() override {
    if (!doc_.is()) return;
    closeDocument(doc_, path_);
    doc_.clear();
  }

 private:
  Reference<css::lang::XComponent> doc_;
  QString path_;
  QString filter_;
  std::map<int, std::pair<int, int>> tableRows_;  // sheet -> first and last row of the table written
  int activeSheet_ = -1;  // the sheet the saved workbook opens on; -1 leaves it as it was
  sal_Int32 textFormat_ = -1;

  // The table's rows get a fixed height while the table is written and formatted: the engine
  // would otherwise measure every row again after each change, which for Chinese text costs
  // seconds on a large table. Before the save the rows get the height the first rows need.
  void fixTableRows(int sheet, int firstRow, int lastRow) {
    tableRows_[sheet] = {firstRow, lastRow};
    rowsOf(sheet, firstRow, lastRow)->setPropertyValue("Height", Any(sal_Int32(kProvisionalRowHeight)));
  }
  void fitTableRowHeights() {
    for (const auto& [sheet, rows] : tableRows_) {
      const auto [first, last] = rows;
      const int sampleLast = std::min(last, first + kSampledRows - 1);
      rowsOf(sheet, first, sampleLast)->setPropertyValue("OptimalHeight", Any(true));
      Reference<css::table::XTableRows> sample =
          Reference<css::table::XColumnRowRange>(cells(sheet, CellRange{first, 1, sampleLast, 1}), UNO_QUERY_THROW)
              ->getRows();
      sal_Int32 height = 0;
      for (sal_Int32 i = 0; i < sample->getCount(); ++i) {
        sal_Int32 h = 0;
        Reference<css::beans::XPropertySet>(sample->getByIndex(i), UNO_QUERY_THROW)->getPropertyValue("Height") >>= h;
        height = std::max(height, h);
      }
      if (height > 0) rowsOf(sheet, first, last)->setPropertyValue("Height", Any(height));
    }
    tableRows_.clear();
  }
  Reference<css::beans::XPropertySet> rowsOf(int sheet, int firstRow, int lastRow) {
    Reference<css::table::XColumnRowRange> range(cells(sheet, CellRange{firstRow, 1, lastRow, 1}), UNO_QUERY_THROW);
    return Reference<css::beans::XPropertySet>(range->getRows(), UNO_QUERY_THROW);
  }

  Reference<css::sheet::XSpreadsheetDocument> document() {
    if (!doc_.is()) throw EngineError(QStringLiteral("the workbook is closed"));
    return Reference<css::sheet::XSpreadsheetDocument>(doc_, UNO_QUERY_THROW);
  }
  Reference<css::container::XIndexAccess> sheetIndex() {
    return Reference<css::container::XIndexAccess>(document()->getSheets(), UNO_QUERY_THROW);
  }
  Reference<css::sheet::XSpreadsheet> spreadsheet(int sheet) {
    return Reference<css::sheet::XSpreadsheet>(sheetIndex()->getByIndex(sheet), UNO_QUERY_THROW);
  }
  Reference<css::table::XCellRange> cells(int sheet, const CellRange& r) {
    return spreadsheet(sheet)->getCellRangeByPosition(r.left - 1, r.top - 1, r.right - 1, r.bottom - 1);
  }
  Reference<css::beans::XPropertySet> sheetRow(int sheet, int row) {
    Reference<css::table::XColumnRowRange> rows(spreadsheet(sheet), UNO_QUERY_THROW);
    return Reference<css::beans::XPropertySet>(rows->getRows()->getByIndex(row - 1), UNO_QUERY_THROW);
  }
  // Chinese text takes the Asian font's height; the other two cover Latin and complex scripts.
  // All three in one call: the engine lays the cells out again after each call.
  static void setCharHeight(const Reference<css::beans::XPropertySet>& target, double points) {
    const Any height(static_cast<float>(points));
    const rtl::OUString names[] = {"CharHeight", "CharHeightAsian", "CharHeightComplex"};
    const Any values[] = {height, height, height};
    Reference<css::beans::XMultiPropertySet>(target, UNO_QUERY_THROW)
        ->setPropertyValues(Sequence<rtl::OUString>(names, 3), Sequence<Any>(values, 3));
  }
  sal_Int32 textFormat() {
    if (textFormat_ < 0) {
      Reference<css::util::XNumberFormatsSupplier> supplier(doc_, UNO_QUERY_THROW);
      Reference<css::util::XNumberFormatTypes> types(supplier->getNumberFormats(), UNO_QUERY_THROW);
      textFormat_ = types->getStandardFormat(css::util::NumberFormat::TEXT, css::lang::Locale());
    }
    return textFormat_;
  }
  bool savedAsLegacyExcel() const { return !savesAsLoaded() || filter_ == kLegacyExcelFilter; }
  // The engine saves the tab that was active when the workbook was loaded, and a headless office
  // has no view to change it through: the saved file gets the active sheet set in its bytes. A
  // file that cannot be marked stays as the engine saved it.
  void markActiveSheet() {
    QFile f(QFileInfo(path_).absoluteFilePath());
    if (!f.open(QIODevice::ReadWrite)) throw EngineError(QStringLiteral("activate the sheet: ") + f.errorString());
    QByteArray bytes = f.readAll();
    QString error;
    if (!setActiveXlsSheet(bytes, activeSheet_, &error)) {
      std::fprintf(stderr, "activate the sheet: %s\n", error.toUtf8().constData());
      return;
    }
    if (!f.seek(0) || f.write(bytes) != bytes.size() || !f.flush())
      throw EngineError(QStringLiteral("activate the sheet: ") + f.errorString());
  }
  bool savesAsLoaded() const {
    for (const WorkbookFilter& f : kWorkbookFilters)
      if (filter_ == f.name) return f.saveAsLoaded;
    return false;
  }
};

class LoEngine : public Engine {
 public:
  void createWorkbook(const QString& path, const QString& sheetName) override {
    Reference<css::lang::XComponent> doc;
    removeStaleLock(path);
    try {
      step(u"create the workbook", [&] {
        // The engine would create a missing folder; a mistyped folder must not come into being.
        if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
          throw EngineError(QStringLiteral("create the workbook: the folder of ") + path +
                            QStringLiteral(" does not exist"));
        doc = load("private:factory/scalc");
        if (!doc.is()) throw EngineError(QStringLiteral("create the workbook: the engine made no document"));
        onlySheet(doc, sheetName);
        Reference<css::frame::XStorable> storable(doc, UNO_QUERY_THROW);
        const Sequence<css::beans::PropertyValue> args =
            props({prop("FilterName", Any(toU(kLegacyExcelFilter.toString()))), prop("Overwrite", Any(false))});
        storable->storeAsURL(fileUrl(path), args);
      });
    } catch (...) {
      closeDocument(doc, path);
      throw;
    }
    closeDocument(doc, path);
  }

  std::unique_ptr<Workbook> open(const QString& path) override {
    Reference<css::lang::XComponent> doc;
    removeStaleLock(path);
    try {
      return step(u"open the workbook", [&]() -> std::unique_ptr<Workbook> {
        if (QFileInfo(path).size() == 0)
          throw EngineError(QStringLiteral("open the workbook: ") + path + QStringLiteral(" is empty, not a workbook"));
        doc = load(fileUrl(path));
        if (!doc.is()) throw EngineError(QStringLiteral("open the workbook: the engine cannot load ") + path);
        if (!Reference<css::sheet::XSpreadsheetDocument>(doc, UNO_QUERY).is())
          throw EngineError(QStringLiteral("open the workbook: ") + path + QStringLiteral(" is not a workbook"));
        const QString filter = loadedFilter(doc);
        bool known = false;
        for (const WorkbookFilter& f : kWorkbookFilters) known = known || filter == f.name;
        if (!known)
          throw EngineError(QStringLiteral("open the workbook: ") + path +
                            QStringLiteral(" is not a workbook (it reads as \"") + filter + QStringLiteral("\")"));
        if (Reference<css::frame::XStorable>(doc, UNO_QUERY_THROW)->isReadonly())
          throw EngineError(QStringLiteral("open the workbook: ") + path +
                            QStringLiteral(" is locked by another program or cannot be written"));
        auto book = std::make_unique<LoWorkbook>(doc, path, filter);
        doc.clear();
        return book;
      });
    } catch (...) {
      closeDocument(doc, path);
      throw;
    }
  }

  void setWhileStarting(std::function<void()> hook) override { office::setWhileStarting(std::move(hook)); }

 private:
  // Leaves the new document with one sheet, called name: the others removed, the first renamed.
  static void onlySheet(const Reference<css::lang::XComponent>& doc, const QString& name) {
    Reference<css::sheet::XSpreadsheets> sheets =
        Reference<css::sheet::XSpreadsheetDocument>(doc, UNO_QUERY_THROW)->getSheets();
    Reference<css::container::XIndexAccess> index(sheets, UNO_QUERY_THROW);
    if (index->getCount() < 1) throw EngineError(QStringLiteral("create the workbook: the new document has no sheet"));
    while (index->getCount() > 1) {
      Reference<css::container::XNamed> last(index->getByIndex(index->getCount() - 1), UNO_QUERY_THROW);
      sheets->removeByName(last->getName());
    }
    Reference<css::container::XNamed>(index->getByIndex(0), UNO_QUERY_THROW)->setName(toU(name));
  }

  static QString loadedFilter(const Reference<css::lang::XComponent>& doc) {
    Reference<css::frame::XModel> model(doc, UNO_QUERY_THROW);
    const Sequence<css::beans::PropertyValue> args = model->getArgs();
    for (const css::beans::PropertyValue& a : args) {
      rtl::OUString name;
      if (a.Name == "FilterName" && (a.Value >>= name)) return toQ(name);
    }
    return QString();
  }
};

}  // namespace

int office::openDocumentCount() {
  if (!office::running()) return 0;
  return step(u"count the open documents", [] {
    Reference<css::container::XEnumeration> all = office::connect().desktop->getComponents()->createEnumeration();
    int n = 0;
    for (; all->hasMoreElements(); all->nextElement()) ++n;
    return n;
  });
}

QString engineName() { return QStringLiteral("LibreOffice Calc"); }

Engine* installedEngine() {
  if (!office::installed()) return nullptr;
  static LoEngine* engine = new LoEngine;  // the office behind it ends through office::shutdown()
  return engine;
}

}  // namespace calc
