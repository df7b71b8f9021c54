#pragma once
// Long lists in questions and notices, bounded the same way everywhere: at most kListLines lines
// of the list, then one line "……另有K项" for the K lines left out. A list line that is already such a
// rest line (a list bounded once and bounded again, tighter) adds its K to the new one, so the
// count always covers the whole list.
#include <QString>
#include <QStringList>

namespace text {

// Lines of a list a question or notice shows.
inline constexpr qsizetype kListLines = 20;

// The line standing for left lines of a list that are not shown: "……另有K项".
QString restLine(qsizetype left);

// The K of a rest line ("……另有K项"); 0 for any other line.
qsizetype restCount(const QString& line);

// lines, at most maxLines of them (at least 1) and, when there are more, the rest line after them.
// A last line that is a rest line is not a line of the list: its count goes into the new one.
QStringList boundedList(const QStringList& lines, qsizetype maxLines = kListLines);

// A list as a question or notice: the heading with the first item on the same line (so the first
// line already names one of them), the other items one a line, bounded by boundedList, and the
// closing sentence on the last line. With no items, the heading and the closing.
QString listedText(const QString& heading, const QStringList& items, const QString& closing,
                   qsizetype maxLines = kListLines);

}  // namespace text
