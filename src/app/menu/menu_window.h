#pragma once
// The main menu: five buttons open the working windows, the last ends the program.
#include <QPushButton>
#include <QWidget>
#include <cstdlib>
#include <functional>

namespace session {
class Session;
}

class frm协调 : public QWidget {
 public:
  // The windows the buttons open work on session, which outlives the menu and them.
  explicit frm协调(session::Session& session, QWidget* parent = nullptr);

  QPushButton* Command1;  // "Kestrune": the single-employee window
  QPushButton* Command4;  // "工号统一修改": the batch window (disabled when the menu opens)
  QPushButton* Command2;  // "规则设置": the rule settings window
  QPushButton* Command5;  // "数据库检查": the check of the database against the column lists
  QPushButton* Command6;  // "修改记录": the change journal
  QPushButton* Command3;  // "退出系统": ends the program at once

  // What the buttons open: each shows the shared instance of its window.
  std::function<void()> openSingle, openBatch, openRules, openCheck, openJournal;

  // Enables or disables the batch window's button (nothing in the menu enables it).
  void enableBatch(bool enabled);

  // Ends the process at once with the given exit code: no window is asked to close and no
  // handler runs. Tests replace it to observe the exit.
  static inline std::function<void(int)> terminate = [](int code) { std::_Exit(code); };
};
