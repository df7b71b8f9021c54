#pragma once
// Employee numbers compare without regard to case, as the host database compares them: every
// table of numbers (the register's counts, the holders, the undo's plan) is keyed by this key.
#include <QString>

namespace ops {
inline QString numberKey(const QString& number) { return number.toCaseFolded(); }
}  // namespace ops
