#pragma once
// Readable Google Test output for Qt texts: failed expectations show QString and QStringList
// values as UTF-8 text instead of bytes.
#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

inline void PrintTo(const QStringList& list, std::ostream* os) {
  *os << '{';
  for (qsizetype i = 0; i < list.size(); ++i) {
    if (i) *os << ", ";
    PrintTo(list[i], os);
  }
  *os << '}';
}
