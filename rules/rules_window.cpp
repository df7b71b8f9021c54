// The rule settings window: construction, start state, key filters and window load.
#include "rules/rules_window.h"

#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

#include "ops/rule_codes.h"
#include "ops/rule_store.h"
#include "widgets/flex_grid.h"
#include "widgets/keyed_tree.h"
#include "widgets/text_filters.h"

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  return label;
}

QPushButton* makeButton(QWidget* parent, const QString& text, const QRect& geometry) {
  auto* button = new QPushButton(text, parent);
  button->setGeometry(geometry);
  return button;
}

// A text box holding at most maxLength characters.
QLineEdit* makeEdit(QWidget* parent, const QRect& geometry, int maxLength = rules::kTextLength) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(geometry);
  edit->setMaxLength(maxLength);
  return edit;
}

KeyedTree* makeTree(QWidget* parent, const QRect& geometry) {
  auto* tree = new KeyedTree(parent);
  tree->setGeometry(geometry);
  tree->setHeaderHidden(true);
  return tree;
}

// A sample box: a framed label with centred text.
QLabel* makeBox(QWidget* parent, const QString& text, const QRect& geometry) {
  QLabel* box = makeLabel(parent, text, geometry);
  box->setFrameShape(QFrame::Box);
  box->setAlignment(Qt::AlignCenter);
  return box;
}

QFrame* makeLine(QWidget* parent, const QRect& geometry, bool vertical) {
  auto* line = new QFrame(parent);
  line->setFrameShape(vertical ? QFrame::VLine : QFrame::HLine);
  line->setFrameShadow(QFrame::Plain);
  line->setGeometry(geometry);
  return line;
}

QFrame* makePanel(QWidget* parent, const QRect& geometry) {
  auto* panel = new QFrame(parent);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);
  panel->setLineWidth(2);
  panel->setAutoFillBackground(true);
  panel->setGeometry(geometry);
  panel->hide();
  return panel;
}

bool isPrintable(const QString& text) { return !text.isEmpty() && text.at(0).isPrint(); }

// What the serial pattern box keeps: zeros.
const QString kZeros = QStringLiteral("0");

// Keeps only the allowed characters of what was pasted into a box.
void filterPasted(QLineEdit* box, const QString& allowed) {
  QObject::connect(box, &QLineEdit::textEdited, box, [box, allowed](const QString& text) {
    const QString kept = ui::keepOnly(text, allowed);
    if (kept != text) box->setText(kept);
  });
}

}  // namespace

frm工号规则设置::frm工号规则设置(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("工号编号规则设置"));
  setFixedSize(1000, 620);
  buildLeftFrame();
  buildRightFrame();
  buildPanels();
  connectHandlers();
  loadWindow();
}

frm工号规则设置::~frm工号规则设置() = default;

void frm工号规则设置::buildLeftFrame() {
  Frame2 = new QGroupBox(QStringLiteral("编码类别"), this);
  Frame2->setGeometry(8, 8, 310, 604);

  TreeView3 = makeTree(Frame2, QRect(10, 24, 290, 200));
  Label1[3] = makeLabel(Frame2, QStringLiteral("编码类别"), QRect(10, 234, 70, 22));
  Text2 = makeEdit(Frame2, QRect(84, 234, 216, 22));
  Label1[4] = makeLabel(Frame2, QStringLiteral("类别代码"), QRect(10, 262, 70, 22));
  Text3 = makeEdit(Frame2, QRect(84, 262, 216, 22));
  Label1[1] = makeLabel(Frame2, QStringLiteral("流水号位数"), QRect(10, 290, 72, 22));
  Text1 = makeEdit(Frame2, QRect(84, 290, 130, 22), rules::kPatternLength);
  Text1->setText(QStringLiteral("000"));
  Label1[2] = makeLabel(Frame2, QStringLiteral("3 位数"), QRect(222, 290, 78, 22));

  Command10 = makeButton(Frame2, QStringLiteral("添加"), QRect(10, 322, 90, 28));
  Command11 = makeButton(Frame2, QStringLiteral("删除"), QRect(110, 322, 90, 28));
  Command12 = makeButton(Frame2, QStringLiteral("确定"), QRect(210, 322, 90, 28));
  Command11->setEnabled(false);
  Command12->setEnabled(false);

  Label1[0] = makeLabel(Frame2, QStringLiteral("对应员工类别"), QRect(10, 360, 200, 22));
  TreeView4 = makeTree(Frame2, QRect(10, 384, 290, 170));
  Command13 = makeButton(Frame2, QStringLiteral("添加"), QRect(110, 564, 90, 28));
  Command14 = makeButton(Frame2, QStringLiteral("删除"), QRect(210, 564, 90, 28));
  // No category can be attached while no rule is shown.
  Command13->setEnabled(false);
  Command14->setEnabled(false);
}

