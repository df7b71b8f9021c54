#include "gui/dbcheck/check_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/drive/drive.h"
#include "core/session/session.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/flex_grid.h"
#include "gui/widgets/wait_cursor.h"

namespace {
const QString kGridFormat = QStringLiteral(
    "序  |<类别          |<表                        |<列                  |<说明                                      "
    "       "
    "  |");
}

frm数据库检查::frm数据库检查(session::Session& session, QWidget* parent) : QWidget(parent), session_(session) {
  setWindowTitle(QStringLiteral("数据库检查"));
  Label1 = new QLabel(QStringLiteral("检查数据库中本工具改写的表和列，以及可能存放工号但未被改写的列。"), this);
  Label1->setWordWrap(true);
  MSFlexGrid1 = new FlexGrid(this);
  MSFlexGrid1->setFormatString(kGridFormat);
  Command1 = new QPushButton(QStringLiteral("检查"), this);
  Command2 = new QPushButton(QStringLiteral("导出"), this);
  Command3 = new QPushButton(QStringLiteral("加入修改列表"), this);
  Command4 = new QPushButton(QStringLiteral("移出修改列表"), this);
  Command5 = new QPushButton(QStringLiteral("关闭"), this);
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {Command1, Command2, Command3, Command4}) buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(Command5);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(MSFlexGrid1, 1);
  layout->addLayout(buttons);
  resize(900, 520);
  updateButtons();

  connect(Command1, &QPushButton::clicked, this, [this] { 检查(); });
  connect(Command3, &QPushButton::clicked, this, [this] { addSelected(); });
  connect(Command4, &QPushButton::clicked, this, [this] { removeSelected(); });
  connect(Command5, &QPushButton::clicked, this, [this] { close(); });
  connect(MSFlexGrid1, &FlexGrid::Click, this, [this] { updateButtons(); });
}

bool frm数据库检查::检查() {
  dbcheck::Report report;
  std::vector<common::added::AddedColumn> addedColumns;
  // Stopped or failed: the list stays as it was.
  if (drive::run(this,
                 {false, QStringLiteral("正在检查数据库：第 %1 / %2 列"), QStringLiteral("正在读取数据库的表和列…")},
                 [&](const common::Progress& progress) {
                   WaitCursor wait;
                   addedColumns = session_.addedColumns();
                   report = dbcheck::check(session_.database(), addedColumns, progress);
                 }) != drive::Outcome::Done)
    return false;
  list(report, addedColumns);
  return true;
}

