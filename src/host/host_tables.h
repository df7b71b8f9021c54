#pragma once
// Tables of the host database that store an employee number, as the renumbering
// cascades and the staging script walk them. The host schema builds its reference
// tables from these same lists, so the two never drift apart.
#include <array>
#include <vector>
#include <QString>

namespace host {

struct RefColumn {
  const char8_t* table;  // the table's name
  const char8_t* column;  // the column holding an employee number
  // Extra condition after the closing quote, as sent ("" for none); its texts are Unicode literals
  // (N'…'), which a server of any default collation reads as written.
  const char8_t* extra;
  // The names as messages, the catalogue and the journal show them.
  QString tableName() const { return QString::fromUtf8(reinterpret_cast<const char*>(table)); }
  QString columnName() const { return QString::fromUtf8(reinterpret_cast<const char*>(column)); }
  // The names as statements spell them (db::quotedName): the built-in names as they are, an
  // added name that is a reserved word or no regular identifier bracketed ("[Order]", "[2号]").
  QString tableSql() const;
  QString columnSql() const;
  QString extraCondition() const { return QString::fromUtf8(reinterpret_cast<const char*>(extra)); }
};

// The column an extra condition names: "类型" of " AND 类型=N'档案信息修改'" ("" for none).
QString conditionColumn(const QString& extra);
// An extra condition as messages show it, in the user's words: without its leading AND, its
// texts without the N of a Unicode literal: " AND 类型=N'档案信息修改'" gives "类型='档案信息修改'".
QString shownCondition(const QString& extra);

// Single-employee renumber: the register first, then 65 further columns.
inline constexpr std::array<RefColumn, 66> kSingleCascade{{
    {u8"员工档案", u8"工号", u8""},  // 1
    {u8"岗位信息new", u8"工号", u8""},  // 2
    {u8"岗位员工new", u8"员工代号", u8""},  // 3
    {u8"XZ文件流转情况", u8"查阅人", u8""},  // 4
    {u8"XZ文件记录", u8"拟稿人", u8""},  // 5
    {u8"XZ文件记录", u8"盖章人", u8""},  // 6
    {u8"XZ文件流转路径", u8"czydh", u8""},  // 7
    {u8"楼域范围设置", u8"工号", u8""},  // 8
    {u8"员工档案temp", u8"工号", u8" AND 类型=N'档案信息修改'"},  // 9
    {u8"pg维修人员", u8"工号", u8""},  // 10
    {u8"员工工作时间表", u8"工号", u8""},  // 11
    {u8"养护单维修人员", u8"工号", u8""},  // 12
    {u8"权限委托设置", u8"工号", u8""},  // 13
    {u8"KC采购管理员", u8"工号", u8""},  // 14
    {u8"社会关系new", u8"工号", u8""},  // 15
    {u8"签报工资调整", u8"工号", u8""},  // 16
    {u8"员工顶班设置", u8"工号", u8""},  // 17
    {u8"员工记录", u8"工号", u8""},  // 18
    {u8"操作证New", u8"工号", u8""},  // 19
    {u8"员工照片", u8"工号", u8""},  // 20
    {u8"教育经历new", u8"工号", u8""},  // 21
    {u8"社会关系", u8"工号", u8""},  // 22
    {u8"履历表", u8"工号", u8""},  // 23
    {u8"KC采购员", u8"工号", u8""},  // 24
    {u8"工作经历new", u8"工号", u8""},  // 25
    {u8"班组人员设置", u8"工号", u8""},  // 26
    {u8"员工考勤卡信息", u8"工号", u8""},  // 27
    {u8"考勤机数据匹配信息", u8"工号", u8""},  // 28
    {u8"养护单查验人员", u8"工号", u8""},  // 29
    {u8"工资支付划账表", u8"员工编号", u8""},  // 30
    {u8"工资支付现金表", u8"员工编号", u8""},  // 31
    {u8"工资单明细", u8"员工编号", u8""},  // 32
    {u8"个性化设置", u8"员工编号", u8""},  // 33
    {u8"工资单类型", u8"员工编号", u8""},  // 34
    {u8"银行卡设置", u8"员工编号", u8""},  // 35
    {u8"员工考勤部门设置", u8"员工编号", u8""},  // 36
    {u8"工资支付入卡表", u8"员工编号", u8""},  // 37
    {u8"月考勤审核记录", u8"员工编号", u8""},  // 38
    {u8"考勤表详细", u8"员工编号", u8""},  // 39
    {u8"工资事务处理人设置", u8"员工编号", u8""},  // 40
    {u8"员工离职信息", u8"员工编号", u8""},  // 41
    {u8"月考勤记录", u8"员工编号", u8""},  // 42
    {u8"月考勤记录_temp", u8"员工编号", u8""},  // 43
    {u8"工资单项目明细", u8"员工编号", u8""},  // 44
    {u8"奖金发放记录", u8"员工编号", u8""},  // 45
    {u8"工资福利待遇", u8"员工编号", u8""},  // 46
    {u8"员工公式", u8"员工编号", u8""},  // 47
    {u8"奖金单详细", u8"员工编号", u8""},  // 48
    {u8"员工个人所得税", u8"员工编号", u8""},  // 49
    {u8"员工合同信息", u8"员工编号", u8""},  // 50
    {u8"奖惩记录", u8"员工编号", u8""},  // 51
    {u8"员工公式变更", u8"员工编号", u8""},  // 52
    {u8"人事费用", u8"员工编号", u8""},  // 53
    {u8"工资审核记录", u8"员工编号", u8""},  // 54
    {u8"工资单类型对应员工", u8"员工编号", u8""},  // 55
    {u8"人事费用分摊表", u8"员工编号", u8""},  // 56
    {u8"员工考勤方式设置", u8"员工编号", u8""},  // 57
    {u8"员工工资结构明细", u8"员工工号", u8""},  // 58
    {u8"TS投诉受理", u8"员工工号", u8""},  // 59
    {u8"TS投诉处理", u8"员工工号", u8""},  // 60
    {u8"ZS_招商客户分配", u8"员工工号", u8""},  // 61
    {u8"ZS_组人员设置", u8"员工工号", u8""},  // 62
    {u8"WYZJ", u8"收款人ID", u8""},  // 63
    {u8"skoperator", u8"OperatorNum", u8""},  // 64
    {u8"票据领用记录", u8"领用人代号", u8""},  // 65
    {u8"票据核销记录", u8"核销人", u8""},  // 66
}};

// Batch apply of one row (procedure Kestrune of the batch window).
inline constexpr std::array<RefColumn, 66> kBatchApply{{
    {u8"员工档案", u8"工号", u8""},  // 1
    {u8"岗位员工new", u8"员工代号", u8""},  // 2
    {u8"岗位信息new", u8"工号", u8""},  // 3
    {u8"XZ文件流转情况", u8"查阅人", u8""},  // 4
    {u8"XZ文件记录", u8"拟稿人", u8""},  // 5
    {u8"XZ文件记录", u8"盖章人", u8""},  // 6
    {u8"楼域范围设置", u8"工号", u8""},  // 7
    {u8"员工档案temp", u8"工号", u8" AND 类型=N'档案信息修改'"},  // 8
    {u8"pg维修人员", u8"工号", u8""},  // 9
    {u8"员工工作时间表", u8"工号", u8""},  // 10
    {u8"养护单维修人员", u8"工号", u8""},  // 11
    {u8"权限委托设置", u8"工号", u8""},  // 12
    {u8"KC采购管理员", u8"工号", u8""},  // 13
    {u8"考勤员设置", u8"工号", u8""},  // 14
    {u8"社会关系new", u8"工号", u8""},  // 15
    {u8"签报工资调整", u8"工号", u8""},  // 16
    {u8"员工顶班设置", u8"工号", u8""},  // 17
    {u8"操作证New", u8"工号", u8""},  // 18
    {u8"员工照片", u8"工号", u8""},  // 19
    {u8"教育经历new", u8"工号", u8""},  // 20
    {u8"社会关系", u8"工号", u8""},  // 21
    {u8"履历表", u8"工号", u8""},  // 22
    {u8"KC采购员", u8"工号", u8""},  // 23
    {u8"工作经历new", u8"工号", u8""},  // 24
    {u8"班组人员设置", u8"工号", u8""},  // 25
    {u8"员工考勤卡信息", u8"工号", u8""},  // 26
    {u8"考勤上下班时间记录", u8"工号", u8""},  // 27
    {u8"考勤机数据匹配信息", u8"工号", u8""},  // 28
    {u8"养护单查验人员", u8"工号", u8""},  // 29
    {u8"工资支付划账表", u8"员工编号", u8""},  // 30
    {u8"工资支付现金表", u8"员工编号", u8""},  // 31
    {u8"工资单明细", u8"员工编号", u8""},  // 32
    {u8"个性化设置", u8"员工编号", u8""},  // 33
    {u8"工资单类型", u8"员工编号", u8""},  // 34
    {u8"银行卡设置", u8"员工编号", u8""},  // 35
    {u8"员工考勤部门设置", u8"员工编号", u8""},  // 36
    {u8"工资支付入卡表", u8"员工编号", u8""},  // 37
    {u8"月考勤审核记录", u8"员工编号", u8""},  // 38
    {u8"考勤表详细", u8"员工编号", u8""},  // 39
    {u8"工资事务处理人设置", u8"员工编号", u8""},  // 40
    {u8"员工离职信息", u8"员工编号", u8""},  // 41
    {u8"月考勤记录", u8"员工编号", u8""},  // 42
    {u8"月考勤记录_temp", u8"员工编号", u8""},  // 43
    {u8"工资单项目明细", u8"员工编号", u8""},  // 44
    {u8"奖金发放记录", u8"员工编号", u8""},  // 45
    {u8"工资福利待遇", u8"员工编号", u8""},  // 46
    {u8"员工公式", u8"员工编号", u8""},  // 47
    {u8"奖金单详细", u8"员工编号", u8""},  // 48
    {u8"员工个人所得税", u8"员工编号", u8""},  // 49
    {u8"员工合同信息", u8"员工编号", u8""},  // 50
    {u8"奖惩记录", u8"员工编号", u8""},  // 51
    {u8"员工公式变更", u8"员工编号", u8""},  // 52
    {u8"人事费用", u8"员工编号", u8""},  // 53
    {u8"工资审核记录", u8"员工编号", u8""},  // 54
    {u8"工资单类型对应员工", u8"员工编号", u8""},  // 55
    {u8"人事费用分摊表", u8"员工编号", u8""},  // 56
    {u8"员工考勤方式设置", u8"员工编号", u8""},  // 57
    {u8"员工工资结构明细", u8"员工工号", u8""},  // 58
    {u8"TS投诉受理", u8"员工工号", u8""},  // 59
    {u8"TS投诉处理", u8"员工工号", u8""},  // 60
    {u8"ZS_招商客户分配", u8"员工工号", u8""},  // 61
    {u8"ZS_组人员设置", u8"员工工号", u8""},  // 62
    {u8"WYZJ", u8"收款人ID", u8""},  // 63
    {u8"SKOperator", u8"OperatorNum", u8""},  // 64
    {u8"票据核销记录", u8"核销人", u8""},  // 65
    {u8"票据领用记录", u8"领用人代号", u8""},  // 66
}};

// Staging of employees without a position: the register comes last.
inline constexpr std::array<RefColumn, 87> kStaging{{
    {u8"XZ文件流转情况", u8"查阅人", u8""},  // 1
    {u8"XZ文件记录", u8"拟稿人", u8""},  // 2
    {u8"XZ文件记录", u8"盖章人", u8""},  // 3
    {u8"楼域范围设置", u8"工号", u8""},  // 4
    {u8"加班申请单明细", u8"工号", u8""},  // 5
    {u8"员工档案temp", u8"工号", u8" AND 类型=N'档案信息修改'"},  // 6
    {u8"员工工作时间表", u8"工号", u8""},  // 7
    {u8"KQ员工外出工作情况记录", u8"工号", u8""},  // 8
    {u8"保洁工作人员安排", u8"工号", u8""},  // 9
    {u8"值班人员", u8"工号", u8""},  // 10
    {u8"养护单维修人员", u8"工号", u8""},  // 11
    {u8"保洁人员", u8"工号", u8""},  // 12
    {u8"计划巡逻人员", u8"工号", u8""},  // 13
    {u8"在编人员", u8"工号", u8""},  // 14
    {u8"权限委托设置", u8"工号", u8""},  // 15
    {u8"KC采购管理员", u8"工号", u8""},  // 16
    {u8"考勤员设置", u8"工号", u8""},  // 17
    {u8"加班单", u8"工号", u8""},  // 18
    {u8"社会关系new", u8"工号", u8""},  // 19
    {u8"招聘人员信息", u8"工号", u8""},  // 20
    {u8"流转人员列表", u8"工号", u8""},  // 21
    {u8"可以查阅人", u8"工号", u8""},  // 22
    {u8"计划值班人员", u8"工号", u8""},  // 23
    {u8"KQ考勤信息", u8"工号", u8""},  // 24
    {u8"签报工资调整", u8"工号", u8""},  // 25
    {u8"员工顶班设置", u8"工号", u8""},  // 26
    {u8"员工记录", u8"工号", u8""},  // 27
    {u8"操作证New", u8"工号", u8""},  // 28
    {u8"导入", u8"工号", u8""},  // 29
    {u8"员工照片", u8"工号", u8""},  // 30
    {u8"教育经历new", u8"工号", u8""},  // 31
    {u8"社会关系", u8"工号", u8""},  // 32
    {u8"员工调休单", u8"工号", u8""},  // 33
    {u8"岗位信息new", u8"工号", u8""},  // 34
    {u8"履历表", u8"工号", u8""},  // 35
    {u8"KC采购员", u8"工号", u8""},  // 36
    {u8"工作经历new", u8"工号", u8""},  // 37
    {u8"部门员工岗位", u8"工号", u8""},  // 38
    {u8"班组人员设置", u8"工号", u8""},  // 39
    {u8"巡逻人员", u8"工号", u8""},  // 40
    {u8"安排巡逻人员", u8"工号", u8""},  // 41
    {u8"KQ考勤人员权限设置", u8"工号", u8""},  // 42
    {u8"员工考勤卡信息", u8"工号", u8""},  // 43
    {u8"考勤上下班时间记录", u8"工号", u8""},  // 44
    {u8"考勤机数据匹配信息", u8"工号", u8""},  // 45
    {u8"请假申请单", u8"工号", u8""},  // 46
    {u8"养护单查验人员", u8"工号", u8""},  // 47
    {u8"工资支付划账表", u8"员工编号", u8""},  // 48
    {u8"工资支付现金表", u8"员工编号", u8""},  // 49
    {u8"工资单明细", u8"员工编号", u8""},  // 50
    {u8"个性化设置", u8"员工编号", u8""},  // 51
    {u8"工资单类型", u8"员工编号", u8""},  // 52
    {u8"银行卡设置", u8"员工编号", u8""},  // 53
    {u8"员工考勤部门设置", u8"员工编号", u8""},  // 54
    {u8"出勤", u8"员工编号", u8""},  // 55
    {u8"工资支付入卡表", u8"员工编号", u8""},  // 56
    {u8"月考勤审核记录", u8"员工编号", u8""},  // 57
    {u8"考勤表详细", u8"员工编号", u8""},  // 58
    {u8"工资事务处理人设置", u8"员工编号", u8""},  // 59
    {u8"员工离职信息", u8"员工编号", u8""},  // 60
    {u8"月考勤记录", u8"员工编号", u8""},  // 61
    {u8"月考勤记录_temp", u8"员工编号", u8""},  // 62
    {u8"员工岗位", u8"员工编号", u8""},  // 63
    {u8"工资单项目明细", u8"员工编号", u8""},  // 64
    {u8"奖金发放记录", u8"员工编号", u8""},  // 65
    {u8"工资福利待遇", u8"员工编号", u8""},  // 66
    {u8"员工公式", u8"员工编号", u8""},  // 67
    {u8"奖金单详细", u8"员工编号", u8""},  // 68
    {u8"员工个人所得税", u8"员工编号", u8""},  // 69
    {u8"员工合同信息", u8"员工编号", u8""},  // 70
    {u8"XZ个人路径", u8"员工编号", u8""},  // 71
    {u8"奖惩记录", u8"员工编号", u8""},  // 72
    {u8"员工公式变更", u8"员工编号", u8""},  // 73
    {u8"人事费用", u8"员工编号", u8""},  // 74
    {u8"工资审核记录", u8"员工编号", u8""},  // 75
    {u8"工资单类型对应员工", u8"员工编号", u8""},  // 76
    {u8"人事费用分摊表", u8"员工编号", u8""},  // 77
    {u8"员工考勤方式设置", u8"员工编号", u8""},  // 78
    {u8"岗位员工new", u8"员工代号", u8""},  // 79
    {u8"招聘岗位员工new", u8"员工代号", u8""},  // 80
    {u8"员工工资结构明细", u8"员工工号", u8""},  // 81
    {u8"TS投诉受理", u8"员工工号", u8""},  // 82
    {u8"TS投诉处理", u8"员工工号", u8""},  // 83
    {u8"ZS_招商客户分配", u8"员工工号", u8""},  // 84
    {u8"ZS_组人员设置", u8"员工工号", u8""},  // 85
    {u8"WYZJ", u8"收款人ID", u8""},  // 86
    {u8"员工档案", u8"工号", u8""},  // 87
}};

// Two entries name the same column when table and column are equal without regard to case
// (SQL Server compares names so: "skoperator" and "SKOperator" are one table).
// Two names regardless of case, compared in place: every statement list is built through this.
inline bool sameName(const char8_t* a, const char8_t* b) {
  const auto lower = [](char8_t c) { return c >= u8'A' && c <= u8'Z' ? char8_t(c - u8'A' + u8'a') : c; };
  for (const char8_t *x = a, *y = b;; ++x, ++y) {
    if (*x == *y) {
      if (*x == 0) return true;
    } else if (*x < 0x80 && *y < 0x80) {
      if (lower(*x) != lower(*y)) return false;  // two different ASCII letters, in step
    } else {  // letters beyond ASCII: Unicode's own comparison
      return QAnyStringView::compare(QUtf8StringView(a), QUtf8StringView(b), Qt::CaseInsensitive) == 0;
    }
  }
}

inline bool sameColumn(const RefColumn& a, const RefColumn& b) {
  return sameName(a.table, b.table) && sameName(a.column, b.column);
}

template <class List>
bool names(const List& list, const RefColumn& column) {
  for (const RefColumn& c : list)
    if (sameColumn(c, column)) return true;
  return false;
}

// Every column of the built-in lists, once: the single cascade's columns in its order, then those
// only the batch apply names, then those only the staging script names (92 with the register's own
// 员工档案.工号).
// Made once: the lists never change, and every statement list of a renumber starts from it.
inline const std::vector<RefColumn>& builtInColumns() {
  static const std::vector<RefColumn> columns = [] {
    std::vector<RefColumn> out;
    const auto add = [&out](const auto& list) {
      for (const RefColumn& c : list)
        if (!names(out, c)) out.push_back(c);
    };
    add(kSingleCascade);
    add(kBatchApply);
    add(kStaging);
    return out;
  }();
  return columns;
}

// Every column a renumber rewrites: the built-in ones, then the columns the administrator added
// to every renumber (the database check finds them; the tool's own settings keep them, one list
// per server and database). Statements spell the names through RefColumn::tableSql() and
// columnSql(), so a reserved word or a name beginning with a digit is bracketed there.
inline std::vector<RefColumn> allColumns(const std::vector<RefColumn>& added) {
  std::vector<RefColumn> out = builtInColumns();
  for (const RefColumn& c : added)
    if (!names(out, c)) out.push_back(c);
  return out;
}

// The columns of allColumns(added) that a list does not name, in that order (the added ones
// last): a renumber rewrites them after its own list, so that no record stays under the old number.
template <class List>
std::vector<RefColumn> missingFrom(const List& list, const std::vector<RefColumn>& added) {
  std::vector<RefColumn> out;
  for (const RefColumn& c : allColumns(added))
    if (!names(list, c)) out.push_back(c);
  return out;
}

}  // namespace host
