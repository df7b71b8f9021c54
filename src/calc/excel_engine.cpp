// Excel as the spreadsheet engine, through COM automation: every step is a late-bound call
// (IDispatch::GetIDsOfNames, then Invoke) on Excel's object model, Application → Workbooks →
// Workbook → Worksheets → Worksheet → Range. Ranges are named by their A1 address.
#include "calc/excel_engine.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <array>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <future>
#include <map>
#include <new>
#include <span>
#include <thread>
#include <utility>
#include <vector>

namespace calc::excel {

namespace {

constexpr const wchar_t* kProgId = L"Excel.Application";
constexpr int kExcel8 = 56;  // xlExcel8: Excel 97-2003 (.xls)
constexpr int kOneWorksheet = -4167;  // xlWBATWorksheet: a new workbook of one worksheet
constexpr int kSheetVisible = -1;  // xlSheetVisible
constexpr int kCenter = -4108;  // xlCenter
constexpr int kContinuous = 1;  // xlContinuous
constexpr int kThin = 2;  // xlThin
constexpr int kNoMacros = 3;  // msoAutomationSecurityForceDisable: no macro of an opened file runs
constexpr int kNoLinkUpdate = 0;  // UpdateLinks: external references stay as saved
constexpr DWORD kRetryFor = 60000;  // ms a busy Excel is asked again before the call fails

// The formats under which an opened file counts as a workbook (Workbook.FileFormat), and whether
// it is saved back in that format; the others are written as Excel 97-2003 under the same name.
struct WorkbookFormat {
  int code;
  bool savesAsOpened;
};
constexpr WorkbookFormat kWorkbookFormats[] = {
    {56, true},  // xlExcel8
    {-4143, true},  // xlWorkbookNormal
    {51, true},  // xlOpenXMLWorkbook (.xlsx)
    {52, true},  // xlOpenXMLWorkbookMacroEnabled (.xlsm)
    {50, true},  // xlExcel12 (.xlsb)
    {61, true},  // xlOpenXMLStrictWorkbook
    {60, true},  // xlOpenDocumentSpreadsheet (.ods)
    {43, false},  // xlExcel9795
    {39, false},  // xlExcel5, xlExcel7
    {35, false},  // xlExcel4Workbook
    {33, false},  // xlExcel4
    {29, false},  // xlExcel3
    {27, false},  // xlExcel2FarEast
    {16, false},  // xlExcel2
    {17, false},  // xlTemplate, xlTemplate8
    {54, false},  // xlOpenXMLTemplate
    {53, false},  // xlOpenXMLTemplateMacroEnabled
};

// A reference to an automation object, released when it goes.
class Disp {
 public:
  Disp() = default;
  explicit Disp(IDispatch* adopted) : p_(adopted) {}
  Disp(const Disp& other) : p_(other.p_) {
    if (p_) p_->AddRef();
  }
  Disp(Disp&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Disp& operator=(Disp other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~Disp() {
    if (p_) p_->Release();
  }
  IDispatch* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  IDispatch* p_ = nullptr;
};

// A failed call: its HRESULT and the text naming the member and what Excel said.
struct CallFailed {
  HRESULT hr;
  QString text;
};

QString hex(HRESULT hr) {
  return QStringLiteral("0x") + QString::number(quint32(hr), 16).toUpper().rightJustified(8, u'0');
}

// The system's text of hr (in the system's language) with the code, or the code alone.
QString describe(HRESULT hr) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, DWORD(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  QString text;
  if (length > 0 && buffer) text = QString::fromWCharArray(buffer, int(length)).trimmed();
  if (buffer) LocalFree(buffer);
  return text.isEmpty() ? hex(hr) : text + QStringLiteral(" (") + hex(hr) + u')';
}

QString fromBstr(BSTR s) { return s ? QString::fromWCharArray(s, int(SysStringLen(s))) : QString(); }

BSTR toBstr(const QString& s) {
  BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(s.utf16()), UINT(s.size()));
  if (!b) throw std::bad_alloc();
  return b;
}

// Excel's own account of a call that raised an error (DISP_E_EXCEPTION): the description it
// filled in, else the error's code; code becomes that error's code.
QString exceptionText(EXCEPINFO& info, HRESULT& code) {
  if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
  const QString description = fromBstr(info.bstrDescription).trimmed();
  if (info.scode != 0) code = info.scode;
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  info = EXCEPINFO{};
  return description.isEmpty() ? describe(code) : description;
}

// The application's process has ended (or dropped the connection): its objects are gone.
bool serverGone(HRESULT hr) {
  return hr == RPC_E_DISCONNECTED || hr == RPC_E_SERVERFAULT || hr == CO_E_OBJNOTCONNECTED ||
         hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) || hr == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED);
}

// An optional argument left out.
struct Missing {};

// An argument of a call, owning what its VARIANT holds.
class Arg {
 public:
  Arg(int i) {
    V_VT(&v_) = VT_I4;
    V_I4(&v_) = i;
  }
  Arg(bool b) {
    V_VT(&v_) = VT_BOOL;
    V_BOOL(&v_) = b ? VARIANT_TRUE : VARIANT_FALSE;
  }
  Arg(double d) {
    V_VT(&v_) = VT_R8;
    V_R8(&v_) = d;
  }
  Arg(const QString& s) {
    V_BSTR(&v_) = toBstr(s);
    V_VT(&v_) = VT_BSTR;
  }
  Arg(const Disp& d) {
    V_VT(&v_) = VT_DISPATCH;
    V_DISPATCH(&v_) = d.get();
    if (d) d.get()->AddRef();
  }
  Arg(Missing) {
    V_VT(&v_) = VT_ERROR;
    V_ERROR(&v_) = DISP_E_PARAMNOTFOUND;
  }
  Arg(const wchar_t*) = delete;  // not a bool
  Arg(const char*) = delete;
  Arg(Arg&& other) noexcept : v_(other.v_) { VariantInit(&other.v_); }
  Arg(const Arg&) = delete;
  Arg& operator=(const Arg&) = delete;
  ~Arg() { VariantClear(&v_); }

