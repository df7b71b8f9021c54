#pragma once
// Excel as the spreadsheet engine on Windows, driven through COM automation (late-bound IDispatch
// calls on Excel.Application). Excel runs in a process of its own, hidden and without dialogs,
// started on first use and told to quit when the engine goes. No Windows header is needed here:
// the window layer sees the engine through calc/calc_engine.h alone.
#include <functional>
#include <memory>

#include "calc/calc_engine.h"

struct IDispatch;
struct IMessageFilter;

namespace calc::excel {

struct Session;  // the application object and what the engine keeps of it

// Starts the automation server progId ("Excel.Application") in a process of its own and returns
// its application object (one reference, the caller's). The start runs on a thread of its own;
// meanwhile whileStarting, when set, is called about every 50 ms. The calling thread must have COM
// initialised. Throws EngineError "无法启动Excel：…" when the server is not registered or does not start.
IDispatch* startApplication(const wchar_t* progId, const std::function<void()>& whileStarting);

class ExcelEngine : public Engine {
 public:
  // Makes the application object, handing over one reference; nullptr (or an EngineError) when
  // there is none.
  using Factory = std::function<IDispatch*()>;

  // Excel.Application, started by startApplication() with the hook of setWhileStarting().
  ExcelEngine();
  // The application object from factory, called on first use and again after the application
  // was lost (its process ended).
  explicit ExcelEngine(Factory factory);
  // Quits the application and releases it.
  ~ExcelEngine() override;
  ExcelEngine(const ExcelEngine&) = delete;
  ExcelEngine& operator=(const ExcelEngine&) = delete;

  void createWorkbook(const QString& path, const QString& sheetName) override;
  std::unique_ptr<Workbook> open(const QString& path) override;
  void setWhileStarting(std::function<void()> hook) override;

 private:
  Session& session();

  Factory factory_;
  std::function<void()> whileStarting_;
  std::shared_ptr<Session> session_;  // shared with the open workbooks
  bool comInitialised_ = false;
  bool filterRegistered_ = false;
  IMessageFilter* previousFilter_ = nullptr;  // the thread's filter before the engine's own
};

}  // namespace calc::excel