void frm工号规则设置::buildRightFrame() {
  Frame1 = new QGroupBox(QStringLiteral("编号规则明细"), this);
  Frame1->setGeometry(326, 8, 666, 604);
  Frame1->setEnabled(false);

  for (int position = 0; position < rules::kRuleCodes; ++position) {
    const int code = rules::kOptionOrder[position];
    Option1[code] = new QRadioButton(rules::codeCaption(code), Frame1);
    Option1[code]->setGeometry(12, 24 + position * 24, 320, 22);
  }
  buildSample(Frame1, 30);

  MSFlexGrid1 = new FlexGrid(Frame1);
  MSFlexGrid1->setGeometry(12, 206, 642, 340);
  MSFlexGrid1->setFormatString(QStringLiteral("序 |<部门") + QString(27, QLatin1Char(' ')) +
                               QStringLiteral("|^部门码|<岗位类别") + QString(19, QLatin1Char(' ')) +
                               QStringLiteral("|^岗位码|"));
  MSFlexGrid1->setFixedCols(0);
  MSFlexGrid1->setRows(1);
  MSFlexGrid1->setColWidth(rules::ColId, 0);

  const QIcon chooser = style()->standardIcon(QStyle::SP_ArrowDown);
  Command1 = makeButton(Frame1, QString(), QRect(0, 0, 20, 20));
  Command1->setIcon(chooser);
  Command1->hide();
  Command6 = makeButton(Frame1, QString(), QRect(0, 0, 20, 20));
  Command6->setIcon(chooser);
  Command6->hide();
  Text4 = makeEdit(Frame1, QRect(0, 0, 60, 20));
  Text4->hide();
  List1 = new QListWidget(Frame1);
  List1->setGeometry(0, 0, 240, 160);
  // No focus: a list taking the focus would make its first line current, which counts as a choice.
  List1->setFocusPolicy(Qt::NoFocus);
  List1->hide();

  Command2 = makeButton(Frame1, QStringLiteral("添加"), QRect(374, 560, 90, 28));
  Command3 = makeButton(Frame1, QStringLiteral("删除"), QRect(469, 560, 90, 28));
  Command4 = makeButton(Frame1, QStringLiteral("确定"), QRect(564, 560, 90, 28));
  Command3->setEnabled(false);
}

void frm工号规则设置::buildSample(QWidget* frame, int top) {
  // "例" with the boxes department, category, position, serial joined by lines to their
  // headings, and below them the whole sample number.
  const int left = 420, width = 54, step = 60;
  Label1[5] = makeLabel(frame, QStringLiteral("例"), QRect(left - 28, top, 24, 24));
  for (int box = 0; box < 4; ++box) {
    const int x = left + box * step;
    const bool serial = box == 3;
    Label1[6 + box] = makeBox(frame, serial ? QStringLiteral("008") : rules::noPart(), QRect(x, top, width, 24));
    Line1[box] = makeLine(frame, QRect(x + width / 2, top + 24, 1, 18), true);
  }
  static const char* const kHeadings[] = {"部门码", "类别码", "岗位码", "流水号"};
  for (int heading = 0; heading < 4; ++heading) {
    Label1[11 + heading] =
        makeLabel(frame, QString::fromUtf8(kHeadings[heading]), QRect(left + heading * step, top + 42, width, 20));
    Label1[11 + heading]->setAlignment(Qt::AlignCenter);
  }
  for (int heading = 11; heading <= 13; ++heading) Label1[heading]->setEnabled(false);
  // A bracket under the headings leading to the whole sample number.
  const int bracketTop = top + 70, right = left + 3 * step + width;
  Line1[4] = makeLine(frame, QRect(left + width / 2, bracketTop, 1, 10), true);
  Line1[5] = makeLine(frame, QRect(right - width / 2, bracketTop, 1, 10), true);
  Line1[6] = makeLine(frame, QRect(left + width / 2, bracketTop + 10, right - left - width + 1, 1), false);
  Line1[7] = makeLine(frame, QRect((left + right) / 2, bracketTop + 10, 1, 12), true);
  Label1[10] = makeBox(frame, QStringLiteral("008"), QRect((left + right) / 2 - 80, bracketTop + 22, 160, 26));
}