  // Takes over v (an array, say), cleared when the argument goes.
  static Arg adopt(const VARIANT& v) {
    Arg a(Missing{});
    a.v_ = v;
    return a;
  }
  VARIANT& variant() { return v_; }

 private:
  VARIANT v_{};
};

// What a call returned.
class Result {
 public:
  explicit Result(QString member) : member_(std::move(member)) { VariantInit(&v_); }
  Result(Result&& other) noexcept : member_(std::move(other.member_)), v_(other.v_) { VariantInit(&other.v_); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  ~Result() { VariantClear(&v_); }
  VARIANT* out() { return &v_; }

  Disp toObject() const {
    if (V_VT(&v_) != VT_DISPATCH || !V_DISPATCH(&v_))
      throw CallFailed{E_UNEXPECTED, member_ + QStringLiteral(": Excel returned no object")};
    V_DISPATCH(&v_)->AddRef();
    return Disp(V_DISPATCH(&v_));
  }
  int toInt() const {
    VARIANT c = as(VT_I4);
    return V_I4(&c);
  }
  bool toBool() const {
    VARIANT c = as(VT_BOOL);
    return V_BOOL(&c) != VARIANT_FALSE;
  }
  QString toText() const {
    VARIANT c = as(VT_BSTR);
    const QString text = fromBstr(V_BSTR(&c));
    VariantClear(&c);
    return text;
  }

 private:
  QString member_;
  VARIANT v_;

  // A copy of the value as type; the caller clears it.
  VARIANT as(VARTYPE type) const {
    VARIANT c;
    VariantInit(&c);
    const HRESULT hr = VariantChangeType(&c, const_cast<VARIANT*>(&v_), 0, type);
    if (FAILED(hr)) throw CallFailed{hr, member_ + QStringLiteral(": unexpected value: ") + describe(hr)};
    return c;
  }
};

Result invoke(const Disp& object, const wchar_t* member, WORD flags, std::span<Arg> args) {
  const QString name = QString::fromWCharArray(member);
  if (!object) throw CallFailed{E_POINTER, name + QStringLiteral(": no object to call")};
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(member)};
  HRESULT hr = object.get()->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) throw CallFailed{hr, name + QStringLiteral(": ") + describe(hr)};

