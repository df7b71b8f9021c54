#include "demo/demo_data.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <cmath>

#include "host/host_schema.h"
#include "db/database.h"
#include "db/sqlite_columns.h"

using namespace Qt::StringLiterals;

namespace demo {

namespace {

// splitmix64: small, fast and the same on every platform.
class Rng {
 public:
  explicit Rng(quint64 seed) : state_(seed) {}
  quint64 next() {
    quint64 z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  int below(int n) { return n <= 0 ? 0 : int(next() % quint64(n)); }
  int between(int lo, int hi) { return lo + below(hi - lo + 1); }
  bool chance(int percent) { return below(100) < percent; }
  template <class T>
  const T& pick(const QList<T>& list) {
    return list[below(int(list.size()))];
  }

 private:
  quint64 state_;
};

// One prepared INSERT, bound and run row by row inside the caller's transaction.
class Inserter {
 public:
  Inserter(const QSqlDatabase& handle, const QString& table, const QStringList& columns) : query_(handle) {
    QStringList quoted, marks;
    for (const QString& c : columns) {
      quoted << u'"' + c + u'"';
      marks << u"?"_s;
    }
    const QString sql =
        u"INSERT INTO \""_s + table + u"\" ("_s + quoted.join(u", "_s) + u") VALUES ("_s + marks.join(u", "_s) + u')';
    if (!query_.prepare(sql)) throw db::DbError(query_.lastError().text());
  }
  void row(const QVariantList& values) {
    for (int i = 0; i < values.size(); ++i) query_.bindValue(i, values[i]);
    if (!query_.exec()) throw db::DbError(query_.lastError().text());
  }

