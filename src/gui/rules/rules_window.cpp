// The rule settings window: its frames and panels, what passes between the panels, and the load.
#include "gui/rules/rules_window.h"

#include "core/session/session.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLineEdit>

#include "gui/rules/rule_categories_panel.h"
#include "gui/rules/rule_list_panel.h"
#include "gui/rules/rule_rows_panel.h"

using rules::ui::RuleCategoriesPanel;
using rules::ui::RuleListPanel;
using rules::ui::RuleRowsPanel;

frm工号规则设置::frm工号规则设置(session::Session& session, QWidget* parent) : QWidget(parent), session_(session) {
  setWindowTitle(QStringLiteral("工号编号规则设置"));
  setFixedSize(1000, 620);
  Frame2 = new QGroupBox(QStringLiteral("编码类别"), this);
  Frame2->setGeometry(8, 8, 310, 604);
  rules_ = new RuleListPanel(session_, Frame2, Label1);
  categories_ = new RuleCategoriesPanel(session_, Frame2, Label1);
  Frame1 = new QGroupBox(QStringLiteral("编号规则明细"), this);
  Frame1->setGeometry(326, 8, 666, 604);
  Frame1->setEnabled(false);
  rows_ = new RuleRowsPanel(session_, Frame1, Label1);
  // The choosers open over the whole window, above both frames.
  categories_->buildChooser(this, Label1);
  rows_->buildChooser(this, Label1);
  takeControls();
  connectPanels();
  loadWindow();
}

frm工号规则设置::~frm工号规则设置() = default;

void frm工号规则设置::takeControls() {
  TreeView3 = rules_->TreeView3;
  Text2 = rules_->Text2;
  Text3 = rules_->Text3;
  Text1 = rules_->Text1;
  Command10 = rules_->Command10;
  Command11 = rules_->Command11;
  Command12 = rules_->Command12;

  TreeView4 = categories_->TreeView4;
  Command13 = categories_->Command13;
  Command14 = categories_->Command14;
  Picture2 = categories_->Picture2;
  TreeView1 = categories_->TreeView1;
  Command9 = categories_->Command9;
  Command8 = categories_->Command8;

  Option1 = rows_->Option1;
  Line1 = rows_->Line1;
  MSFlexGrid1 = rows_->MSFlexGrid1;
  Command1 = rows_->Command1;
  Command6 = rows_->Command6;
  Command2 = rows_->Command2;
  Command3 = rows_->Command3;
  Command4 = rows_->Command4;
  Text4 = rows_->Text4;
  List1 = rows_->List1;
  Picture1 = rows_->Picture1;
  TreeView2 = rows_->TreeView2;
  Command5 = rows_->Command5;
  Command7 = rows_->Command7;
}

void frm工号规则设置::connectPanels() {
  // The rules panel asks for the chosen layout; the rows panel for the pattern, the code and the
  // stored layout of the shown rule, and tells when it stored another layout.
  rules_->selectedLayout = [this] { return rows_->selectedLayout(); };
  rows_->patternText = [this] { return Text1->text(); };
  rows_->categoryCodeText = [this] { return Text3->text(); };
  rows_->storedLayout = [this] { return rules_->storedLayout(); };
  rows_->layoutStored = [this](int code) { rules_->setStoredLayout(code); };

  rules_->shown = [this](const RuleListPanel::Shown& rule) {
    categories_->hideChooser();
    rows_->hidePopups();
    // A rule sharing its code with rule "0" owns no categories or rows: nothing may be added to it.
    categories_->showRule(rule.ref, rule.view.categories, !rule.view.sharesCode);
    rows_->showRule(rule.ref, rule.view.sharesCode, rule.layout, rule.view.rows);
    Frame1->setEnabled(true);
  };
  rules_->added = [this](const rules::RuleRef& rule) {
    Frame1->setEnabled(true);
    categories_->setRule(rule);
    rows_->setRule(rule);
  };
  auto noRule = [this] {
    rows_->clearRule();
    Frame1->setEnabled(false);
    categories_->clearRule();
  };
  rules_->newStarted = noRule;
  rules_->deleted = [this, noRule] {
    noRule();
    // The deleted rule's categories belong to no rule now.
    categories_->loadFree();
  };
}

void frm工号规则设置::loadWindow() {
  // Each list reports its own database failure and the window stays usable.
  rows_->loadDepartmentTree();
  categories_->loadFree();
  rules_->load();
  rows_->loadPositionList();
  rows_->startEmpty();
}

void frm工号规则设置::closeEvent(QCloseEvent* event) {
  if (!rows_->mayClose()) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

const QMap<QString, frm工号规则设置::RuleEntry>& frm工号规则设置::ruleEntries() const { return rules_->entries(); }

bool frm工号规则设置::suppressLayoutPrompt() const { return rows_->suppressLayoutPrompt(); }

const std::vector<frm工号规则设置::DepartmentRow>& frm工号规则设置::departmentRows() const {
  return rows_->departments();
}

void frm工号规则设置::列表(const QString& categoryCode) { rows_->listRows(categoryCode); }

QString frm工号规则设置::获取部门名称(const QString& number) const { return rows_->departmentName(number); }

QString frm工号规则设置::获取岗位名称(const QString& number) const { return rows_->positionName(number); }

void frm工号规则设置::员工类别列表() { categories_->loadFree(); }

void frm工号规则设置::LoadDepartmentTree() { rows_->loadDepartmentTree(); }

void frm工号规则设置::AddDepartmentChildren(const QString& parentNumber) { rows_->addDepartmentChildren(parentNumber); }

int frm工号规则设置::selectedLayout() const { return rows_->selectedLayout(); }