  // Invoke takes the arguments last to first; a property's new value is the named argument.
  std::vector<VARIANT> reversed;
  reversed.reserve(args.size());
  for (auto a = args.rbegin(); a != args.rend(); ++a) reversed.push_back(a->variant());
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), nullptr, UINT(reversed.size()), 0};
  if (flags == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  Result result(name);
  EXCEPINFO info{};
  UINT badArg = 0;
  hr = object.get()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                            flags == DISPATCH_PROPERTYPUT ? nullptr : result.out(), &info, &badArg);
  if (hr == DISP_E_EXCEPTION) {
    const QString text = exceptionText(info, hr);
    throw CallFailed{hr, name + QStringLiteral(": ") + text};
  }
  if (FAILED(hr)) throw CallFailed{hr, name + QStringLiteral(": ") + describe(hr)};
  return result;
}

template <class... A>
Result get(const Disp& object, const wchar_t* member, A&&... args) {
  std::array<Arg, sizeof...(A)> list{Arg(std::forward<A>(args))...};
  return invoke(object, member, DISPATCH_PROPERTYGET, list);
}

template <class... A>
Disp getObject(const Disp& object, const wchar_t* member, A&&... args) {
  return get(object, member, std::forward<A>(args)...).toObject();
}

void put(const Disp& object, const wchar_t* member, Arg value) {
  std::array<Arg, 1> list{std::move(value)};
  invoke(object, member, DISPATCH_PROPERTYPUT, list);
}

template <class... A>
Result call(const Disp& object, const wchar_t* member, A&&... args) {
  std::array<Arg, sizeof...(A)> list{Arg(std::forward<A>(args))...};
  return invoke(object, member, DISPATCH_METHOD, list);
}

template <class... A>
Disp callObject(const Disp& object, const wchar_t* member, A&&... args) {
  return call(object, member, std::forward<A>(args)...).toObject();
}

// Rows of texts as Range.Value2 takes them: a two-dimensional array of VARIANT texts, dimension 1
// the rows, dimension 2 the columns, both counted from 1.
Arg textArray(const QList<QStringList>& rows, int cols) {
  SAFEARRAYBOUND bounds[2];
  bounds[0].lLbound = 1;
  bounds[0].cElements = ULONG(rows.size());
  bounds[1].lLbound = 1;
  bounds[1].cElements = ULONG(cols);
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  if (!array) throw std::bad_alloc();
  VARIANT v;
  VariantInit(&v);
  V_VT(&v) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(&v) = array;
  Arg arg = Arg::adopt(v);  // from here on the array, and the texts in it, go with arg
  VARIANT* cells = nullptr;
  const HRESULT hr = SafeArrayAccessData(array, reinterpret_cast<void**>(&cells));
  if (FAILED(hr)) throw CallFailed{hr, QStringLiteral("Value2: ") + describe(hr)};
  struct Unaccess {
    SAFEARRAY* a;
    ~Unaccess() { SafeArrayUnaccessData(a); }
  } unaccess{array};
  // The first dimension varies fastest: cell (r, c) is element r + c × rows, both from 0.
  const qsizetype rowCount = rows.size();
  for (qsizetype r = 0; r < rowCount; ++r) {
    for (int c = 0; c < cols; ++c) {
      VARIANT& cell = cells[r + qsizetype(c) * rowCount];
      V_BSTR(&cell) = toBstr(rows[r][c]);
      V_VT(&cell) = VT_BSTR;
    }
  }
  return arg;
}

QString columnName(int col) {
  QString name;
  for (int n = col; n > 0; n = (n - 1) / 26) name.prepend(QChar(char16_t(u'A' + (n - 1) % 26)));
  return name;
}
QString cellName(int row, int col) { return columnName(col) + QString::number(row); }
QString rangeName(const CellRange& r) { return cellName(r.top, r.left) + u':' + cellName(r.bottom, r.right); }
QString rowsName(int first, int last) { return QString::number(first) + u':' + QString::number(last); }
QString columnsName(int first, int last) { return columnName(first) + u':' + columnName(last); }

