// The Excel engine against a scripted Excel: an automation object of the test's own that records
// every call it gets (object, member, kind of call, arguments) and answers as Excel's object model
// does, down to the 2-D array the table is written with. The calls of a table export, the save
// in the format the workbook was opened in, a failing call's text, and Excel missing or lost.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <oleauto.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <memory>

#include "calc/excel_engine.h"
#include "calc/table_export.h"
#include "tests/support/qt_print.h"

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// What the scripted Excel was asked and how it answers.
struct Script {
  QStringList calls;  // "Label.Member" (get), "Label.Member[args]" (get), "Label.Member = v", "Label.Member(args)"
  QStringList sheets{"Sheet1"};  // the worksheets' names of the workbook Excel has open
  int fileFormat = 56;  // what Workbook.FileFormat reads
  bool readOnly = false;
  QString failAt;  // the first call beginning with this fails, with failWith
  HRESULT failWith = DISP_E_EXCEPTION;
  QString description;  // of that failure's EXCEPINFO; "" none
  bool deferred = false;  // the description is filled in only through pfnDeferredFillIn
  SCODE scode = 0;
  int live = 0;  // scripted objects not yet released
  QStringList names;  // GetIDsOfNames: name -> index + 1
};

HRESULT STDAPICALLTYPE fillInLater(EXCEPINFO* info) {
  info->bstrDescription = SysAllocString(L"filled in later");
  return S_OK;
}

QString fromBstr(BSTR s) { return QString::fromWCharArray(s, int(SysStringLen(s))); }

