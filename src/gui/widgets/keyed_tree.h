#pragma once
// A tree with keyed nodes over QTreeWidget (the TreeView of the host system's windows).
#include <QHash>
#include <QTreeWidget>

class KeyedTree : public QTreeWidget {
  Q_OBJECT
 public:
  explicit KeyedTree(QWidget* parent = nullptr);

  // Adds a node under the node with parentKey ("" = root). Returns nullptr (and adds nothing)
  // when key already exists or parentKey is unknown. icon: 1 department, 2 category, 3 rule.
  QTreeWidgetItem* addNode(const QString& parentKey, const QString& key, const QString& text, int icon = 0);
  bool removeNode(const QString& key);
  void clearNodes();
  bool exists(const QString& key) const;
  QTreeWidgetItem* node(const QString& key) const;
  QString keyOf(const QTreeWidgetItem* item) const;
  QString selectedKey() const;  // "" when no node is selected
  QString selectedText() const;
  void selectNode(const QString& key);
  QStringList texts() const;  // every node's text, depth first, in order
  QStringList keys() const;  // every node's key, depth first, in order
  int count() const;

  // As a user's click on that node: selects it, then raises NodeClick.
  void clickNode(const QString& key);

 signals:
  void NodeClick(const QString& key);

 private:
  QHash<QString, QTreeWidgetItem*> byKey_;
};
