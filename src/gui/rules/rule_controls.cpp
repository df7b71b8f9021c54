#include "gui/rules/rule_controls.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "gui/widgets/keyed_tree.h"
#include "gui/widgets/text_filters.h"

namespace rules::ui {

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

QLineEdit* makeEdit(QWidget* parent, const QRect& geometry, int maxLength) {
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

QFrame* makePopup(QWidget* parent, const QRect& geometry) {
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

void filterPasted(QLineEdit* box, const QString& allowed) {
  QObject::connect(box, &QLineEdit::textEdited, box, [box, allowed](const QString& text) {
    const QString kept = widgets::keepOnly(text, allowed);
    if (kept != text) box->setText(kept);
  });
}

}  // namespace rules::ui