QString nativePath(const QString& path) { return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()); }

const WorkbookFormat* workbookFormat(int code) {
  for (const WorkbookFormat& f : kWorkbookFormats)
    if (f.code == code) return &f;
  return nullptr;
}

// Asks a busy Excel again (it rejects calls while it is starting or in a modal state) for up to
// kRetryFor, instead of failing the call at once with RPC_E_CALL_REJECTED.
class RetryingFilter : public IMessageFilter {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IUnknown || riid == IID_IMessageFilter) {
      *object = static_cast<IMessageFilter*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }  // one static object
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsed, DWORD rejectType) override {
    return rejectType == SERVERCALL_RETRYLATER && elapsed < kRetryFor ? 100 : DWORD(-1);
  }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
};
RetryingFilter retryingFilter;

}  // namespace

struct Session {
  Disp app;
  Disp workbooks;
  bool lost = false;  // the application's process ended: the next engine call starts a new one
};

namespace {

// Runs one engine step; a failed call becomes an EngineError naming the step.
template <class F>
auto step(Session& session, QStringView what, F&& body) -> decltype(body()) {
  try {
    return body();
  } catch (const CallFailed& e) {
    if (serverGone(e.hr)) session.lost = true;
    throw EngineError(QStringLiteral("%1: %2").arg(what, e.text));
  }
}

// Closes the workbook without saving; a failure leaves it to Excel's end.
void closeBook(Session& session, Disp& book) {
  if (!book) return;
  try {
    call(book, L"Close", false);
  } catch (const CallFailed& e) {
    if (serverGone(e.hr)) session.lost = true;
  }
  book = Disp();
}

class ExcelWorkbook : public Workbook {
 public:
  ExcelWorkbook(std::shared_ptr<Session> session, Disp book, QString path, bool savesAsOpened)
      : session_(std::move(session)), book_(std::move(book)), path_(std::move(path)), savesAsOpened_(savesAsOpened) {}
  ~ExcelWorkbook() override { close(); }

  int findSheet(const QString& name) override {
    return step(*session_, u"find the sheet", [&] {
      const int count = sheetCount();
      for (int i = 0; i < count; ++i)
        if (get(sheet(i), L"Name").toText() == name) return i;
      return -1;
    });
  }

  int addSheetAfterLast(const QString& name) override {
    return step(*session_, u"add the sheet", [&] {
      const int count = sheetCount();
      for (int i = 0; i < count; ++i) {
        const QString existing = get(sheet(i), L"Name").toText();
        if (existing.compare(name, Qt::CaseInsensitive) == 0)
          throw EngineError(QStringLiteral("add the sheet: the workbook holds a sheet \"") + existing +
                            QStringLiteral("\" that differs from \"") + name +
                            QStringLiteral("\" only in letter case"));
      }
      Disp added = count > 0 ? callObject(worksheets(), L"Add", Missing{}, sheet(count - 1))
                             : callObject(worksheets(), L"Add");  // chart sheets only
      put(added, L"Name", name);
      sheets_[count] = std::move(added);
      return count;
    });
  }

  void showSheet(int sheetIndex) override {
    step(*session_, u"show the sheet", [&] { put(sheet(sheetIndex), L"Visible", kSheetVisible); });
  }

  void clearUsedArea(int sheetIndex) override {
    step(*session_, u"clear the used area", [&] { call(getObject(sheet(sheetIndex), L"UsedRange"), L"Clear"); });
  }

  void setCellText(int sheetIndex, int row, int col, const QString& text) override {
    step(*session_, u"write a cell", [&] {
      // As text: Excel would read "2024-03-07" as a date and "=…" as a formula.
      const Disp cell = range(sheetIndex, cellName(row, col));
      put(cell, L"NumberFormat", QStringLiteral("@"));
      put(cell, L"Value2", text);
    });
  }

