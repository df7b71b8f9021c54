#pragma once
// The automatic check as the batch window's procedures describe it, one row or one candidate at a
// time: every repair restarts the pass from the first row and every changed row is looked up
// again on every pass. Same outcome as batch::autoResolve at the cost of k*n lookups and k*n*n
// comparisons; kept as the reference the fast check is measured and proven against.
#include <QString>

#include "core/batch/batch_sql.h"

class frm员工工号统一修改;

namespace batch::literal {

// The first row other than row whose new number the database takes for number (common::numberKey:
// trailing blanks, letter case and width do not count), or -1.
int firstTwin(const Rows& rows, const QString& number, int row);
// True when no row's new number has the candidate's numeric value and the register does not
// hold the candidate in plain decimal.
bool candidateFree(const Rows& rows, qint64 candidate, const std::function<bool(const QString&)>& taken);
// The next free number above the number's leading digits, in plain decimal.
QString nextFree(const Rows& rows, const QString& number, const std::function<bool(const QString&)>& taken);
Outcome autoResolve(Rows& rows, const RegisterLookup& lookup);

// The procedures on a batch window's grid as it stands, grid rows counted from 1, the register
// read on the window's connection.
// 本核: true when no row other than row carries number in the new-number column (as firstTwin
// compares); otherwise false
// with conflictRow set to the first such row.
bool 本核(const frm员工工号统一修改& w, const QString& number, int& conflictRow, int row);
// 数核: true when no employee of the register has number; on false with Check2 unticked Label2
// names the holder.
bool 数核(frm员工工号统一修改& w, const QString& number);
// 自动插入: the next number above number's leading digits that is free (自插核对).
QString 自动插入(frm员工工号统一修改& w, const QString& number);
// 自插核对: true when no row's new number has the candidate's numeric value and 数核 agrees.
bool 自插核对(frm员工工号统一修改& w, qint64 candidate);

}  // namespace batch::literal