class Scripted : public IDispatch {
 public:
  // dead: shared by the objects of one application; once set (the process ended) every call fails.
  Scripted(Script& script, QString type, QString label, std::shared_ptr<bool> dead, int index = 0)
      : script_(script), type_(std::move(type)), label_(std::move(label)), dead_(std::move(dead)), index_(index) {
    ++script_.live;
  }
  virtual ~Scripted() { --script_.live; }
  const QString& label() const { return label_; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    for (UINT i = 0; i < count; ++i) {
      const QString name = QString::fromWCharArray(names[i]);
      if (!script_.names.contains(name)) script_.names << name;
      ids[i] = DISPID(script_.names.indexOf(name) + 1);
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* info, UINT*) override {
    if (id < 1 || id > script_.names.size()) return DISP_E_MEMBERNOTFOUND;
    const QString member = script_.names[id - 1];
    // Positional arguments come last to first, after the named ones.
    QStringList args;
    for (UINT i = params->cArgs; i > params->cNamedArgs; --i) args << render(params->rgvarg[i - 1]);
    const bool put = flags == DISPATCH_PROPERTYPUT;
    if (put && (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT))
      return DISP_E_PARAMNOTFOUND;
    if (!put && params->cNamedArgs != 0) return DISP_E_NONAMEDARGS;
    QString call = label_ + "." + member;
    if (flags == DISPATCH_METHOD)
      call += "(" + args.join(", ") + ")";
    else if (!args.isEmpty())
      call += "[" + args.join(", ") + "]";
    if (put) call += " = " + render(params->rgvarg[0]);
    if (flags != DISPATCH_METHOD && flags != DISPATCH_PROPERTYGET && !put) call += QString(" ?flags %1").arg(flags);
    script_.calls << call;

    if (*dead_) return RPC_E_DISCONNECTED;
    if (!script_.failAt.isEmpty() && call.startsWith(script_.failAt)) {
      script_.failAt.clear();
      if (script_.failWith == RPC_E_DISCONNECTED) *dead_ = true;
      if (script_.failWith == DISP_E_EXCEPTION && info) {
        *info = EXCEPINFO{};
        info->bstrSource = SysAllocString(L"Microsoft Excel");
        if (script_.deferred)
          info->pfnDeferredFillIn = &fillInLater;
        else if (!script_.description.isEmpty())
          info->bstrDescription = SysAllocString(reinterpret_cast<const wchar_t*>(script_.description.utf16()));
        info->scode = script_.scode;
      }
      return script_.failWith;
    }
    if (put) {
      if (type_ == "Worksheet" && member == "Name") script_.sheets[index_ - 1] = fromBstr(V_BSTR(&params->rgvarg[0]));
      return S_OK;
    }
    if (result) answer(member, params, *result);
    return S_OK;
  }

 private:
  Script& script_;
  QString type_;
  QString label_;
  std::shared_ptr<bool> dead_;
  int index_;  // a worksheet's number, from 1
  ULONG refs_ = 1;

  static QString render(const VARIANT& v) {
    switch (V_VT(&v)) {
      case VT_EMPTY: return "Empty";
      case VT_I2: return QString::number(V_I2(&v));
      case VT_I4: return QString::number(V_I4(&v));
      case VT_R8: return QString::number(V_R8(&v));
      case VT_BOOL: return V_BOOL(&v) ? "True" : "False";
      case VT_BSTR: return "\"" + fromBstr(V_BSTR(&v)) + "\"";
      case VT_ERROR: return V_ERROR(&v) == DISP_E_PARAMNOTFOUND ? "" : "Error";
      case VT_DISPATCH: {
        auto* scripted = dynamic_cast<Scripted*>(V_DISPATCH(&v));
        return scripted ? scripted->label() : "(foreign object)";
      }
      case VT_ARRAY | VT_VARIANT: return renderArray(V_ARRAY(&v));
      default: return QString("(type %1)").arg(V_VT(&v));
    }
  }
  // "[1..3,1..2]{a,b;c,d;e,f}": the bounds of both dimensions, then the rows.
  static QString renderArray(SAFEARRAY* array) {
    if (SafeArrayGetDim(array) != 2) return QString("(array of %1 dimensions)").arg(SafeArrayGetDim(array));
    LONG low[2], high[2];
    for (UINT d = 0; d < 2; ++d) {
      SafeArrayGetLBound(array, d + 1, &low[d]);
      SafeArrayGetUBound(array, d + 1, &high[d]);
    }
    QStringList rows;
    for (LONG r = low[0]; r <= high[0]; ++r) {
      QStringList cells;
      for (LONG c = low[1]; c <= high[1]; ++c) {
        LONG at[2] = {r, c};
        VARIANT cell;
        VariantInit(&cell);
        SafeArrayGetElement(array, at, &cell);
        cells << render(cell);
        VariantClear(&cell);
      }
      rows << cells.join(",");
    }
    return QString("[%1..%2,%3..%4]{").arg(low[0]).arg(high[0]).arg(low[1]).arg(high[1]) + rows.join(";") + "}";
  }

  void child(VARIANT& result, const QString& type, const QString& label, int index = 0) {
    V_VT(&result) = VT_DISPATCH;
    V_DISPATCH(&result) = new Scripted(script_, type, label, dead_, index);
  }
  static int intArg(const DISPPARAMS* params, UINT fromFirst) {
    return V_I4(&params->rgvarg[params->cArgs - 1 - fromFirst]);
  }

  // Excel's object model, as far as the engine goes into it.
  void answer(const QString& member, const DISPPARAMS* params, VARIANT& result) {
    const QString call = type_ + "." + member;
    if (call == "Application.Workbooks") return child(result, "Workbooks", "Workbooks");
    if (call == "Workbooks.Add") {
      script_.sheets = {"Sheet1"};
      return child(result, "Workbook", "Workbook");
    }
    if (call == "Workbooks.Open") return child(result, "Workbook", "Workbook");
    if (call == "Workbook.Worksheets") return child(result, "Worksheets", "Worksheets");
    if (call == "Workbook.FileFormat") {
      V_VT(&result) = VT_I4;
      V_I4(&result) = script_.fileFormat;
      return;
    }
    if (call == "Workbook.ReadOnly") {
      V_VT(&result) = VT_BOOL;
      V_BOOL(&result) = script_.readOnly ? VARIANT_TRUE : VARIANT_FALSE;
      return;
    }
    if (call == "Workbook.SaveAs") {  // the file appears
      QFile file(QDir::fromNativeSeparators(fromBstr(V_BSTR(&params->rgvarg[params->cArgs - 1]))));
      if (file.open(QIODevice::WriteOnly)) file.write("saved as");
      return;
    }
    if (call == "Worksheets.Count") {
      V_VT(&result) = VT_I4;
      V_I4(&result) = int(script_.sheets.size());
      return;
    }
    if (call == "Worksheets.Item") {
      const int n = intArg(params, 0);
      return child(result, "Worksheet", QString("Worksheet%1").arg(n), n);
    }
    if (call == "Worksheets.Add") {
      script_.sheets << QString("Sheet%1").arg(script_.sheets.size() + 1);
      const int n = int(script_.sheets.size());
      return child(result, "Worksheet", QString("Worksheet%1").arg(n), n);
    }
    if (call == "Worksheet.Name") {
      V_VT(&result) = VT_BSTR;
      V_BSTR(&result) = SysAllocString(reinterpret_cast<const wchar_t*>(script_.sheets[index_ - 1].utf16()));
      return;
    }
    if (call == "Worksheet.Range")
      return child(result, "Range", "Range[" + render(params->rgvarg[params->cArgs - 1]) + "]");
    if (call == "Worksheet.UsedRange") return child(result, "Range", "UsedRange");
    if (call == "Range.Font") return child(result, "Font", label_ + ".Font");
    if (call == "Range.Borders") return child(result, "Borders", label_ + ".Borders");
    if (call == "Range.Columns") return child(result, "Range", label_ + ".Columns");
  }
};

// An engine on the scripted Excel; every start makes a new application object.
struct ScriptedExcel {
  Script script;
  int starts = 0;
  std::unique_ptr<calc::excel::ExcelEngine> engine = std::make_unique<calc::excel::ExcelEngine>([this] {
    ++starts;
    return static_cast<IDispatch*>(new Scripted(script, "Application", "Application", std::make_shared<bool>(false)));
  });
};

const QList<QStringList> kTable{{"原工号", "新工号"}, {"0012", "10012"}, {"2", "张三"}};

calc::TableExport job(const QString& path, const QString& sheet = "工程") {
  return {path, "标题一", "2024-03-07", sheet, kTable};
}

void exportTo(calc::Engine& engine, const calc::TableExport& j) {
  calc::exportTable(engine, j, [](int, int) { return true; });
}

QString native(const QString& path) { return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()); }