  void writeTextTable(int sheetIndex, int firstRow, const QList<QStringList>& rows) override {
    if (rows.isEmpty() || rows.first().isEmpty()) return;
    step(*session_, u"write the table", [&] {
      const int cols = int(rows.first().size());
      for (const QStringList& row : rows)
        if (row.size() != cols) throw EngineError(QStringLiteral("write the table: rows of unequal length"));
      Arg values = textArray(rows, cols);
      const Disp cells = range(sheetIndex, rangeName({firstRow, 1, firstRow + int(rows.size()) - 1, cols}));
      put(cells, L"NumberFormat", QStringLiteral("@"));
      put(cells, L"Value2", std::move(values));
    });
  }

  void merge(int sheetIndex, const CellRange& r) override {
    step(*session_, u"merge cells", [&] { call(range(sheetIndex, rangeName(r)), L"Merge"); });
  }

  void centreRows(int sheetIndex, int firstRow, int lastRow) override {
    step(*session_, u"centre the rows", [&] {
      const Disp rows = range(sheetIndex, rowsName(firstRow, lastRow));
      put(rows, L"HorizontalAlignment", kCenter);
      put(rows, L"VerticalAlignment", kCenter);
    });
  }

  void drawBorders(int sheetIndex, const CellRange& r) override {
    step(*session_, u"draw the borders", [&] {
      // The collection as a whole: the four edges and the lines inside, not the diagonals.
      const Disp borders = getObject(range(sheetIndex, rangeName(r)), L"Borders");
      put(borders, L"LineStyle", kContinuous);
      put(borders, L"Weight", kThin);
    });
  }

  void setRowFontSize(int sheetIndex, int row, double points) override {
    step(*session_, u"set the font size of a row",
         [&] { put(getObject(range(sheetIndex, rowsName(row, row)), L"Font"), L"Size", points); });
  }

  void setFontSize(int sheetIndex, const CellRange& r, double points) override {
    step(*session_, u"set the font size",
         [&] { put(getObject(range(sheetIndex, rangeName(r)), L"Font"), L"Size", points); });
  }

  void fitColumns(int sheetIndex, int firstCol, int lastCol) override {
    step(*session_, u"fit the column widths",
         [&] { call(getObject(range(sheetIndex, columnsName(firstCol, lastCol)), L"Columns"), L"AutoFit"); });
  }

  void activateSheet(int sheetIndex) override {
    step(*session_, u"activate the sheet", [&] {
      const Disp s = sheet(sheetIndex);
      call(s, L"Activate");
      call(s, L"Select");  // the only sheet selected: a group of selected sheets is undone
    });
  }

  void save() override {
    step(*session_, u"save the workbook", [&] {
      if (savesAsOpened_)
        call(book(), L"Save");
      else
        call(book(), L"SaveAs", path_, kExcel8);
    });
  }

  void close() override {
    if (!book_) return;
    sheets_.clear();
    worksheets_ = Disp();
    closeBook(*session_, book_);
  }

 private:
  std::shared_ptr<Session> session_;
  Disp book_;
  QString path_;  // native separators, as Excel opened it
  bool savesAsOpened_;
  Disp worksheets_;
  std::map<int, Disp> sheets_;  // sheet index (from 0) -> its Worksheet

  const Disp& book() const {
    if (!book_) throw EngineError(QStringLiteral("the workbook is closed"));
    return book_;
  }
  const Disp& worksheets() {
    if (!worksheets_) worksheets_ = getObject(book(), L"Worksheets");
    return worksheets_;
  }
  int sheetCount() { return get(worksheets(), L"Count").toInt(); }
  const Disp& sheet(int index) {
    auto found = sheets_.find(index);
    if (found == sheets_.end()) found = sheets_.emplace(index, getObject(worksheets(), L"Item", index + 1)).first;
    return found->second;
  }
  Disp range(int sheetIndex, const QString& address) { return getObject(sheet(sheetIndex), L"Range", address); }
};

}  // namespace

