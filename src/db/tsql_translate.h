#pragma once
// Translation of the T-SQL this tool sends into SQLite statements, done with a tokenizer
// (never by text search over raw SQL: literals may hold any word).
#include <QString>
#include <QStringList>
#include <functional>

namespace db {

// Translates one T-SQL text (one or more statements, possibly without separators between them)
// into single SQLite statements, in order. Throws DbError for a construct it cannot translate.
// between, when given, is called before each statement is translated (a long text takes a while).
QStringList translateTsqlToSqlite(const QString& tsql, const std::function<void()>& between = {});

}  // namespace db
