#pragma once
// Whole-database snapshots of the embedded host database, for tests that check that a change
// altered exactly what it should (or nothing at all), and statements sent straight to the
// embedded engine (triggers that make a statement fail are no statement of the tool).
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <span>

#include "host/host_tables.h"

namespace testdb {

// Every table of the host schema that exists (and SQLite's identity counters), each row as
// "column=literal" for all its columns, the literal as SQLite's quote() writes it (type and bytes
// exact), rows ordered by ID. Read past the statement log. A table a test dropped is left out.
using Snapshot = QMap<QString, QList<QStringList>>;
Snapshot snapshot();
// "" when a and b are equal; otherwise the first difference, readable.
QString difference(const Snapshot& expected, const Snapshot& actual);
// The snapshot after every column of list that held from (and satisfies the list's extra
// condition) was set to to.
Snapshot renamed(Snapshot s, std::span<const host::RefColumn> list, const QString& from, const QString& to);
// The snapshot with column set to the literal toLiteral in the rows of table where it holds
// fromLiteral (and that also hold the field alsoHolding, "column=literal", when given).
Snapshot renamedColumn(Snapshot s, const QString& table, const QString& column, const QString& fromLiteral,
                       const QString& toLiteral, const QString& alsoHolding = QString());
// The literal quote() writes for a text value.
QString literal(const QString& text);
// A name quoted for SQLite.
QString identifier(const QString& name);

// Runs a statement on the harness's connection without the tool's translation or log; throws
// std::runtime_error with the database's text.
void rawExec(const QString& sql);
// The harness's connection stops checking declared lengths, as on a site whose text columns are wider
// than the schema's nvarchar(50): a test can hold longer values (until the connection closes).
void ignoreLengthChecks();

}  // namespace testdb