IDispatch* startApplication(const wchar_t* progId, const std::function<void()>& whileStarting) {
  struct Started {
    HRESULT hr = E_UNEXPECTED;
    IStream* stream = nullptr;  // the application object, marshalled for the calling thread
  };
  std::promise<Started> started;
  std::future<Started> result = started.get_future();
  std::promise<void> taken;
  std::future<void> takenSignal = taken.get_future();
  // Excel takes seconds to start: the start runs on a thread of its own (in the multithreaded
  // apartment), which holds the object until the calling thread has its own proxy of it.
  std::thread starter([&started, &takenSignal, progId] {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    Started s;
    IDispatch* app = nullptr;
    CLSID clsid{};
    s.hr = CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(s.hr))
      s.hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, reinterpret_cast<void**>(&app));
    if (SUCCEEDED(s.hr)) s.hr = CoMarshalInterThreadInterfaceInStream(IID_IDispatch, app, &s.stream);
    const bool handedOver = SUCCEEDED(s.hr);
    started.set_value(s);
    if (handedOver) takenSignal.wait();
    if (app) app->Release();
    if (SUCCEEDED(init)) CoUninitialize();
  });
  struct Join {
    std::promise<void>& taken;
    std::thread& thread;
    bool signalled = false;
    void signal() {
      if (!std::exchange(signalled, true)) taken.set_value();
    }
    ~Join() {
      signal();
      thread.join();
    }
  } join{taken, starter};

  std::exception_ptr hookFailed;  // the start is waited for all the same, its object released
  while (result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    if (!whileStarting || hookFailed) continue;
    try {
      whileStarting();
    } catch (...) {
      hookFailed = std::current_exception();
    }
  }
  const Started s = result.get();
  if (hookFailed) {
    if (s.stream) {
      CoReleaseMarshalData(s.stream);
      s.stream->Release();
    }
    join.signal();
    std::rethrow_exception(hookFailed);
  }
  HRESULT hr = s.hr;
  IDispatch* app = nullptr;
  if (SUCCEEDED(hr)) hr = CoGetInterfaceAndReleaseStream(s.stream, IID_IDispatch, reinterpret_cast<void**>(&app));
  join.signal();
  if (hr == CO_E_CLASSSTRING || hr == REGDB_E_CLASSNOTREG)
    throw EngineError(QStringLiteral("无法启动Excel：这台电脑上没有安装Excel（") + hex(hr) + u'）');
  if (FAILED(hr)) throw EngineError(QStringLiteral("无法启动Excel：") + describe(hr));
  return app;
}

ExcelEngine::ExcelEngine() : ExcelEngine(Factory()) {
  factory_ = [this] { return startApplication(kProgId, whileStarting_); };
}

ExcelEngine::ExcelEngine(Factory factory) : factory_(std::move(factory)) {
  // A thread whose apartment is set already (RPC_E_CHANGED_MODE) keeps it: the calls work from
  // either kind.
  comInitialised_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  IMessageFilter* previous = nullptr;
  if (SUCCEEDED(CoRegisterMessageFilter(&retryingFilter, &previous))) {
    filterRegistered_ = true;
    previousFilter_ = previous;
  }
}

ExcelEngine::~ExcelEngine() {
  if (session_) {
    session_->workbooks = Disp();
    if (!session_->lost) {
      try {
        call(session_->app, L"Quit");
      } catch (const CallFailed&) {
        // Excel ends when its last reference goes.
      }
    }
    session_->app = Disp();
    session_.reset();
  }
  if (filterRegistered_) {
    IMessageFilter* ours = nullptr;
    CoRegisterMessageFilter(previousFilter_, &ours);
    if (previousFilter_) previousFilter_->Release();
  }
  if (comInitialised_) CoUninitialize();
}

void ExcelEngine::setWhileStarting(std::function<void()> hook) { whileStarting_ = std::move(hook); }

Session& ExcelEngine::session() {
  if (session_ && session_->lost) {
    session_->workbooks = Disp();
    session_->app = Disp();
    session_.reset();
  }
  if (session_) return *session_;
  IDispatch* started = factory_ ? factory_() : nullptr;
  if (!started) throw EngineError(QStringLiteral("无法启动Excel：没有得到Excel的应用程序对象"));
  auto s = std::make_shared<Session>();
  s->app = Disp(started);
  try {
    // Out of sight and without dialogs: a question Excel asked would wait for an answer nobody gives.
    put(s->app, L"Visible", false);
    put(s->app, L"DisplayAlerts", false);
    put(s->app, L"ScreenUpdating", false);
    put(s->app, L"AutomationSecurity", kNoMacros);
    s->workbooks = getObject(s->app, L"Workbooks");
  } catch (const CallFailed& e) {
    if (!serverGone(e.hr)) {
      try {
        call(s->app, L"Quit");
      } catch (const CallFailed&) {}
    }
    throw EngineError(QStringLiteral("无法启动Excel：") + e.text);
  }
  session_ = std::move(s);
  return *session_;
}

