#include "core/common/added_columns.h"

#include <QSettings>
#include <memory>

namespace common::added {

namespace {

std::unique_ptr<QSettings> open(const QString& file) {
  if (file.isEmpty()) {
#ifdef Q_OS_WIN
    // A file in the user's application data (%APPDATA%\renumber\renumber.ini), not the registry.
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("renumber"),
                                       QStringLiteral("renumber"));
#else
    return std::make_unique<QSettings>(QStringLiteral("renumber"), QStringLiteral("renumber"));
#endif
  }
  return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

// A settings group name from any text: the key may hold slashes, colons and backslashes.
QString groupOf(const QString& databaseKey) {
  return QStringLiteral("AddedColumns/") + QString::fromLatin1(databaseKey.toUtf8().toHex());
}

}  // namespace

bool plainName(const QString& name) {
  if (name.isEmpty()) return false;
  for (QChar ch : name)
    if (!ch.isLetterOrNumber() && ch != u'_') return false;
  return true;
}

QString refusal(const AddedColumn& c) {
  if (!plainName(c.table) || !plainName(c.column))
    return QStringLiteral("表名或列名“%1.%2”不是普通名称（只能含字母、数字和下划线），不能加入修改列表")
        .arg(c.table, c.column);
  return QString();
}

Store::Store(QString settingsFile, QString databaseKey)
    : file_(std::move(settingsFile)), key_(std::move(databaseKey)) {}

std::vector<AddedColumn> Store::columns() const {
  std::vector<AddedColumn> out;
  auto s = open(file_);
  const int n = s->beginReadArray(groupOf(key_));
  for (int i = 0; i < n; ++i) {
    s->setArrayIndex(i);
    const AddedColumn c{s->value(QStringLiteral("table")).toString(), s->value(QStringLiteral("column")).toString()};
    // A hand-edited settings file cannot smuggle a name into a statement.
    if (refusal(c).isEmpty()) out.push_back(c);
  }
  s->endArray();
  return out;
}

void Store::save(const std::vector<AddedColumn>& list) {
  auto s = open(file_);
  s->remove(groupOf(key_));
  s->beginWriteArray(groupOf(key_), int(list.size()));
  for (int i = 0; i < int(list.size()); ++i) {
    s->setArrayIndex(i);
    s->setValue(QStringLiteral("table"), list[std::size_t(i)].table);
    s->setValue(QStringLiteral("column"), list[std::size_t(i)].column);
  }
  s->endArray();
  s->sync();
}

QString Store::add(const AddedColumn& column) {
  if (QString why = refusal(column); !why.isEmpty()) return why;
  std::vector<AddedColumn> list = columns();
  for (const AddedColumn& c : list)
    if (c == column) return QString();
  list.push_back(column);
  save(list);
  return QString();
}

void Store::remove(const AddedColumn& column) {
  std::vector<AddedColumn> list = columns();
  std::erase(list, column);
  save(list);
}

}  // namespace common::added
