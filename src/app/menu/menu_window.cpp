#include "app/menu/menu_window.h"

#include <QVBoxLayout>

#include "gui/dbcheck/check_window.h"
#include "gui/journal/journal_window.h"
#include "gui/batch/batch_window.h"
#include "gui/single/single_window.h"
#include "gui/rules/rules_window.h"
#include "gui/widgets/shared_window.h"

frm协调::frm协调(session::Session& session, QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("协调"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 12, 12, 12);
  layout->setSpacing(8);
  auto button = [&](const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setMinimumSize(220, 44);
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    layout->addWidget(b, 1);
    return b;
  };
  Command1 = button(QStringLiteral("Kestrune"));
  Command4 = button(QStringLiteral("工号统一修改"));
  Command2 = button(QStringLiteral("规则设置"));
  Command5 = button(QStringLiteral("数据库检查"));
  Command6 = button(QStringLiteral("修改记录"));
  Command3 = button(QStringLiteral("退出系统"));
  Command4->setEnabled(false);

  setTabOrder(Command1, Command2);
  setTabOrder(Command2, Command3);
  setTabOrder(Command3, Command4);
  setTabOrder(Command4, Command5);
  setTabOrder(Command5, Command6);

  // Each button shows the shared instance of its window, created on first use.
  session::Session* const s = &session;
  openSingle = [s] { widgets::shared_window::show<frm员工Kestrune>(*s); };
  openBatch = [s] { widgets::shared_window::show<frm员工工号统一修改>(*s); };
  openRules = [s] { widgets::shared_window::show<frm工号规则设置>(*s); };
  openJournal = [s] { widgets::shared_window::show<frm修改记录>(*s); };
  openCheck = [s] {
    auto& w = widgets::shared_window::show<frm数据库检查>(*s);
    w.检查();
  };

  auto call = [](const std::function<void()>& open) {
    if (open) open();
  };
  QObject::connect(Command1, &QPushButton::clicked, this, [this, call] { call(openSingle); });
  QObject::connect(Command4, &QPushButton::clicked, this, [this, call] { call(openBatch); });
  QObject::connect(Command2, &QPushButton::clicked, this, [this, call] { call(openRules); });
  QObject::connect(Command5, &QPushButton::clicked, this, [this, call] { call(openCheck); });
  QObject::connect(Command6, &QPushButton::clicked, this, [this, call] { call(openJournal); });
  QObject::connect(Command3, &QPushButton::clicked, this, [] { terminate(0); });
}

void frm协调::enableBatch(bool enabled) { Command4->setEnabled(enabled); }
