#pragma once
// The controls the panels of the rule settings window are built from, and what they share: the
// node keys of rules and categories and the control array Label1.
#include <QRect>
#include <QString>
#include <array>

#include "core/rules/rules_ops.h"

class KeyedTree;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace rules::ui {

// Node keys of rules and categories: "LB" + code or number.
inline const QString kKeyPrefix = QStringLiteral("LB");

// The window's labels Label1(0) to Label1(17); each panel fills the indices of its own labels.
using Labels = std::array<QLabel*, 18>;

QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& geometry);
QPushButton* makeButton(QWidget* parent, const QString& text, const QRect& geometry);
// A text box holding at most maxLength characters.
QLineEdit* makeEdit(QWidget* parent, const QRect& geometry, int maxLength = rules::kTextLength);
KeyedTree* makeTree(QWidget* parent, const QRect& geometry);
// A raised panel over the window, hidden until it is opened (the choosers).
QFrame* makePopup(QWidget* parent, const QRect& geometry);

// Whether a key's text is a printable character (typing, not moving or a shortcut).
bool isPrintable(const QString& text);
// Keeps only the allowed characters of what was pasted into a box.
void filterPasted(QLineEdit* box, const QString& allowed);

}  // namespace rules::ui