QByteArray contents(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

void write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

const QStringList kSetUp{"Application.Visible = False", "Application.DisplayAlerts = False",
                         "Application.ScreenUpdating = False", "Application.AutomationSecurity = 3",
                         "Application.Workbooks"};

QStringList opening(const QString& path) {
  return {"Workbooks.Open(\"" + native(path) + "\", 0, False, , , , True)", "Workbook.FileFormat", "Workbook.ReadOnly",
          "Workbook.Worksheets"};
}

// Opening path, then finding the sheet by reading the names of the first `sheets` worksheets.
QStringList openingAndReading(const QString& path, int sheets) {
  QStringList calls = opening(path);
  calls << "Worksheets.Count";
  for (int i = 1; i <= sheets; ++i)
    calls << QString("Worksheets.Item[%1]").arg(i) << QString("Worksheet%1.Name").arg(i);
  return calls;
}

// From showing the sheet to the close: the same calls on whichever worksheet the table goes to.
QStringList writing(const QString& sheet) {
  QStringList calls{sheet + ".Visible = -1", sheet + ".UsedRange", "UsedRange.Clear()"};
  calls << sheet + R"(.Range["A1"])"
        << R"(Range["A1"].NumberFormat = "@")"
        << R"(Range["A1"].Value2 = "标题一")";
  calls << sheet + R"(.Range["A2"])"
        << R"(Range["A2"].NumberFormat = "@")"
        << R"(Range["A2"].Value2 = "2024-03-07")";
  calls << sheet + R"(.Range["A3:B5"])"
        << R"(Range["A3:B5"].NumberFormat = "@")"
        << R"(Range["A3:B5"].Value2 = [1..3,1..2]{"原工号","新工号";"0012","10012";"2","张三"})";
  calls << sheet + R"(.Range["A1:B1"])"
        << R"(Range["A1:B1"].Merge())";
  calls << sheet + R"(.Range["A2:B2"])"
        << R"(Range["A2:B2"].Merge())";
  calls << sheet + R"(.Range["1:2"])"
        << R"(Range["1:2"].HorizontalAlignment = -4108)"
        << R"(Range["1:2"].VerticalAlignment = -4108)";
  calls << sheet + R"(.Range["A3:B5"])"
        << R"(Range["A3:B5"].Borders)"
        << R"(Range["A3:B5"].Borders.LineStyle = 1)"
        << R"(Range["A3:B5"].Borders.Weight = 2)";
  calls << sheet + R"(.Range["1:1"])"
        << R"(Range["1:1"].Font)"
        << R"(Range["1:1"].Font.Size = 18)";
  calls << sheet + R"(.Range["2:2"])"
        << R"(Range["2:2"].Font)"
        << R"(Range["2:2"].Font.Size = 12)";
  calls << sheet + R"(.Range["A3:B5"])"
        << R"(Range["A3:B5"].Font)"
        << R"(Range["A3:B5"].Font.Size = 10.5)";
  calls << sheet + R"(.Range["A:B"])"
        << R"(Range["A:B"].Columns)"
        << R"(Range["A:B"].Columns.AutoFit())";
  calls << sheet + ".Activate()" << sheet + ".Select()"
        << "Workbook.Save()"
        << "Workbook.Close(False)";
  return calls;
}

TEST(ExcelEngine, CreatesAnXlsWorkbookWithTheSheetThenWritesTheTableAndQuitsExcelAtTheEnd) {
  QTemporaryDir dir;
  const QString path = dir.filePath("新.xls");
  ScriptedExcel excel;
  exportTo(*excel.engine, job(path));
  excel.engine.reset();

  QStringList expected = kSetUp;
  expected << "Workbooks.Add(-4167)"
           << "Workbook.Worksheets"
           << "Worksheets.Item[1]"
           << R"(Worksheet1.Name = "工程")"
           << "Workbook.SaveAs(\"" + native(path) + "\", 56)"
           << "Workbook.Close(False)";
  expected << openingAndReading(path, 1) << writing("Worksheet1") << "Application.Quit()";
  EXPECT_THAT(excel.script.calls, ElementsAreArray(expected));
  EXPECT_EQ(excel.starts, 1);
  EXPECT_EQ(excel.script.live, 0) << "every object released";
  EXPECT_EQ(contents(path), "saved as");
}

TEST(ExcelEngine, WritesIntoTheExistingSheetOfAnExistingWorkbook) {
  QTemporaryDir dir;
  const QString path = dir.filePath("old.xls");
  write(path, "old");
  ScriptedExcel excel;
  excel.script.sheets = {"Sheet1", "工程", "Sheet3"};
  exportTo(*excel.engine, job(path));

  QStringList expected = kSetUp;
  expected << openingAndReading(path, 2) << writing("Worksheet2");
  EXPECT_THAT(excel.script.calls, ElementsAreArray(expected));
  excel.engine.reset();
  EXPECT_EQ(excel.script.live, 0);
}

TEST(ExcelEngine, AddsAMissingSheetAfterTheLastAndWritesThere) {
  QTemporaryDir dir;
  const QString path = dir.filePath("old.xlsx");
  write(path, "old");
  ScriptedExcel excel;
  excel.script.sheets = {"Sheet1", "其他"};
  exportTo(*excel.engine, job(path));

  QStringList expected = kSetUp;
  expected << openingAndReading(path, 2);
  expected << "Worksheets.Count"
           << "Worksheet1.Name"
           << "Worksheet2.Name"
           << "Worksheets.Add(, Worksheet2)"
           << R"(Worksheet3.Name = "工程")";
  expected << writing("Worksheet3");
  EXPECT_THAT(excel.script.calls, ElementsAreArray(expected));
  EXPECT_EQ(excel.script.sheets, QStringList({"Sheet1", "其他", "工程"}));
}

TEST(ExcelEngine, SavesInTheFormatOpenedOrElseAsExcel97) {
  const struct {
    int fileFormat;
    const char* save;
  } cases[] = {
      {56, "Workbook.Save()"},  // Excel 97-2003
      {51, "Workbook.Save()"},  // .xlsx
      {60, "Workbook.Save()"},  // .ods
      {39, "Workbook.SaveAs(\"%1\", 56)"},  // Excel 5.0/95
      {17, "Workbook.SaveAs(\"%1\", 56)"},  // template
  };
  QTemporaryDir dir;
  const QString path = dir.filePath("old.xls");
  write(path, "old");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fileFormat);
    ScriptedExcel excel;
    excel.script.sheets = {"工程"};
    excel.script.fileFormat = c.fileFormat;
    exportTo(*excel.engine, job(path));
    const QStringList& calls = excel.script.calls;
    ASSERT_GE(calls.size(), 2);
    EXPECT_EQ(calls[calls.size() - 2], QString(c.save).arg(native(path)));
    EXPECT_EQ(calls.last(), "Workbook.Close(False)");
  }
}