void ExcelEngine::createWorkbook(const QString& path, const QString& sheetName) {
  const QString native = nativePath(path);
  // Excel would create no missing folder; it would replace a file without asking (alerts are off).
  if (!QFileInfo(QFileInfo(path).absolutePath()).isDir())
    throw EngineError(QStringLiteral("create the workbook: the folder of ") + native +
                      QStringLiteral(" does not exist"));
  if (QFileInfo::exists(path))
    throw EngineError(QStringLiteral("create the workbook: ") + native + QStringLiteral(" exists"));
  Session& s = session();
  Disp book;
  try {
    step(s, u"create the workbook", [&] {
      book = callObject(s.workbooks, L"Add", kOneWorksheet);
      put(getObject(getObject(book, L"Worksheets"), L"Item", 1), L"Name", sheetName);
      call(book, L"SaveAs", native, kExcel8);
    });
  } catch (...) {
    closeBook(s, book);
    throw;
  }
  closeBook(s, book);
}

std::unique_ptr<Workbook> ExcelEngine::open(const QString& path) {
  const QString native = nativePath(path);
  const QFileInfo file(path);
  if (!file.exists())
    throw EngineError(QStringLiteral("open the workbook: ") + native + QStringLiteral(" does not exist"));
  if (file.size() == 0)
    throw EngineError(QStringLiteral("open the workbook: ") + native + QStringLiteral(" is empty, not a workbook"));
  Session& s = session();
  Disp book;
  try {
    return step(s, u"open the workbook", [&]() -> std::unique_ptr<Workbook> {
      // Not read-only; links not updated; a "read-only recommended" mark not asked about.
      book = callObject(s.workbooks, L"Open", native, kNoLinkUpdate, false, Missing{}, Missing{}, Missing{}, true);
      const int format = get(book, L"FileFormat").toInt();
      const WorkbookFormat* known = workbookFormat(format);
      if (!known)
        throw EngineError(QStringLiteral("open the workbook: ") + native +
                          QStringLiteral(" is not a workbook (Excel reads it as file format %1)").arg(format));
      // Excel opens a file that another program holds (or that cannot be written) read-only.
      if (get(book, L"ReadOnly").toBool())
        throw EngineError(QStringLiteral("open the workbook: ") + native +
                          QStringLiteral(" is locked by another program or cannot be written"));
      return std::make_unique<ExcelWorkbook>(session_, std::move(book), native, known->savesAsOpened);
    });
  } catch (...) {
    closeBook(s, book);
    throw;
  }
}

namespace {

ExcelEngine*& processEngine() {
  static ExcelEngine* engine = nullptr;
  return engine;
}

// Quits Excel when the tool ends: after the application object is gone, else at exit.
void endProcessEngine() { delete std::exchange(processEngine(), nullptr); }

bool excelRegistered() {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CLSID clsid{};
  const bool registered = SUCCEEDED(CLSIDFromProgID(kProgId, &clsid));
  if (SUCCEEDED(init)) CoUninitialize();
  return registered;
}

}  // namespace

}  // namespace calc::excel

namespace calc {

QString engineName() { return QStringLiteral("Microsoft Excel"); }

Engine* installedEngine() {
  // Only whether Excel is registered: Excel itself starts with the first export.
  if (!excel::excelRegistered()) return nullptr;
  excel::ExcelEngine*& engine = excel::processEngine();
  if (!engine) {
    engine = new excel::ExcelEngine;
    static const bool registered = [] {
      if (QCoreApplication::instance()) qAddPostRoutine(&excel::endProcessEngine);
      std::atexit(&excel::endProcessEngine);
      return true;
    }();
    Q_UNUSED(registered);
  }
  return engine;
}

}  // namespace calc