void frm数据库检查::list(const dbcheck::Report& report, const std::vector<common::added::AddedColumn>& addedColumns) {
  lines_.clear();
  FlexGrid* g = MSFlexGrid1;
  g->setRows(1);
  const auto add = [&](Kind kind, const QString& caption, const QString& table, const QString& column,
                       const QString& note) {
    lines_.push_back({kind, table, column});
    const int r = g->Rows();
    g->setRows(r + 1);
    g->setTextMatrix(r, 0, QString::number(r));
    g->setTextMatrix(r, 1, caption);
    g->setTextMatrix(r, 2, table);
    g->setTextMatrix(r, 3, column.isEmpty() ? QStringLiteral("（整张表）") : column);
    g->setTextMatrix(r, 4, note);
  };
  for (const common::Missing& m : report.missing)
    add(Kind::Missing, QStringLiteral("缺少"), m.table, m.column,
        QStringLiteral("修改工号时会出错并回滚；影响：") + m.operations.join(QStringLiteral("、")));
  for (const dbcheck::Suspect& s : report.suspects)
    add(Kind::Suspect, QStringLiteral("可能遗漏"), s.table, s.column, s.reason());
  for (const dbcheck::Unreadable& u : report.unreadable)
    add(Kind::Note, QStringLiteral("无法读取"), u.table, u.column, u.reason());
  for (const dbcheck::Rewritten& r : report.typeProblems())
    add(Kind::Note, QStringLiteral("类型不符"), r.table, r.column, r.reason());
  for (const dbcheck::Rewritten& r : report.rewrittenWhere(&dbcheck::Rewritten::otherCollation))
    add(Kind::Note, QStringLiteral("排序规则不同"), r.table, r.column, r.collationReason());
  for (const dbcheck::Rewritten& r : report.rewrittenWhere(&dbcheck::Rewritten::unwritable))
    add(Kind::Note, QStringLiteral("不能改写"), r.table, r.column, r.unwritableReason());
  for (const dbcheck::ForeignKey& k : report.foreignKeys)
    add(Kind::Note, k.problem() ? QStringLiteral("外键妨碍修改") : QStringLiteral("外键"), k.table, k.column,
        (k.name.isEmpty() ? QString() : k.name + QStringLiteral("：")) + k.reason());
  for (const dbcheck::Trigger& t : report.triggers)
    add(Kind::Note, t.problem() ? QStringLiteral("触发器妨碍修改") : QStringLiteral("触发器"), t.table, QString(),
        t.name + QStringLiteral("：") + t.reason());
  for (const dbcheck::CheckConstraint& c : report.checks)
    add(Kind::Note, QStringLiteral("CHECK约束"), c.table, c.column,
        (c.name.isEmpty() ? QString() : c.name + QStringLiteral("：")) + c.reason());
  for (const dbcheck::Rewritten& r : report.rewrittenWhere(&dbcheck::Rewritten::unindexed))
    add(Kind::Note, QStringLiteral("没有索引"), r.table, r.column, r.unindexedReason());
  for (const common::added::AddedColumn& a : addedColumns)
    add(Kind::Added, QStringLiteral("已加入修改列表"), a.table, a.column, QStringLiteral("每次修改工号时一并改写"));
  for (const dbcheck::Staying& s : report.staying)
    add(Kind::Note, QStringLiteral("留在原工号"), s.table, s.column,
        QStringLiteral("%1行不满足 %2，修改工号时不改写").arg(s.rows).arg(s.condition));
  for (const dbcheck::Unlisted& u : report.unlisted)
    add(Kind::Note, QStringLiteral("不列出的员工"), QStringLiteral("员工档案"), QStringLiteral("岗位编号"),
        QStringLiteral("%1 %2：%3，工号统一修改不列出").arg(u.number, u.name, u.reason()));
  g->setRow(g->Rows() > 1 ? 1 : 0);
  g->fitColumns();  // every note whole
  if (const int wanted = layout()->sizeHint().width(); wanted > width()) resize(wanted, height());
  const QString notes = report.staying.empty() && report.unlisted.empty()
                            ? QString()
                            : QStringLiteral("另有说明：%1列有留在原工号下的记录，%2名员工的岗位不存在。")
                                  .arg(report.staying.size())
                                  .arg(report.unlisted.size());
  QString found = QStringLiteral("缺少%1处，可能遗漏%2列").arg(report.missing.size()).arg(report.suspects.size());
  const auto count = [&](const QString& what, std::size_t n) {
    if (n > 0) found += what.arg(n);
  };
  count(QStringLiteral("，无法读取%1列"), report.unreadable.size());
  count(QStringLiteral("，类型不符%1列"), report.typeProblems().size());
  count(QStringLiteral("，排序规则不同%1列"), report.rewrittenWhere(&dbcheck::Rewritten::otherCollation).size());
  count(QStringLiteral("，不能改写%1列"), report.rewrittenWhere(&dbcheck::Rewritten::unwritable).size());
  count(QStringLiteral("，妨碍修改的外键%1个"), report.keyProblems().size());
  count(QStringLiteral("，妨碍修改的触发器%1个"), report.triggerProblems().size());
  Label1->setText((report.ok() ? QStringLiteral("检查完毕：没有发现问题（%1）。").arg(report.sampleNote())
                               : QStringLiteral("检查完毕：%1（%2）。").arg(found, report.sampleNote())) +
                  notes);
  updateButtons();
}

const frm数据库检查::Line* frm数据库检查::selectedLine() const {
  const int r = MSFlexGrid1->Row();
  if (r < 1 || r > int(lines_.size())) return nullptr;
  return &lines_[std::size_t(r - 1)];
}

void frm数据库检查::updateButtons() {
  const Line* line = selectedLine();
  Command2->setEnabled(!lines_.empty());
  Command3->setEnabled(line && line->kind == Kind::Suspect);
  Command4->setEnabled(line && line->kind == Kind::Added);
}

void frm数据库检查::addSelected() {
  const Line* line = selectedLine();
  if (!line || line->kind != Kind::Suspect) return;
  if (const QString why = session_.addColumn({line->table, line->column}); !why.isEmpty()) {
    widgets::msg(this, why);
    return;
  }
  检查();
}

void frm数据库检查::removeSelected() {
  const Line* line = selectedLine();
  if (!line || line->kind != Kind::Added) return;
  if (!widgets::ask(this, QStringLiteral("是否要把%1.%2移出修改列表？").arg(line->table, line->column))) return;
  session_.removeColumn({line->table, line->column});
  检查();
}
