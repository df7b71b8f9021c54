#include "gui/widgets/keyed_tree.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

constexpr int kKeyRole = Qt::UserRole + 1;

// The tree's image list, drawn in code: 1 department (a building), 2 employee category
// (a person), 3 rule (a numbered card).
QIcon nodeIcon(int index) {
  if (index < 1 || index > 3) return QIcon();
  static QIcon icons[4];
  if (!icons[index].isNull()) return icons[index];
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  switch (index) {
    case 1:  // department: a blue building with windows
      p.setPen(QColor(30, 60, 120));
      p.setBrush(QColor(90, 140, 210));
      p.drawRect(3, 2, 10, 13);
      p.setPen(Qt::NoPen);
      p.setBrush(Qt::white);
      for (int y = 4; y <= 10; y += 3) {
        p.drawRect(5, y, 2, 2);
        p.drawRect(9, y, 2, 2);
      }
      break;
    case 2:  // employee category: a green person
      p.setPen(QColor(20, 100, 40));
      p.setBrush(QColor(70, 170, 90));
      p.drawEllipse(QRectF(5, 1.5, 6, 6));
      p.drawRoundedRect(QRectF(2.5, 8.5, 11, 6.5), 3, 3);
      break;
    case 3: {  // rule: an orange card with lines
      p.setPen(QColor(150, 80, 10));
      p.setBrush(QColor(245, 170, 60));
      p.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 2, 2);
      p.setPen(QPen(QColor(110, 50, 0), 1.5));
      p.drawLine(QPointF(4, 6), QPointF(12, 6));
      p.drawLine(QPointF(4, 9.5), QPointF(9, 9.5));
      break;
    }
  }
  p.end();
  icons[index] = QIcon(pixmap);
  return icons[index];
}

}  // namespace

KeyedTree::KeyedTree(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(1);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { emit NodeClick(keyOf(item)); });
}

QTreeWidgetItem* KeyedTree::addNode(const QString& parentKey, const QString& key, const QString& text, int icon) {
  // Every node has a key of its own; "" stands for the root and is no node's key.
  if (key.isEmpty() || byKey_.contains(key)) return nullptr;
  QTreeWidgetItem* parentItem = nullptr;
  if (!parentKey.isEmpty()) {
    parentItem = byKey_.value(parentKey);
    if (!parentItem) return nullptr;
  }
  auto* item = new QTreeWidgetItem(QStringList{text});
  item->setData(0, kKeyRole, key);
  item->setIcon(0, nodeIcon(icon));
  if (parentItem) {
    parentItem->addChild(item);
  } else {
    addTopLevelItem(item);
  }
  byKey_.insert(key, item);
  return item;
}

bool KeyedTree::removeNode(const QString& key) {
  QTreeWidgetItem* item = byKey_.value(key);
  if (!item) return false;
  // The node goes with all its descendants.
  QList<QTreeWidgetItem*> pending{item};
  while (!pending.isEmpty()) {
    QTreeWidgetItem* current = pending.takeLast();
    byKey_.remove(current->data(0, kKeyRole).toString());
    for (int i = 0; i < current->childCount(); ++i) pending.append(current->child(i));
  }
  delete item;
  return true;
}

void KeyedTree::clearNodes() {
  clear();
  byKey_.clear();
}

bool KeyedTree::exists(const QString& key) const { return byKey_.contains(key); }

QTreeWidgetItem* KeyedTree::node(const QString& key) const { return byKey_.value(key); }

QString KeyedTree::keyOf(const QTreeWidgetItem* item) const {
  return item ? item->data(0, kKeyRole).toString() : QString();
}

QString KeyedTree::selectedKey() const {
  const QList<QTreeWidgetItem*> items = selectedItems();
  return items.isEmpty() ? QString() : keyOf(items.first());
}

QString KeyedTree::selectedText() const {
  const QList<QTreeWidgetItem*> items = selectedItems();
  return items.isEmpty() ? QString() : items.first()->text(0);
}

void KeyedTree::selectNode(const QString& key) {
  QTreeWidgetItem* item = byKey_.value(key);
  if (!item) return;
  setCurrentItem(item);
  item->setSelected(true);
  scrollToItem(item);
}

namespace {
void collect(const QTreeWidgetItem* item, QStringList* texts, QStringList* keys) {
  if (texts) texts->append(item->text(0));
  if (keys) keys->append(item->data(0, kKeyRole).toString());
  for (int i = 0; i < item->childCount(); ++i) collect(item->child(i), texts, keys);
}
}  // namespace

QStringList KeyedTree::texts() const {
  QStringList result;
  for (int i = 0; i < topLevelItemCount(); ++i) collect(topLevelItem(i), &result, nullptr);
  return result;
}

QStringList KeyedTree::keys() const {
  QStringList result;
  for (int i = 0; i < topLevelItemCount(); ++i) collect(topLevelItem(i), nullptr, &result);
  return result;
}

int KeyedTree::count() const { return static_cast<int>(byKey_.size()); }

void KeyedTree::clickNode(const QString& key) {
  if (!byKey_.contains(key)) return;
  selectNode(key);
  emit NodeClick(key);
}
