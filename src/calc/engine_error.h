#pragma once
// The failure of a spreadsheet engine step; what() is the engine's own error text (UTF-8).
#include <QString>
#include <stdexcept>

namespace calc {

class EngineError : public std::runtime_error {
 public:
  explicit EngineError(const QString& text) : std::runtime_error(text.toStdString()) {}
  QString text() const { return QString::fromUtf8(what()); }
};

}  // namespace calc
