#pragma once
// What an operation's failure is: the database's (db::DbError, whose text is the database's own)
// or the program's.
#include <exception>

#include "db/database.h"

namespace common {

inline bool fromDatabase(const std::exception& e) { return dynamic_cast<const db::DbError*>(&e) != nullptr; }

}  // namespace common
