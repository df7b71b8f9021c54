#pragma once
// The shared connection, for windows that hand it to their operations module.
#include "db/database.h"

namespace ops {
inline db::Database& sharedConnection() { return db::Database::shared(); }
}  // namespace ops