 private:
  QSqlQuery query_;
};

const QVariant kNull;

QVariant orNull(const QString& s) { return s.isEmpty() ? kNull : QVariant(s); }

// ---------------------------------------------------------------------------------------------
// Fixed organisation: departments, position categories, positions, categories and rules.

struct Department {
  QString number, name, parent;
  QString code;  // department code that numbers of rules 3 and 5 start with
  QString terminated;  // end date, "" while current
};

const QList<Department>& departments() {
  static const QList<Department> list{
      {u"1"_s, u"公司本部"_s, {}, u"10"_s, {}},
      {u"2"_s, u"东湖花园管理处"_s, {}, u"20"_s, {}},
      {u"3"_s, u"滨江大厦管理处"_s, {}, u"30"_s, {}},
      {u"101"_s, u"行政人事部"_s, u"1"_s, u"11"_s, {}},
      {u"102"_s, u"财务部"_s, u"1"_s, u"12"_s, {}},
      {u"103"_s, u"工程部"_s, u"1"_s, u"13"_s, {}},
      {u"104"_s, u"品质管理部"_s, u"1"_s, u"14"_s, {}},
      {u"105"_s, u"市场拓展部"_s, u"1"_s, u"15"_s, u"2022-12-31"_s},
      {u"201"_s, u"东湖客户服务中心"_s, u"2"_s, u"21"_s, {}},
      {u"202"_s, u"东湖安保部"_s, u"2"_s, u"22"_s, {}},
      {u"203"_s, u"东湖环境部"_s, u"2"_s, u"23"_s, {}},
      {u"204"_s, u"东湖工程维修部"_s, u"2"_s, u"24"_s, {}},
      {u"301"_s, u"滨江客户服务中心"_s, u"3"_s, u"31"_s, {}},
      {u"302"_s, u"滨江安保部"_s, u"3"_s, u"32"_s, {}},
      {u"303"_s, u"滨江保洁绿化部"_s, u"3"_s, u"33"_s, {}},
      {u"10301"_s, u"强电班"_s, u"103"_s, u"41"_s, {}},
      {u"10302"_s, u"给排水班"_s, u"103"_s, u"42"_s, {}},
      {u"10501"_s, u"招商组"_s, u"105"_s, u"43"_s, {}},
      {u"10502"_s, u"策划组"_s, u"105"_s, u"44"_s, {}},
      {u"20201"_s, u"东湖监控中心"_s, u"202"_s, u"51"_s, {}},
      {u"20202"_s, u"东湖巡逻队"_s, u"202"_s, u"52"_s, {}},
      {u"20301"_s, u"东湖保洁组"_s, u"203"_s, u"53"_s, {}},
      {u"20302"_s, u"东湖绿化组"_s, u"203"_s, u"54"_s, {}},
      {u"30201"_s, u"滨江门岗组"_s, u"302"_s, u"61"_s, {}},
  };
  return list;
}

// The gardening team first belonged to the maintenance department and was moved later.
const QString kMovedDepartment = u"20302"_s;
const QString kFormerParent = u"204"_s;

struct PositionCategory {
  QString number, name, code;  // code: the position code that rules 5 put into numbers
};

const QList<PositionCategory>& positionCategories() {
  static const QList<PositionCategory> list{
      {u"01"_s, u"管理岗"_s, u"1"_s}, {u"02"_s, u"技术岗"_s, u"2"_s},     {u"03"_s, u"客服岗"_s, u"3"_s},
      {u"04"_s, u"安保岗"_s, u"4"_s}, {u"05"_s, u"保洁绿化岗"_s, u"5"_s}, {u"06"_s, u"行政后勤岗"_s, u"6"_s},
  };
  return list;
}

struct PositionTemplate {
  QString department, name, category;
};

const QList<PositionTemplate>& positionTemplates() {
  static const QList<PositionTemplate> list{
      {u"101"_s, u"行政人事部经理"_s, u"01"_s}, {u"101"_s, u"人事专员"_s, u"06"_s},
      {u"101"_s, u"行政文员"_s, u"06"_s},       {u"102"_s, u"财务部经理"_s, u"01"_s},
      {u"102"_s, u"会计"_s, u"02"_s},           {u"102"_s, u"出纳"_s, u"06"_s},
      {u"103"_s, u"工程部经理"_s, u"01"_s},     {u"103"_s, u"工程师"_s, u"02"_s},
      {u"104"_s, u"品质主管"_s, u"01"_s},       {u"104"_s, u"品质专员"_s, u"02"_s},
      {u"105"_s, u"招商经理"_s, u"01"_s},       {u"10301"_s, u"强电班长"_s, u"01"_s},
      {u"10301"_s, u"强电技工"_s, u"02"_s},     {u"10302"_s, u"给排水技工"_s, u"02"_s},
      {u"10501"_s, u"招商专员"_s, u"03"_s},     {u"10502"_s, u"策划专员"_s, u"03"_s},
      {u"201"_s, u"客服主管"_s, u"01"_s},       {u"201"_s, u"客服专员"_s, u"03"_s},
      {u"201"_s, u"收费员"_s, u"03"_s},         {u"202"_s, u"安保主管"_s, u"01"_s},
      {u"20201"_s, u"监控员"_s, u"04"_s},       {u"20202"_s, u"巡逻队长"_s, u"01"_s},
      {u"20202"_s, u"巡逻员"_s, u"04"_s},       {u"203"_s, u"环境主管"_s, u"01"_s},
      {u"20301"_s, u"保洁员"_s, u"05"_s},       {u"20302"_s, u"绿化工"_s, u"05"_s},
      {u"204"_s, u"维修技工"_s, u"02"_s},       {u"301"_s, u"客服主管"_s, u"01"_s},
      {u"301"_s, u"客服专员"_s, u"03"_s},       {u"302"_s, u"安保主管"_s, u"01"_s},
      {u"30201"_s, u"门岗保安"_s, u"04"_s},     {u"303"_s, u"保洁员"_s, u"05"_s},
      {u"303"_s, u"绿化工"_s, u"05"_s},
  };
  return list;
}

struct Category {
  QString number, name, ruleCode;  // ruleCode: 类别码 of its numbering rule, "" for none
  int share;  // per cent of the employees
  QStringList positionCategories;  // where its employees work
};

const QList<Category>& categories() {
  static const QList<Category> list{
      {u"01"_s, u"管理人员"_s, u"1"_s, 12, {u"01"_s, u"06"_s}},
      {u"02"_s, u"专业技术人员"_s, u"2"_s, 18, {u"02"_s}},
      {u"03"_s, u"服务人员"_s, u"3"_s, 45, {u"03"_s, u"04"_s, u"05"_s}},
      {u"04"_s, u"临时工"_s, {}, 15, {u"04"_s, u"05"_s}},
      {u"05"_s, u"退休返聘人员"_s, {}, 10, {u"02"_s, u"06"_s}},
  };
  return list;
}

struct Rule {
  QString code, name;
  int layout;  // 编码规则
  QString pattern;
};

const QList<Rule>& rules() {
  static const QList<Rule> list{
      {u"1"_s, u"管理人员编号"_s, 1, u"0000"_s},
      {u"2"_s, u"专业技术人员编号"_s, 3, u"000"_s},
      {u"3"_s, u"服务人员编号"_s, 5, u"000"_s},
  };
  return list;
}

// ---------------------------------------------------------------------------------------------
// People.

const QStringList kSurnames =
    QString(
        u"王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈姚卢"
        u"姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛段雷侯龙史陶黎贺顾毛郝龚邵万钱严覃武戴莫孔向汤欧阳"_s)
        .split(QString(), Qt::SkipEmptyParts);
const QStringList kMaleGiven =
    QString(u"伟强磊军勇杰涛明超刚平辉鹏华飞鑫波斌宇浩凯健俊帆帅旭宁龙林阳建国志文斌海峰永成东亮晨"_s)
        .split(QString(), Qt::SkipEmptyParts);
const QStringList kFemaleGiven = QString(u"芳娜敏静丽艳娟霞秀玲桂英华红梅琳燕萍雪琴兰云莉婷慧颖倩洁月凤丹瑶佳欣怡晶"_s)
                                     .split(QString(), Qt::SkipEmptyParts);

QString personName(Rng& rng, bool male) {
  const QStringList& given = male ? kMaleGiven : kFemaleGiven;
  QString name = rng.pick(kSurnames);
  name += rng.pick(given);
  if (rng.chance(70)) name += rng.pick(given);
  return name;
}

// Region codes of the identity numbers (province, city, district).
const QStringList kRegions{u"440106"_s, u"440104"_s, u"440304"_s, u"440305"_s, u"430102"_s, u"430104"_s,
                           u"360102"_s, u"450103"_s, u"420106"_s, u"510107"_s, u"350203"_s, u"441302"_s,
                           u"445102"_s, u"441802"_s, u"360731"_s, u"431023"_s};

// The check character of an 18-character identity number (ISO 7064 MOD 11-2 over the first 17 digits).
QChar identityCheckCharacter(const QString& first17) {
  static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
  int sum = 0;
  for (int i = 0; i < 17; ++i) sum += first17[i].digitValue() * weights[i];
  return u"10X98765432"_s[sum % 11];
}

QString identityNumber(Rng& rng, bool male) {
  const QDate birth = QDate(1962, 1, 1).addDays(rng.below(QDate(1962, 1, 1).daysTo(QDate(2004, 12, 31))));
  int sequence = rng.between(0, 499) * 2 + (male ? 1 : 0);  // odd for men, even for women
  const QString first17 =
      rng.pick(kRegions) + birth.toString(u"yyyyMMdd"_s) + QString::number(sequence).rightJustified(3, u'0');
  return first17 + identityCheckCharacter(first17);
}

struct Employee {
  QString number, name, sex, identity, category, position;
};

struct Position {
  QString code, name, department, category, holder;
};

// Numbers already given out compare by numeric value, except the planted groups of equal numbers.
class NumberPool {
 public:
  explicit NumberPool(Rng& rng) : rng_(rng) {}
  void reserve(int value) { used_.insert(value); }
  QString next() {
    // Older numbers have four digits with leading zeros, newer ones five digits; when a range
    // runs full (very large scales), numbers go on with six digits and more.
    const bool old = rng_.chance(30);
    for (int attempt = 0; attempt < 64; ++attempt) {
      const int value = old ? rng_.between(100, 9999) : rng_.between(10000, 99999);
      if (used_.contains(value)) continue;
      used_.insert(value);
      return old ? QString::number(value).rightJustified(4, u'0') : QString::number(value);
    }
    while (used_.contains(overflow_)) ++overflow_;
    used_.insert(overflow_);
    return QString::number(overflow_);
  }

