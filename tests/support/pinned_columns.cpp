#include "tests/support/pinned_columns.h"

#include "db/database.h"

namespace pinned {

// Single renumber: the register, then 65 reference columns.
const std::vector<PinnedColumn>& singleList() {
  static const std::vector<PinnedColumn> list{
      {"员工档案", "工号"},
      {"岗位信息new", "工号"},
      {"岗位员工new", "员工代号"},
      {"XZ文件流转情况", "查阅人"},
      {"XZ文件记录", "拟稿人"},
      {"XZ文件记录", "盖章人"},
      {"XZ文件流转路径", "czydh"},
      {"楼域范围设置", "工号"},
      {"员工档案temp", "工号"},
      {"pg维修人员", "工号"},
      {"员工工作时间表", "工号"},
      {"养护单维修人员", "工号"},
      {"权限委托设置", "工号"},
      {"KC采购管理员", "工号"},
      {"社会关系new", "工号"},
      {"签报工资调整", "工号"},
      {"员工顶班设置", "工号"},
      {"员工记录", "工号"},
      {"操作证New", "工号"},
      {"员工照片", "工号"},
      {"教育经历new", "工号"},
      {"社会关系", "工号"},
      {"履历表", "工号"},
      {"KC采购员", "工号"},
      {"工作经历new", "工号"},
      {"班组人员设置", "工号"},
      {"员工考勤卡信息", "工号"},
      {"考勤机数据匹配信息", "工号"},
      {"养护单查验人员", "工号"},
      {"工资支付划账表", "员工编号"},
      {"工资支付现金表", "员工编号"},
      {"工资单明细", "员工编号"},
      {"个性化设置", "员工编号"},
      {"工资单类型", "员工编号"},
      {"银行卡设置", "员工编号"},
      {"员工考勤部门设置", "员工编号"},
      {"工资支付入卡表", "员工编号"},
      {"月考勤审核记录", "员工编号"},
      {"考勤表详细", "员工编号"},
      {"工资事务处理人设置", "员工编号"},
      {"员工离职信息", "员工编号"},
      {"月考勤记录", "员工编号"},
      {"月考勤记录_temp", "员工编号"},
      {"工资单项目明细", "员工编号"},
      {"奖金发放记录", "员工编号"},
      {"工资福利待遇", "员工编号"},
      {"员工公式", "员工编号"},
      {"奖金单详细", "员工编号"},
      {"员工个人所得税", "员工编号"},
      {"员工合同信息", "员工编号"},
      {"奖惩记录", "员工编号"},
      {"员工公式变更", "员工编号"},
      {"人事费用", "员工编号"},
      {"工资审核记录", "员工编号"},
      {"工资单类型对应员工", "员工编号"},
      {"人事费用分摊表", "员工编号"},
      {"员工考勤方式设置", "员工编号"},
      {"员工工资结构明细", "员工工号"},
      {"TS投诉受理", "员工工号"},
      {"TS投诉处理", "员工工号"},
      {"ZS_招商客户分配", "员工工号"},
      {"ZS_组人员设置", "员工工号"},
      {"WYZJ", "收款人ID"},
      {"skoperator", "OperatorNum"},
      {"票据领用记录", "领用人代号"},
      {"票据核销记录", "核销人"},
  };
  return list;
}
// Batch apply of one row.
const std::vector<PinnedColumn>& applyList() {
  static const std::vector<PinnedColumn> list{
      {"员工档案", "工号"},
      {"岗位员工new", "员工代号"},
      {"岗位信息new", "工号"},
      {"XZ文件流转情况", "查阅人"},
      {"XZ文件记录", "拟稿人"},
      {"XZ文件记录", "盖章人"},
      {"楼域范围设置", "工号"},
      {"员工档案temp", "工号"},
      {"pg维修人员", "工号"},
      {"员工工作时间表", "工号"},
      {"养护单维修人员", "工号"},
      {"权限委托设置", "工号"},
      {"KC采购管理员", "工号"},
      {"考勤员设置", "工号"},
      {"社会关系new", "工号"},
      {"签报工资调整", "工号"},
      {"员工顶班设置", "工号"},
      {"操作证New", "工号"},
      {"员工照片", "工号"},
      {"教育经历new", "工号"},
      {"社会关系", "工号"},
      {"履历表", "工号"},
      {"KC采购员", "工号"},
      {"工作经历new", "工号"},
      {"班组人员设置", "工号"},
      {"员工考勤卡信息", "工号"},
      {"考勤上下班时间记录", "工号"},
      {"考勤机数据匹配信息", "工号"},
      {"养护单查验人员", "工号"},
      {"工资支付划账表", "员工编号"},
      {"工资支付现金表", "员工编号"},
      {"工资单明细", "员工编号"},
      {"个性化设置", "员工编号"},
      {"工资单类型", "员工编号"},
      {"银行卡设置", "员工编号"},
      {"员工考勤部门设置", "员工编号"},
      {"工资支付入卡表", "员工编号"},
      {"月考勤审核记录", "员工编号"},
      {"考勤表详细", "员工编号"},
      {"工资事务处理人设置", "员工编号"},
      {"员工离职信息", "员工编号"},
      {"月考勤记录", "员工编号"},
      {"月考勤记录_temp", "员工编号"},
      {"工资单项目明细", "员工编号"},
      {"奖金发放记录", "员工编号"},
      {"工资福利待遇", "员工编号"},
      {"员工公式", "员工编号"},
      {"奖金单详细", "员工编号"},
      {"员工个人所得税", "员工编号"},
      {"员工合同信息", "员工编号"},
      {"奖惩记录", "员工编号"},
      {"员工公式变更", "员工编号"},
      {"人事费用", "员工编号"},
      {"工资审核记录", "员工编号"},
      {"工资单类型对应员工", "员工编号"},
      {"人事费用分摊表", "员工编号"},
      {"员工考勤方式设置", "员工编号"},
      {"员工工资结构明细", "员工工号"},
      {"TS投诉受理", "员工工号"},
      {"TS投诉处理", "员工工号"},
      {"ZS_招商客户分配", "员工工号"},
      {"ZS_组人员设置", "员工工号"},
      {"WYZJ", "收款人ID"},
      {"SKOperator", "OperatorNum"},
      {"票据核销记录", "核销人"},
      {"票据领用记录", "领用人代号"},
  };
  return list;
}
// Staging of employees without a position: the register last.
const std::vector<PinnedColumn>& stagingList() {
  static const std::vector<PinnedColumn> list{
      {"XZ文件流转情况", "查阅人"},
      {"XZ文件记录", "拟稿人"},
      {"XZ文件记录", "盖章人"},
      {"楼域范围设置", "工号"},
      {"加班申请单明细", "工号"},
      {"员工档案temp", "工号"},
      {"员工工作时间表", "工号"},
      {"KQ员工外出工作情况记录", "工号"},
      {"保洁工作人员安排", "工号"},
      {"值班人员", "工号"},
      {"养护单维修人员", "工号"},
      {"保洁人员", "工号"},
      {"计划巡逻人员", "工号"},
      {"在编人员", "工号"},
      {"权限委托设置", "工号"},
      {"KC采购管理员", "工号"},
      {"考勤员设置", "工号"},
      {"加班单", "工号"},
      {"社会关系new", "工号"},
      {"招聘人员信息", "工号"},
      {"流转人员列表", "工号"},
      {"可以查阅人", "工号"},
      {"计划值班人员", "工号"},
      {"KQ考勤信息", "工号"},
      {"签报工资调整", "工号"},
      {"员工顶班设置", "工号"},
      {"员工记录", "工号"},
      {"操作证New", "工号"},
      {"导入", "工号"},
      {"员工照片", "工号"},
      {"教育经历new", "工号"},
      {"社会关系", "工号"},
      {"员工调休单", "工号"},
      {"岗位信息new", "工号"},
      {"履历表", "工号"},
      {"KC采购员", "工号"},
      {"工作经历new", "工号"},
      {"部门员工岗位", "工号"},
      {"班组人员设置", "工号"},
      {"巡逻人员", "工号"},
      {"安排巡逻人员", "工号"},
      {"KQ考勤人员权限设置", "工号"},
      {"员工考勤卡信息", "工号"},
      {"考勤上下班时间记录", "工号"},
      {"考勤机数据匹配信息", "工号"},
      {"请假申请单", "工号"},
      {"养护单查验人员", "工号"},
      {"工资支付划账表", "员工编号"},
      {"工资支付现金表", "员工编号"},
      {"工资单明细", "员工编号"},
      {"个性化设置", "员工编号"},
      {"工资单类型", "员工编号"},
      {"银行卡设置", "员工编号"},
      {"员工考勤部门设置", "员工编号"},
      {"出勤", "员工编号"},
      {"工资支付入卡表", "员工编号"},
      {"月考勤审核记录", "员工编号"},
      {"考勤表详细", "员工编号"},
      {"工资事务处理人设置", "员工编号"},
      {"员工离职信息", "员工编号"},
      {"月考勤记录", "员工编号"},
      {"月考勤记录_temp", "员工编号"},
      {"员工岗位", "员工编号"},
      {"工资单项目明细", "员工编号"},
      {"奖金发放记录", "员工编号"},
      {"工资福利待遇", "员工编号"},
      {"员工公式", "员工编号"},
      {"奖金单详细", "员工编号"},
      {"员工个人所得税", "员工编号"},
      {"员工合同信息", "员工编号"},
      {"XZ个人路径", "员工编号"},
      {"奖惩记录", "员工编号"},
      {"员工公式变更", "员工编号"},
      {"人事费用", "员工编号"},
      {"工资审核记录", "员工编号"},
      {"工资单类型对应员工", "员工编号"},
      {"人事费用分摊表", "员工编号"},
      {"员工考勤方式设置", "员工编号"},
      {"岗位员工new", "员工代号"},
      {"招聘岗位员工new", "员工代号"},
      {"员工工资结构明细", "员工工号"},
      {"TS投诉受理", "员工工号"},
      {"TS投诉处理", "员工工号"},
      {"ZS_招商客户分配", "员工工号"},
      {"ZS_组人员设置", "员工工号"},
      {"WYZJ", "收款人ID"},
      {"员工档案", "工号"},
  };
  return list;
}
// Every column once: the union of the three lists in their order.
const std::vector<PinnedColumn>& allColumns() {
  static const std::vector<PinnedColumn> list = [] {
    std::vector<PinnedColumn> out;
    for (const auto* l : {&singleList(), &applyList(), &stagingList()})
      for (const PinnedColumn& c : *l) {
        bool seen = false;
        for (const PinnedColumn& o : out)
          seen = seen || (o.tableName().compare(c.tableName(), Qt::CaseInsensitive) == 0 &&
                          o.columnName().compare(c.columnName(), Qt::CaseInsensitive) == 0);
        if (!seen) out.push_back(c);
      }
    return out;
  }();
  return list;
}

namespace {
bool same(const PinnedColumn& a, const PinnedColumn& b) {
  return a.tableName().compare(b.tableName(), Qt::CaseInsensitive) == 0 &&
         a.columnName().compare(b.columnName(), Qt::CaseInsensitive) == 0;
}
}  // namespace

std::vector<PinnedColumn> missingFrom(const std::vector<PinnedColumn>& list) {
  std::vector<PinnedColumn> out;
  for (const PinnedColumn& c : allColumns()) {
    bool named = false;
    for (const PinnedColumn& l : list) named = named || same(l, c);
    if (!named) out.push_back(c);
  }
  return out;
}

std::vector<host::RefColumn> refColumns() {
  std::vector<host::RefColumn> out;
  for (const PinnedColumn& c : allColumns())
    out.push_back({reinterpret_cast<const char8_t*>(c.table), reinterpret_cast<const char8_t*>(c.column),
                   c.tableName() == "员工档案temp" ? u8" AND 类型=N'档案信息修改'" : u8""});
  return out;
}

QList<host::Table> testSchema() {
  QList<host::Table> out;
  for (const host::Table& t : host::tables())
    if (!t.reference) out.append(t);
  for (const PinnedColumn& c : allColumns()) {
    host::Table* table = nullptr;
    for (qsizetype i = 0; i < out.size(); ++i)
      if (out[i].name.compare(c.tableName(), Qt::CaseInsensitive) == 0) table = &out[i];
    if (!table) {
      out.append({c.tableName(), {}, true});
      table = &out.last();
      // The data columns the host schema gives this table beside its numbers (none when the tool's
      // lists do not know the table).
      if (const host::Table* known = host::findTable(c.tableName()))
        for (const host::Column& k : known->columns)
          if (!k.employeeNumber) table->columns.append(k);
    }
    if (!table->column(c.columnName())) table->columns.append({c.columnName(), host::ColumnKind::Text, true, true});
  }
  return out;
}

void createTestSchema(db::Database& database) { host::createSqliteSchema(database, testSchema()); }

}  // namespace pinned