void frm工号规则设置::buildPanels() {
  Picture2 = makePanel(this, QRect(30, 150, 280, 380));
  Label1[16] = makeLabel(Picture2, QStringLiteral("员工类别选择"), QRect(10, 8, 260, 20));
  Label1[17] = makeLabel(Picture2, QStringLiteral("【只显示没有设置的员工类别】"), QRect(10, 30, 260, 20));
  TreeView1 = makeTree(Picture2, QRect(10, 54, 260, 280));
  Command9 = makeButton(Picture2, QStringLiteral("添加确定"), QRect(60, 342, 100, 28));
  Command8 = makeButton(Picture2, QStringLiteral("取消"), QRect(170, 342, 100, 28));
  Command9->setEnabled(false);  // until a category is picked

  Picture1 = makePanel(this, QRect(600, 180, 320, 400));
  Label1[15] = makeLabel(Picture1, QStringLiteral("请选择部门"), QRect(10, 8, 300, 20));
  TreeView2 = makeTree(Picture1, QRect(10, 32, 300, 320));
  Command5 = makeButton(Picture1, QStringLiteral("选择确定"), QRect(100, 362, 100, 28));
  Command7 = makeButton(Picture1, QStringLiteral("取消"), QRect(210, 362, 100, 28));
}

void frm工号规则设置::connectHandlers() {
  QObject::connect(TreeView3, &KeyedTree::NodeClick, this, [this](const QString& key) { ruleNodeClick(key); });
  QObject::connect(Command10, &QPushButton::clicked, this, [this] { newRule(); });
  QObject::connect(Command11, &QPushButton::clicked, this, [this] { deleteRule(); });
  QObject::connect(Command12, &QPushButton::clicked, this, [this] { saveRule(); });
  for (int code = 0; code < rules::kRuleCodes; ++code) {
    QObject::connect(Option1[code], &QRadioButton::toggled, this, [this, code](bool checked) {
      if (checked) layoutClick(code);
    });
  }

  // Serial pattern box: only "0" and Backspace are typed; pasted text keeps only its zeros.
  Text1->installEventFilter(this);
  filterPasted(Text1, kZeros);
  QObject::connect(Text1, &QLineEdit::textChanged, this,
                   [this](const QString& text) { Label1[2]->setText(rules::patternDigitsCaption(text)); });
  // Category code box: only digits and Backspace; pasted text keeps only its digits.
  Text3->installEventFilter(this);
  filterPasted(Text3, ui::kDigits);
  // Cell editor: Enter writes the cell; digits only (see eventFilter).
  Text4->installEventFilter(this);
  filterPasted(Text4, ui::kDigits);

  QObject::connect(Command13, &QPushButton::clicked, this, [this] {
    Picture2->show();
    Picture2->raise();
  });
  QObject::connect(TreeView1, &KeyedTree::NodeClick, this, [this] { Command9->setEnabled(true); });
  QObject::connect(Command9, &QPushButton::clicked, this, [this] { attachCategory(); });
  QObject::connect(Command8, &QPushButton::clicked, this, [this] { Picture2->hide(); });
  QObject::connect(TreeView4, &KeyedTree::NodeClick, this, [this] { Command14->setEnabled(true); });
  QObject::connect(Command14, &QPushButton::clicked, this, [this] { releaseCategory(); });

  QObject::connect(MSFlexGrid1, &FlexGrid::Click, this, [this] { gridClick(); });
  QObject::connect(Command2, &QPushButton::clicked, this, [this] { newRow(); });
  QObject::connect(Command3, &QPushButton::clicked, this, [this] { deleteRow(); });
  QObject::connect(Command4, &QPushButton::clicked, this, [this] { saveRow(); });
  QObject::connect(Command1, &QPushButton::clicked, this, [this] {
    Picture1->show();
    Picture1->raise();
  });
  QObject::connect(Command5, &QPushButton::clicked, this, [this] { chooseDepartment(); });
  QObject::connect(Command7, &QPushButton::clicked, this, [this] { Picture1->hide(); });
  QObject::connect(Command6, &QPushButton::clicked, this, [this] { positionButtonClick(); });
  QObject::connect(List1, &QListWidget::currentRowChanged, this, [this](int row) { positionChosen(row); });
}

bool frm工号规则设置::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  const bool backspace = key->key() == Qt::Key_Backspace;
  if (watched == Text1) {
    // Only "0" and Backspace; keys without a printable character (moving, shortcuts) pass.
    return isPrintable(key->text()) && key->text() != kZeros;
  }
  if (watched == Text3) {
    return isPrintable(key->text()) && ui::keepOnly(key->text(), ui::kDigits) != key->text();
  }
  if (watched == Text4) {
    if (!backspace && key->key() != Qt::Key_Delete && !isPrintable(key->text()) && key->key() != Qt::Key_Return &&
        key->key() != Qt::Key_Enter) {
      return false;
    }
    return cellEditorKey(key->key(), key->text());
  }
  return QWidget::eventFilter(watched, event);
}

void frm工号规则设置::loadWindow() {
  // Each list reports its own database failure and the window stays usable.
  LoadDepartmentTree();
  员工类别列表();
  loadRules();
  loadPositionList();
  emptyGrid();
  MSFlexGrid1->setColWidth(rules::ColId, 0);
}
