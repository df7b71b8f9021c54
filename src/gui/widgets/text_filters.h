#pragma once
// What a text box lets through when text is typed or pasted.
#include <QString>

namespace widgets {

// The characters of text that are in allowed ("0123456789" keeps digits, "0" only zeros).
inline QString keepOnly(const QString& text, const QString& allowed) {
  QString out;
  for (QChar ch : text)
    if (allowed.contains(ch)) out += ch;
  return out;
}
inline const QString kDigits = QStringLiteral("0123456789");

}  // namespace widgets
