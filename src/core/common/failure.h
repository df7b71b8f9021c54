#pragma once
// What an operation's failure is: the database's (db::DbError, whose text is the database's own)
// or the program's; and how a database failure is told to the user.
#include <exception>

#include "db/database.h"

namespace common {

inline bool fromDatabase(const std::exception& e) { return dynamic_cast<const db::DbError*>(&e) != nullptr; }

// The user's sentence for a database failure whose cause the user can act on: what happened, that
// nothing was changed and what to do. Empty for any other failure (its text is the database's
// alone) and for a stop.
//   another program holds the database (a lock, a deadlock): "数据库正被其他程序使用，没有做任何修改，请稍后再试"
//   read-only: "数据库文件是只读的，没有做任何修改，请让管理员允许写入数据库后再试"
//   a missing table: "缺少表员工照片，没有做任何修改，请先运行数据库检查"
//   a foreign key: "外键约束阻止了修改，数据库没有任何修改；数据库检查列出这些约束"
//   a CHECK constraint: "检查约束CK_x阻止了修改，数据库没有任何修改；数据库检查列出这些约束"
QString leadOf(const db::DbError& e);

// A database failure as a window shows it: the sentence the operation gave it (db::DbError::lead())
// or else leadOf's, a line break, then the database's text; the database's text alone without one.
QString shownText(const db::DbError& e);
// The same of any failure: shownText of a database failure, empty for the program's.
QString shownText(const std::exception& e);

}  // namespace common