 private:
  Rng& rng_;
  QSet<int> used_;
  int overflow_ = 100000;
};

// Numbers that are numerically equal to each other, as old data entry left them.
const QList<QStringList> kEqualNumbers{
    {u"0012"_s, u"12"_s, u"012"_s},
    {u"0108"_s, u"108"_s},
    {u"2046"_s, u"02046"_s},
};

// ---------------------------------------------------------------------------------------------
// Reference tables: how many rows per employee each kind of table holds.

double tableWeight(const QString& table) {
  static const QHash<QString, double> weights{
      {u"考勤表详细"_s, 20},      {u"考勤上下班时间记录"_s, 20},
      {u"工资单项目明细"_s, 12},  {u"月考勤记录"_s, 6},
      {u"工资单明细"_s, 6},       {u"员工个人所得税"_s, 6},
      {u"工资支付入卡表"_s, 6},   {u"出勤"_s, 6},
      {u"KQ考勤信息"_s, 6},       {u"月考勤审核记录"_s, 3},
      {u"工资审核记录"_s, 3},     {u"工资支付划账表"_s, 3},
      {u"奖金发放记录"_s, 3},     {u"奖金单详细"_s, 3},
      {u"工资支付现金表"_s, 1},   {u"月考勤记录_temp"_s, 1},
      {u"员工照片"_s, 1},         {u"银行卡设置"_s, 1},
      {u"员工考勤卡信息"_s, 1},   {u"员工考勤部门设置"_s, 1},
      {u"员工考勤方式设置"_s, 1}, {u"员工合同信息"_s, 1},
      {u"个性化设置"_s, 1},       {u"工资单类型对应员工"_s, 1},
      {u"员工工资结构明细"_s, 1}, {u"履历表"_s, 1},
  };
  return weights.value(table, 0.5);
}

qint64 rowsFor(const host::Table& table, const Scale& scale) {
  return qint64(std::llround(double(scale.employees) * scale.referenceRowsPerEmployee * tableWeight(table.name)));
}

const QStringList kShifts{u"早班"_s, u"中班"_s, u"夜班"_s, u"正常班"_s};
const QStringList kPayItems{u"基本工资"_s,   u"岗位工资"_s, u"绩效奖金"_s, u"加班费"_s,
                            u"餐费补贴"_s,   u"交通补贴"_s, u"社保扣款"_s, u"公积金扣款"_s,
                            u"个人所得税"_s, u"通讯补贴"_s, u"高温补贴"_s, u"全勤奖"_s};

// The value of a payload column for period k of a row (k counts months or days back from the newest).
QVariant payload(const host::Column& column, qint64 period, Rng& rng, const QList<Employee>& staff) {
  const QString& n = column.name;
  if (n == u"年月"_s) return QDate(2024, 12, 1).addMonths(-int(period % 600)).toString(u"yyyy-MM"_s);
  if (n == u"日期"_s) return QDate(2024, 12, 31).addDays(-(period % 3650)).toString(u"yyyy-MM-dd"_s);
  if (n == u"出勤天数"_s) return rng.between(18, 23);
  if (n == u"金额"_s) return double(rng.between(80000, 1200000)) / 100.0;
  if (n == u"班次"_s) return rng.pick(kShifts);
  if (n == u"审核人"_s) return rng.pick(staff).name;
  if (n == u"项目名称"_s) return kPayItems[int(period % kPayItems.size())];
  if (n == u"类型"_s) return rng.chance(80) ? u"档案信息修改"_s : u"新员工入职"_s;
  return kNull;
}

void fillReferenceTable(const QSqlDatabase& handle, const host::Table& table, const Scale& scale, Rng& rng,
                        const QList<Employee>& staff) {
  QStringList names;
  for (const host::Column& c : table.columns) names << c.name;
  Inserter insert(handle, table.name, names);
  const qint64 total = rowsFor(table, scale);
  const qint64 count = staff.size();
  const bool itemised = table.column(u"项目名称"_s) != nullptr;  // one row per pay item and month
  for (qint64 i = 0; i < total; ++i) {
    // Tables with at least one row per employee cover every employee, period after period;
    // smaller ones cover employees picked at random.
    const Employee& who = total >= count ? staff[int(i % count)] : rng.pick(staff);
    const qint64 period = total >= count ? i / count : 0;  // pay tables: item and month both come from it
    QVariantList values;
    bool firstNumber = true;
    for (const host::Column& c : table.columns) {
      if (c.employeeNumber) {
        values << ((firstNumber || rng.chance(25)) ? who.number : rng.pick(staff).number);
        firstNumber = false;
      } else if (itemised && c.name == u"年月"_s) {
        values << payload(c, period / kPayItems.size(), rng, staff);
      } else {
        values << payload(c, period, rng, staff);
      }
    }
    insert.row(values);
  }
}

// ---------------------------------------------------------------------------------------------

void writeOrganisation(const QSqlDatabase& handle, QHash<QString, QString>& departmentCode) {
  Inserter dept(handle, u"职能部门new"_s, {u"职能部门编号"_s, u"职能部门名称"_s, u"终止日期"_s});
  Inserter parent(handle, u"上级部门new"_s, {u"职能部门编号"_s, u"上级部门编号"_s, u"起始日期"_s});
  for (const Department& d : departments()) {
    dept.row({d.number, d.name, orNull(d.terminated)});
    departmentCode.insert(d.number, d.code);
    if (d.parent.isEmpty()) continue;
    if (d.number == kMovedDepartment) {
      parent.row({d.number, kFormerParent, u"2016-03-01"_s});
      parent.row({d.number, d.parent, u"2020-07-01"_s});
    } else {
      parent.row({d.number, d.parent, u"2015-01-01"_s});
    }
  }
  Inserter category(handle, u"岗位类别"_s, {u"岗位类别编号"_s, u"岗位类别名称"_s});
  for (const PositionCategory& c : positionCategories()) category.row({c.number, c.name});
  Inserter employeeCategory(handle, u"员工类别"_s, {u"类别编号"_s, u"类别名称"_s, u"类别码"_s});
  for (const Category& c : categories()) employeeCategory.row({c.number, c.name, orNull(c.ruleCode)});
  Inserter rule(handle, u"员工工号编码规则名称"_s, {u"类别码"_s, u"编码类别名称"_s, u"编码规则"_s, u"流水号位数"_s});
  for (const Rule& r : rules()) rule.row({r.code, r.name, r.layout, r.pattern});
}

// The specific rule rows, each with the last serial handed out so far.
void writeRuleRows(const QSqlDatabase& handle, const QHash<QString, QString>& departmentCode,
                   const QList<Employee>& staff, const QList<Position>& positions) {
  QHash<QString, const Position*> positionByCode;
  for (const Position& p : positions) positionByCode.insert(p.code, &p);
  // Employees per rule, per department, per department and position category.
  QHash<QString, int> served;
  for (const Employee& e : staff) {
    const Position* p = positionByCode.value(e.position);
    for (const Category& c : categories()) {
      if (c.name != e.category || c.ruleCode.isEmpty()) continue;
      served[c.ruleCode] += 1;
      if (p) {
        served[c.ruleCode + u'|' + p->department] += 1;
        served[c.ruleCode + u'|' + p->department + u'|' + p->category] += 1;
      }
    }
  }
  QHash<QString, QString> categoryCode;
  for (const PositionCategory& c : positionCategories()) categoryCode.insert(c.number, c.code);

  Inserter row(
      handle, u"员工工号编码规则"_s,
      {u"类别代码"_s, u"部门编号"_s, u"部门代码"_s, u"岗位类别"_s, u"岗位代码"_s, u"流水号位数"_s, u"流水号"_s});
  for (const Rule& r : rules()) {
    if (r.layout == 1) {  // the default row holds only the rule's code
      row.row({r.code, kNull, kNull, kNull, kNull, r.pattern, served.value(r.code)});
      continue;
    }
    // Departments (rule 3) or department and position category pairs (rule 5) where the
    // rule's categories work; terminated departments get no codes.
    QList<QPair<QString, QString>> keys;
    for (const Position& p : positions) {
      const bool serves = std::any_of(categories().begin(), categories().end(), [&](const Category& c) {
        return c.ruleCode == r.code && c.positionCategories.contains(p.category);
      });
      if (!serves) continue;
      const auto& depts = departments();
      const bool current = std::any_of(depts.begin(), depts.end(), [&](const Department& d) {
        return d.number == p.department && d.terminated.isEmpty();
      });
      if (!current) continue;
      const QPair<QString, QString> key{p.department, r.layout == 5 ? p.category : QString()};
      if (!keys.contains(key)) keys << key;
    }
    for (const auto& [dept, posCategory] : keys) {
      const QString key = posCategory.isEmpty() ? r.code + u'|' + dept : r.code + u'|' + dept + u'|' + posCategory;
      row.row({r.code, dept, departmentCode.value(dept), orNull(posCategory), orNull(categoryCode.value(posCategory)),
               r.pattern, served.value(key)});
    }
  }
}

QList<Position> makePositions() {
  QList<Position> positions;
  int n = 0;
  for (const PositionTemplate& t : positionTemplates())
    positions.append({u"GW"_s + QString::number(++n).rightJustified(3, u'0'), t.name, t.department, t.category, {}});
  return positions;
}

QList<Employee> makeStaff(const Scale& scale, Rng& rng, QList<Position>& positions) {
  NumberPool pool(rng);
  QStringList planted;
  for (const QStringList& group : kEqualNumbers) {
    pool.reserve(group.first().toInt());
    planted << group;
  }
  // The planted numbers go to employees spread evenly over the register.
  QHash<int, QString> plantedAt;
  for (int k = 0; k < planted.size() && k < scale.employees; ++k)
    plantedAt.insert(int((qint64(k) * 2 + 1) * scale.employees / (qint64(planted.size()) * 2)), planted[k]);

  QList<Employee> staff;
  staff.reserve(scale.employees);
  for (int i = 0; i < scale.employees; ++i) {
    Employee e;
    e.number = plantedAt.contains(i) ? plantedAt.value(i) : pool.next();
    const bool male = rng.chance(55);
    e.sex = male ? u"男"_s : u"女"_s;
    e.name = personName(rng, male);
    // A few older records carry no identity number.
    e.identity = rng.chance(3) ? QString() : identityNumber(rng, male);
    int roll = rng.below(100);
    const Category* category = &categories().first();
    for (const Category& c : categories()) {
      if (roll < c.share) {
        category = &c;
        break;
      }
      roll -= c.share;
    }
    e.category = category->name;
    // Some employees have no position; a few name a position that no longer exists.
    if (rng.chance(6)) {
      e.position.clear();
    } else if (rng.chance(1)) {
      e.position = u"GW999"_s;
    } else {
      QList<int> fitting;
      for (int p = 0; p < positions.size(); ++p)
        if (category->positionCategories.contains(positions[p].category)) fitting << p;
      Position& p = positions[rng.pick(fitting)];
      e.position = p.code;
      if (p.holder.isEmpty()) p.holder = e.number;
    }
    staff.append(e);
  }
  return staff;
}

}  // namespace

qint64 expectedReferenceRows(const Scale& scale) {
  qint64 total = 0;
  for (const host::Table& t : host::tables())
    if (t.reference) total += rowsFor(t, scale);
  return total;
}

void generate(db::Database& database, const Scale& scale) {
  Rng rng(scale.seed);
  QSqlDatabase handle = QSqlDatabase::database(database.connectionName(), false);
  // A large page cache keeps the number indexes in memory while millions of rows go in.
  QSqlQuery pragma(handle);
  const bool embedded = database.kind() == db::EngineKind::Sqlite;
  QVariant cacheSize;
  if (embedded && pragma.exec(u"PRAGMA cache_size"_s) && pragma.next()) cacheSize = pragma.value(0);
  if (cacheSize.isValid()) pragma.exec(u"PRAGMA cache_size=-262144"_s);
  db::Transaction transaction(database);

  QHash<QString, QString> departmentCode;
  writeOrganisation(handle, departmentCode);

  QList<Position> positions = makePositions();
  const QList<Employee> staff = makeStaff(scale, rng, positions);

  Inserter position(handle, u"岗位信息New"_s,
                    {u"岗位代号"_s, u"岗位名称"_s, u"职能部门代号"_s, u"岗位类别代号"_s, u"工号"_s});
  for (const Position& p : positions) position.row({p.code, p.name, p.department, p.category, orNull(p.holder)});

  Inserter employee(handle, u"员工档案"_s,
                    {u"工号"_s, u"姓名"_s, u"性别"_s, u"身份证号码"_s, u"员工类别"_s, u"岗位编号"_s});
  for (const Employee& e : staff)
    employee.row({e.number, e.name, e.sex, orNull(e.identity), e.category, orNull(e.position)});

  writeRuleRows(handle, departmentCode, staff, positions);

  if (!staff.isEmpty())
    for (const host::Table& t : host::tables())
      if (t.reference) fillReferenceTable(handle, t, scale, rng, staff);

  transaction.commit();
  if (cacheSize.isValid()) pragma.exec(u"PRAGMA cache_size="_s + cacheSize.toString());
}

namespace {

// Two tables the tool's lists do not know, as a host database gathers over the years: one keeps
// employee numbers under a column name of the lists (工号), the other under a name of its own
// (持卡人). The database check finds both.
void addUnlistedTables(db::Database& database) {
  QSqlDatabase handle = QSqlDatabase::database(database.connectionName(), false);
  db::Transaction transaction(database);
  // Text columns as the host schema declares them (nvarchar(50), compared as on SQL Server).
  const auto text = [](const QString& column) {
    const QString type = u"nvarchar("_s + QString::number(host::kTextLength) + u')';
    return column + u' ' + type + db::sqliteCharacterConstraints(column, type);
  };
  for (const QString& sql : {
           u"CREATE TABLE \"外包人员登记\" (ID INTEGER PRIMARY KEY AUTOINCREMENT, "_s + text(u"工号"_s) + u", "_s +
               text(u"外包单位"_s) + u')',

           u"INSERT INTO \"外包人员登记\" (工号, 外包单位) SELECT 工号, '安保外包' FROM 员工档案 WHERE ID % 9 = 0"_s,
           u"CREATE TABLE \"门禁卡发放\" (ID INTEGER PRIMARY KEY AUTOINCREMENT, "_s + text(u"卡号"_s) + u", "_s +
               text(u"持卡人"_s) + u", 发放日期 DATE)"_s,
           u"INSERT INTO \"门禁卡发放\" (卡号, 持卡人, 发放日期) SELECT 'MJ' || printf('%05d', ID), 工号, "
           u"'2024-03-01' FROM 员工档案 WHERE ID % 4 = 1"_s,
       }) {
    QSqlQuery q(handle);
    if (!q.exec(sql)) throw db::DbError(q.lastError().text());
  }
  transaction.commit();
}

}  // namespace

bool createDatabase(db::Database& database, const QString& path, const Scale& scale, QString* error) {
  if (QFile::exists(path)) {
    if (error) *error = u"文件已存在: "_s + path;
    return false;
  }
  if (!database.createSqlite(path, error)) return false;
  try {
    host::createSchema(database);
    generate(database, scale);
    addUnlistedTables(database);
  } catch (const db::DbError& e) {
    if (error) *error = e.text();
    database.close();
    QFile::remove(path);
    return false;
  }
  return true;
}

}  // namespace demo
