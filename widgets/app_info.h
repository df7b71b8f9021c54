#pragma once
#include <QString>

namespace app_info {
// The application's title (message boxes "with the application's title") and its executable name.
inline QString title() { return QStringLiteral("renumber"); }
inline QString exeName() { return QStringLiteral("renumber"); }
}  // namespace app_info