TEST(ExcelEngine, AFailureCarriesExcelsTextAndClosesTheWorkbookUnsaved) {
  const struct {
    const char* name;
    bool existing;  // else the export creates the workbook
    QString failAt;
    HRESULT failWith;
    QString description;
    bool deferred;
    SCODE scode;
    QStringList sheets;
    QString sheet;
    bool readOnly;
    int fileFormat;
    QString message;  // %1: the workbook's path
  } cases[] = {
      {"table refused",
       true,
       R"(Range["A3:B5"].Value2 =)",
       DISP_E_EXCEPTION,
       "无法设置 Range 类的 Value2 属性",
       false,
       0,
       {"工程"},
       "工程",
       false,
       56,
       "write the table: Value2: 无法设置 Range 类的 Value2 属性"},
      {"description filled in later",
       true,
       R"(Range["A3:B5"].Borders.LineStyle)",
       DISP_E_EXCEPTION,
       "",
       true,
       0,
       {"工程"},
       "工程",
       false,
       56,
       "draw the borders: LineStyle: filled in later"},
      {"no description: Excel's code",
       true,
       R"(Range["A1:B1"].Merge)",
       DISP_E_EXCEPTION,
       "",
       false,
       SCODE(0x800A03EC),
       {"工程"},
       "工程",
       false,
       56,
       "merge cells: Merge: 0x800A03EC"},
      {"save refused",
       true,
       "Workbook.Save",
       DISP_E_EXCEPTION,
       "文档未保存。",
       false,
       0,
       {"工程"},
       "工程",
       false,
       56,
       "save the workbook: Save: 文档未保存。"},
      {"open refused",
       true,
       "Workbooks.Open",
       DISP_E_EXCEPTION,
       "无法打开文件",
       false,
       0,
       {"工程"},
       "工程",
       false,
       56,
       "open the workbook: Open: 无法打开文件"},
      {"locked",
       true,
       "",
       S_OK,
       "",
       false,
       0,
       {"工程"},
       "工程",
       true,
       56,
       "open the workbook: %1 is locked by another program or cannot be written"},
      {"text file",
       true,
       "",
       S_OK,
       "",
       false,
       0,
       {"工程"},
       "工程",
       false,
       -4158,
       "open the workbook: %1 is not a workbook (Excel reads it as file format -4158)"},
      {"sheet in other letter case",
       true,
       "",
       S_OK,
       "",
       false,
       0,
       {"Sheet1", "DATA"},
       "Data",
       false,
       56,
       "add the sheet: the workbook holds a sheet \"DATA\" that differs from \"Data\" only in letter case"},
      {"new workbook not saved",
       false,
       "Workbook.SaveAs",
       DISP_E_EXCEPTION,
       "磁盘已满",
       false,
       0,
       {},
       "工程",
       false,
       56,
       "create the workbook: SaveAs: 磁盘已满"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString path = dir.filePath("book.xls");
    if (c.existing) write(path, "old");
    ScriptedExcel excel;
    Script& s = excel.script;
    s.failAt = c.failAt;
    s.failWith = c.failWith;
    s.description = c.description;
    s.deferred = c.deferred;
    s.scode = c.scode;
    if (c.existing) s.sheets = c.sheets;
    s.readOnly = c.readOnly;
    s.fileFormat = c.fileFormat;
    try {
      exportTo(*excel.engine, job(path, c.sheet));
      ADD_FAILURE() << "no error";
    } catch (const calc::EngineError& e) {
      EXPECT_EQ(e.text(), QString(c.message).replace("%1", native(path)));
    }
    EXPECT_FALSE(s.calls.contains("Workbook.Save()") && c.failAt != "Workbook.Save");
    const bool opened = c.failAt != "Workbooks.Open";
    if (opened) {
      EXPECT_EQ(s.calls.last(), "Workbook.Close(False)");
    }
    EXPECT_EQ(s.calls.count("Workbook.Close(False)"), c.existing ? int(opened) : 1);
    EXPECT_EQ(contents(path), c.existing ? "old" : "(none)") << "a new workbook is removed again";
    excel.engine.reset();
    EXPECT_EQ(s.live, 0);
  }
}

TEST(ExcelEngine, ACallFailingWithoutExcelsTextNamesTheCode) {
  QTemporaryDir dir;
  const QString path = dir.filePath("old.xls");
  write(path, "old");
  ScriptedExcel excel;
  excel.script.sheets = {"工程"};
  excel.script.failAt = "UsedRange.Clear()";
  excel.script.failWith = DISP_E_TYPEMISMATCH;
  try {
    exportTo(*excel.engine, job(path));
    ADD_FAILURE() << "no error";
  } catch (const calc::EngineError& e) {
    EXPECT_THAT(e.text().toStdString(), StartsWith("clear the used area: Clear: "));
    EXPECT_THAT(e.text().toStdString(), HasSubstr("0x80020005"));
  }
  EXPECT_EQ(excel.script.calls.last(), "Workbook.Close(False)");
}

TEST(ExcelEngine, AnEmptyFileIsNoWorkbookAndExcelIsNotStartedForIt) {
  QTemporaryDir dir;
  const QString path = dir.filePath("empty.xls");
  write(path, "");
  ScriptedExcel excel;
  try {
    exportTo(*excel.engine, job(path));
    ADD_FAILURE() << "no error";
  } catch (const calc::EngineError& e) {
    EXPECT_EQ(e.text(), "open the workbook: " + native(path) + " is empty, not a workbook");
  }
  EXPECT_EQ(excel.starts, 0);
  EXPECT_TRUE(excel.script.calls.isEmpty());
}

TEST(ExcelEngine, WithoutExcelTheExportFailsWithAClearMessage) {
  QTemporaryDir dir;
  const QString path = dir.filePath("new.xls");
  int starts = 0;
  calc::excel::ExcelEngine engine([&]() -> IDispatch* {
    ++starts;
    return nullptr;
  });
  for (int attempt = 1; attempt <= 2; ++attempt) {
    try {
      exportTo(engine, job(path));
      ADD_FAILURE() << "no error";
    } catch (const calc::EngineError& e) {
      EXPECT_EQ(e.text(), "无法启动Excel：没有得到Excel的应用程序对象");
    }
    EXPECT_EQ(starts, attempt) << "each export tries again";
    EXPECT_FALSE(QFileInfo::exists(path));
  }
}

TEST(ExcelEngine, AnUnregisteredApplicationCannotBeStarted) {
  try {
    calc::excel::startApplication(L"Renumber.NoSuchApplication", [] {});
    ADD_FAILURE() << "no error";
  } catch (const calc::EngineError& e) {
    EXPECT_EQ(e.text(), "无法启动Excel：这台电脑上没有安装Excel（0x800401F3）");
  }
}

TEST(ExcelEngine, NoEngineIsInstalledWhereExcelIsNotRegistered) {
  CLSID clsid;
  if (SUCCEEDED(CLSIDFromProgID(L"Excel.Application", &clsid))) GTEST_SKIP() << "Excel is installed here";
  EXPECT_EQ(calc::installedEngine(), nullptr);
}

TEST(ExcelEngine, AfterExcelEndedTheNextExportStartsItAgain) {
  QTemporaryDir dir;
  const QString path = dir.filePath("old.xls");
  write(path, "old");
  ScriptedExcel excel;
  excel.script.sheets = {"工程"};
  excel.script.failAt = R"(Range["A3:B5"].Value2 =)";
  excel.script.failWith = RPC_E_DISCONNECTED;
  EXPECT_THROW(exportTo(*excel.engine, job(path)), calc::EngineError);
  excel.script.calls.clear();

  exportTo(*excel.engine, job(path));
  EXPECT_EQ(excel.starts, 2);
  ASSERT_GE(excel.script.calls.size(), int(kSetUp.size()));
  EXPECT_EQ(excel.script.calls.mid(0, kSetUp.size()), kSetUp);
  EXPECT_EQ(excel.script.calls.last(), "Workbook.Close(False)");
  excel.engine.reset();
  EXPECT_EQ(excel.script.calls.count("Application.Quit()"), 1);
  EXPECT_EQ(excel.script.live, 0);
}

}  // namespace
