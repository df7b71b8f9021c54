#include "tools/demo/demo_data.h"

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
      marks << QStringLiteral("?");
    }
    const QString sql = QStringLiteral("INSERT INTO \"") + table + QStringLiteral("\" (") +
                        quoted.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (") +
                        marks.join(QStringLiteral(", ")) + u')';
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
      {QStringLiteral("1"), QStringLiteral("公司本部"), {}, QStringLiteral("10"), {}},
      {QStringLiteral("2"), QStringLiteral("东湖花园管理处"), {}, QStringLiteral("20"), {}},
      {QStringLiteral("3"), QStringLiteral("滨江大厦管理处"), {}, QStringLiteral("30"), {}},
      {QStringLiteral("101"), QStringLiteral("行政人事部"), QStringLiteral("1"), QStringLiteral("11"), {}},
      {QStringLiteral("102"), QStringLiteral("财务部"), QStringLiteral("1"), QStringLiteral("12"), {}},
      {QStringLiteral("103"), QStringLiteral("工程部"), QStringLiteral("1"), QStringLiteral("13"), {}},
      {QStringLiteral("104"), QStringLiteral("品质管理部"), QStringLiteral("1"), QStringLiteral("14"), {}},
      {QStringLiteral("105"), QStringLiteral("市场拓展部"), QStringLiteral("1"), QStringLiteral("15"),
       QStringLiteral("2022-12-31")},
      {QStringLiteral("201"), QStringLiteral("东湖客户服务中心"), QStringLiteral("2"), QStringLiteral("21"), {}},
      {QStringLiteral("202"), QStringLiteral("东湖安保部"), QStringLiteral("2"), QStringLiteral("22"), {}},
      {QStringLiteral("203"), QStringLiteral("东湖环境部"), QStringLiteral("2"), QStringLiteral("23"), {}},
      {QStringLiteral("204"), QStringLiteral("东湖工程维修部"), QStringLiteral("2"), QStringLiteral("24"), {}},
      {QStringLiteral("301"), QStringLiteral("滨江客户服务中心"), QStringLiteral("3"), QStringLiteral("31"), {}},
      {QStringLiteral("302"), QStringLiteral("滨江安保部"), QStringLiteral("3"), QStringLiteral("32"), {}},
      {QStringLiteral("303"), QStringLiteral("滨江保洁绿化部"), QStringLiteral("3"), QStringLiteral("33"), {}},
      {QStringLiteral("10301"), QStringLiteral("强电班"), QStringLiteral("103"), QStringLiteral("41"), {}},
      {QStringLiteral("10302"), QStringLiteral("给排水班"), QStringLiteral("103"), QStringLiteral("42"), {}},
      {QStringLiteral("10501"), QStringLiteral("招商组"), QStringLiteral("105"), QStringLiteral("43"), {}},
      {QStringLiteral("10502"), QStringLiteral("策划组"), QStringLiteral("105"), QStringLiteral("44"), {}},
      {QStringLiteral("20201"), QStringLiteral("东湖监控中心"), QStringLiteral("202"), QStringLiteral("51"), {}},
      {QStringLiteral("20202"), QStringLiteral("东湖巡逻队"), QStringLiteral("202"), QStringLiteral("52"), {}},
      {QStringLiteral("20301"), QStringLiteral("东湖保洁组"), QStringLiteral("203"), QStringLiteral("53"), {}},
      {QStringLiteral("20302"), QStringLiteral("东湖绿化组"), QStringLiteral("203"), QStringLiteral("54"), {}},
      {QStringLiteral("30201"), QStringLiteral("滨江门岗组"), QStringLiteral("302"), QStringLiteral("61"), {}},
  };
  return list;
}

// The gardening team first belonged to the maintenance department and was moved later.
const QString kMovedDepartment = QStringLiteral("20302");
const QString kFormerParent = QStringLiteral("204");

struct PositionCategory {
  QString number, name, code;  // code: the position code that rules 5 put into numbers
};

const QList<PositionCategory>& positionCategories() {
  static const QList<PositionCategory> list{
      {QStringLiteral("01"), QStringLiteral("管理岗"), QStringLiteral("1")},
      {QStringLiteral("02"), QStringLiteral("技术岗"), QStringLiteral("2")},
      {QStringLiteral("03"), QStringLiteral("客服岗"), QStringLiteral("3")},
      {QStringLiteral("04"), QStringLiteral("安保岗"), QStringLiteral("4")},
      {QStringLiteral("05"), QStringLiteral("保洁绿化岗"), QStringLiteral("5")},
      {QStringLiteral("06"), QStringLiteral("行政后勤岗"), QStringLiteral("6")},
  };
  return list;
}

struct PositionTemplate {
  QString department, name, category;
};

const QList<PositionTemplate>& positionTemplates() {
  static const QList<PositionTemplate> list{
      {QStringLiteral("101"), QStringLiteral("行政人事部经理"), QStringLiteral("01")},
      {QStringLiteral("101"), QStringLiteral("人事专员"), QStringLiteral("06")},
      {QStringLiteral("101"), QStringLiteral("行政文员"), QStringLiteral("06")},
      {QStringLiteral("102"), QStringLiteral("财务部经理"), QStringLiteral("01")},
      {QStringLiteral("102"), QStringLiteral("会计"), QStringLiteral("02")},
      {QStringLiteral("102"), QStringLiteral("出纳"), QStringLiteral("06")},
      {QStringLiteral("103"), QStringLiteral("工程部经理"), QStringLiteral("01")},
      {QStringLiteral("103"), QStringLiteral("工程师"), QStringLiteral("02")},
      {QStringLiteral("104"), QStringLiteral("品质主管"), QStringLiteral("01")},
      {QStringLiteral("104"), QStringLiteral("品质专员"), QStringLiteral("02")},
      {QStringLiteral("105"), QStringLiteral("招商经理"), QStringLiteral("01")},
      {QStringLiteral("10301"), QStringLiteral("强电班长"), QStringLiteral("01")},
      {QStringLiteral("10301"), QStringLiteral("强电技工"), QStringLiteral("02")},
      {QStringLiteral("10302"), QStringLiteral("给排水技工"), QStringLiteral("02")},
      {QStringLiteral("10501"), QStringLiteral("招商专员"), QStringLiteral("03")},
      {QStringLiteral("10502"), QStringLiteral("策划专员"), QStringLiteral("03")},
      {QStringLiteral("201"), QStringLiteral("客服主管"), QStringLiteral("01")},
      {QStringLiteral("201"), QStringLiteral("客服专员"), QStringLiteral("03")},
      {QStringLiteral("201"), QStringLiteral("收费员"), QStringLiteral("03")},
      {QStringLiteral("202"), QStringLiteral("安保主管"), QStringLiteral("01")},
      {QStringLiteral("20201"), QStringLiteral("监控员"), QStringLiteral("04")},
      {QStringLiteral("20202"), QStringLiteral("巡逻队长"), QStringLiteral("01")},
      {QStringLiteral("20202"), QStringLiteral("巡逻员"), QStringLiteral("04")},
      {QStringLiteral("203"), QStringLiteral("环境主管"), QStringLiteral("01")},
      {QStringLiteral("20301"), QStringLiteral("保洁员"), QStringLiteral("05")},
      {QStringLiteral("20302"), QStringLiteral("绿化工"), QStringLiteral("05")},
      {QStringLiteral("204"), QStringLiteral("维修技工"), QStringLiteral("02")},
      {QStringLiteral("301"), QStringLiteral("客服主管"), QStringLiteral("01")},
      {QStringLiteral("301"), QStringLiteral("客服专员"), QStringLiteral("03")},
      {QStringLiteral("302"), QStringLiteral("安保主管"), QStringLiteral("01")},
      {QStringLiteral("30201"), QStringLiteral("门岗保安"), QStringLiteral("04")},
      {QStringLiteral("303"), QStringLiteral("保洁员"), QStringLiteral("05")},
      {QStringLiteral("303"), QStringLiteral("绿化工"), QStringLiteral("05")},
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
      {QStringLiteral("01"),
       QStringLiteral("管理人员"),
       QStringLiteral("1"),
       12,
       {QStringLiteral("01"), QStringLiteral("06")}},
      {QStringLiteral("02"), QStringLiteral("专业技术人员"), QStringLiteral("2"), 18, {QStringLiteral("02")}},
      {QStringLiteral("03"),
       QStringLiteral("服务人员"),
       QStringLiteral("3"),
       45,
       {QStringLiteral("03"), QStringLiteral("04"), QStringLiteral("05")}},
      {QStringLiteral("04"), QStringLiteral("临时工"), {}, 15, {QStringLiteral("04"), QStringLiteral("05")}},
      {QStringLiteral("05"), QStringLiteral("退休返聘人员"), {}, 10, {QStringLiteral("02"), QStringLiteral("06")}},
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
      {QStringLiteral("1"), QStringLiteral("管理人员编号"), 1, QStringLiteral("0000")},
      {QStringLiteral("2"), QStringLiteral("专业技术人员编号"), 3, QStringLiteral("000")},
      {QStringLiteral("3"), QStringLiteral("服务人员编号"), 5, QStringLiteral("000")},
  };
  return list;
}

// ---------------------------------------------------------------------------------------------
// People.

const QStringList kSurnames =
    QString(
        QStringLiteral(
            "王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈姚卢"
            "姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛段雷侯龙史陶黎贺顾毛郝龚邵万钱严覃武戴莫孔向汤欧阳"))
        .split(QString(), Qt::SkipEmptyParts);
const QStringList kMaleGiven =
    QString(QStringLiteral("伟强磊军勇杰涛明超刚平辉鹏华飞鑫波斌宇浩凯健俊帆帅旭宁龙林阳建国志文斌海峰永成东亮晨"))
        .split(QString(), Qt::SkipEmptyParts);
const QStringList kFemaleGiven =
    QString(QStringLiteral("芳娜敏静丽艳娟霞秀玲桂英华红梅琳燕萍雪琴兰云莉婷慧颖倩洁月凤丹瑶佳欣怡晶"))
        .split(QString(), Qt::SkipEmptyParts);

QString personName(Rng& rng, bool male) {
  const QStringList& given = male ? kMaleGiven : kFemaleGiven;
  QString name = rng.pick(kSurnames);
  name += rng.pick(given);
  if (rng.chance(70)) name += rng.pick(given);
  return name;
}

// Region codes of the identity numbers (province, city, district).
const QStringList kRegions{
    QStringLiteral("440106"), QStringLiteral("440104"), QStringLiteral("440304"), QStringLiteral("440305"),
    QStringLiteral("430102"), QStringLiteral("430104"), QStringLiteral("360102"), QStringLiteral("450103"),
    QStringLiteral("420106"), QStringLiteral("510107"), QStringLiteral("350203"), QStringLiteral("441302"),
    QStringLiteral("445102"), QStringLiteral("441802"), QStringLiteral("360731"), QStringLiteral("431023")};

// The check character of an 18-character identity number (ISO 7064 MOD 11-2 over the first 17 digits).
QChar identityCheckCharacter(const QString& first17) {
  static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
  int sum = 0;
  for (int i = 0; i < 17; ++i) sum += first17[i].digitValue() * weights[i];
  return QStringLiteral("10X98765432")[sum % 11];
}

QString identityNumber(Rng& rng, bool male) {
  const QDate birth = QDate(1962, 1, 1).addDays(rng.below(QDate(1962, 1, 1).daysTo(QDate(2004, 12, 31))));
  int sequence = rng.between(0, 499) * 2 + (male ? 1 : 0);  // odd for men, even for women
  const QString first17 = rng.pick(kRegions) + birth.toString(QStringLiteral("yyyyMMdd")) +
                          QString::number(sequence).rightJustified(3, u'0');
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
    {QStringLiteral("0012"), QStringLiteral("12"), QStringLiteral("012")},
    {QStringLiteral("0108"), QStringLiteral("108")},
    {QStringLiteral("2046"), QStringLiteral("02046")},
};

// ---------------------------------------------------------------------------------------------
// Reference tables: how many rows per employee each kind of table holds.

double tableWeight(const QString& table) {
  static const QHash<QString, double> weights{
      {QStringLiteral("考勤表详细"), 20},      {QStringLiteral("考勤上下班时间记录"), 20},
      {QStringLiteral("工资单项目明细"), 12},  {QStringLiteral("月考勤记录"), 6},
      {QStringLiteral("工资单明细"), 6},       {QStringLiteral("员工个人所得税"), 6},
      {QStringLiteral("工资支付入卡表"), 6},   {QStringLiteral("出勤"), 6},
      {QStringLiteral("KQ考勤信息"), 6},       {QStringLiteral("月考勤审核记录"), 3},
      {QStringLiteral("工资审核记录"), 3},     {QStringLiteral("工资支付划账表"), 3},
      {QStringLiteral("奖金发放记录"), 3},     {QStringLiteral("奖金单详细"), 3},
      {QStringLiteral("工资支付现金表"), 1},   {QStringLiteral("月考勤记录_temp"), 1},
      {QStringLiteral("员工照片"), 1},         {QStringLiteral("银行卡设置"), 1},
      {QStringLiteral("员工考勤卡信息"), 1},   {QStringLiteral("员工考勤部门设置"), 1},
      {QStringLiteral("员工考勤方式设置"), 1}, {QStringLiteral("员工合同信息"), 1},
      {QStringLiteral("个性化设置"), 1},       {QStringLiteral("工资单类型对应员工"), 1},
      {QStringLiteral("员工工资结构明细"), 1}, {QStringLiteral("履历表"), 1},
  };
  return weights.value(table, 0.5);
}

qint64 rowsFor(const host::Table& table, const Scale& scale) {
  return qint64(std::llround(double(scale.employees) * scale.referenceRowsPerEmployee * tableWeight(table.name)));
}

const QStringList kShifts{QStringLiteral("早班"), QStringLiteral("中班"), QStringLiteral("夜班"),
                          QStringLiteral("正常班")};
const QStringList kPayItems{QStringLiteral("基本工资"), QStringLiteral("岗位工资"),   QStringLiteral("绩效奖金"),
                            QStringLiteral("加班费"),   QStringLiteral("餐费补贴"),   QStringLiteral("交通补贴"),
                            QStringLiteral("社保扣款"), QStringLiteral("公积金扣款"), QStringLiteral("个人所得税"),
                            QStringLiteral("通讯补贴"), QStringLiteral("高温补贴"),   QStringLiteral("全勤奖")};

// The value of a payload column for period k of a row (k counts months or days back from the newest).
QVariant payload(const host::Column& column, qint64 period, Rng& rng, const QList<Employee>& staff) {
  const QString& n = column.name;
  if (n == QStringLiteral("年月"))
    return QDate(2024, 12, 1).addMonths(-int(period % 600)).toString(QStringLiteral("yyyy-MM"));
  if (n == QStringLiteral("日期"))
    return QDate(2024, 12, 31).addDays(-(period % 3650)).toString(QStringLiteral("yyyy-MM-dd"));
  if (n == QStringLiteral("出勤天数")) return rng.between(18, 23);
  if (n == QStringLiteral("金额")) return double(rng.between(80000, 1200000)) / 100.0;
  if (n == QStringLiteral("班次")) return rng.pick(kShifts);
  if (n == QStringLiteral("审核人")) return rng.pick(staff).name;
  if (n == QStringLiteral("项目名称")) return kPayItems[int(period % kPayItems.size())];
  if (n == QStringLiteral("类型"))
    return rng.chance(80) ? QStringLiteral("档案信息修改") : QStringLiteral("新员工入职");
  return kNull;
}

void fillReferenceTable(const QSqlDatabase& handle, const host::Table& table, const Scale& scale, Rng& rng,
                        const QList<Employee>& staff) {
  QStringList names;
  for (const host::Column& c : table.columns) names << c.name;
  Inserter insert(handle, table.name, names);
  const qint64 total = rowsFor(table, scale);
  const qint64 count = staff.size();
  const bool itemised = table.column(QStringLiteral("项目名称")) != nullptr;  // one row per pay item and month
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
      } else if (itemised && c.name == QStringLiteral("年月")) {
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
  Inserter dept(handle, QStringLiteral("职能部门new"),
                {QStringLiteral("职能部门编号"), QStringLiteral("职能部门名称"), QStringLiteral("终止日期")});
  Inserter parent(handle, QStringLiteral("上级部门new"),
                  {QStringLiteral("职能部门编号"), QStringLiteral("上级部门编号"), QStringLiteral("起始日期")});
  for (const Department& d : departments()) {
    dept.row({d.number, d.name, orNull(d.terminated)});
    departmentCode.insert(d.number, d.code);
    if (d.parent.isEmpty()) continue;
    if (d.number == kMovedDepartment) {
      parent.row({d.number, kFormerParent, QStringLiteral("2016-03-01")});
      parent.row({d.number, d.parent, QStringLiteral("2020-07-01")});
    } else {
      parent.row({d.number, d.parent, QStringLiteral("2015-01-01")});
    }
  }
  Inserter category(handle, QStringLiteral("岗位类别"),
                    {QStringLiteral("岗位类别编号"), QStringLiteral("岗位类别名称")});
  for (const PositionCategory& c : positionCategories()) category.row({c.number, c.name});
  Inserter employeeCategory(handle, QStringLiteral("员工类别"),
                            {QStringLiteral("类别编号"), QStringLiteral("类别名称"), QStringLiteral("类别码")});
  for (const Category& c : categories()) employeeCategory.row({c.number, c.name, orNull(c.ruleCode)});
  Inserter rule(handle, QStringLiteral("员工工号编码规则名称"),
                {QStringLiteral("类别码"), QStringLiteral("编码类别名称"), QStringLiteral("编码规则"),
                 QStringLiteral("流水号位数")});
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
      handle, QStringLiteral("员工工号编码规则"),
      {QStringLiteral("类别代码"), QStringLiteral("部门编号"), QStringLiteral("部门代码"), QStringLiteral("岗位类别"),
       QStringLiteral("岗位代码"), QStringLiteral("流水号位数"), QStringLiteral("流水号")});
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
    positions.append(
        {QStringLiteral("GW") + QString::number(++n).rightJustified(3, u'0'), t.name, t.department, t.category, {}});
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
    e.sex = male ? QStringLiteral("男") : QStringLiteral("女");
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
      e.position = QStringLiteral("GW999");
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
  if (embedded && pragma.exec(QStringLiteral("PRAGMA cache_size")) && pragma.next()) cacheSize = pragma.value(0);
  if (cacheSize.isValid()) pragma.exec(QStringLiteral("PRAGMA cache_size=-262144"));
  db::Transaction transaction(database);

  QHash<QString, QString> departmentCode;
  writeOrganisation(handle, departmentCode);

  QList<Position> positions = makePositions();
  const QList<Employee> staff = makeStaff(scale, rng, positions);

  Inserter position(handle, QStringLiteral("岗位信息New"),
                    {QStringLiteral("岗位代号"), QStringLiteral("岗位名称"), QStringLiteral("职能部门代号"),
                     QStringLiteral("岗位类别代号"), QStringLiteral("工号")});
  for (const Position& p : positions) position.row({p.code, p.name, p.department, p.category, orNull(p.holder)});

  Inserter employee(handle, QStringLiteral("员工档案"),
                    {QStringLiteral("工号"), QStringLiteral("姓名"), QStringLiteral("性别"),
                     QStringLiteral("身份证号码"), QStringLiteral("员工类别"), QStringLiteral("岗位编号")});
  for (const Employee& e : staff)
    employee.row({e.number, e.name, e.sex, orNull(e.identity), e.category, orNull(e.position)});

  writeRuleRows(handle, departmentCode, staff, positions);

  if (!staff.isEmpty())
    for (const host::Table& t : host::tables())
      if (t.reference) fillReferenceTable(handle, t, scale, rng, staff);

  transaction.commit();
  if (cacheSize.isValid()) pragma.exec(QStringLiteral("PRAGMA cache_size=") + cacheSize.toString());
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
    const QString type = QStringLiteral("nvarchar(") + QString::number(host::kTextLength) + u')';
    return column + u' ' + type + db::sqliteCharacterConstraints(column, type);
  };
  for (const QString& sql : {
           QStringLiteral("CREATE TABLE \"外包人员登记\" (ID INTEGER PRIMARY KEY AUTOINCREMENT, ") +
               text(QStringLiteral("工号")) + QStringLiteral(", ") + text(QStringLiteral("外包单位")) + u')',

           QStringLiteral(
               "INSERT INTO \"外包人员登记\" (工号, 外包单位) SELECT 工号, '安保外包' FROM 员工档案 WHERE ID % 9 = 0"),
           QStringLiteral("CREATE TABLE \"门禁卡发放\" (ID INTEGER PRIMARY KEY AUTOINCREMENT, ") +
               text(QStringLiteral("卡号")) + QStringLiteral(", ") + text(QStringLiteral("持卡人")) +
               QStringLiteral(", 发放日期 DATE)"),
           QStringLiteral(
               "INSERT INTO \"门禁卡发放\" (卡号, 持卡人, 发放日期) SELECT 'MJ' || printf('%05d', ID), 工号, "
               "'2024-03-01' FROM 员工档案 WHERE ID % 4 = 1"),
       }) {
    QSqlQuery q(handle);
    if (!q.exec(sql)) throw db::DbError(q.lastError().text());
  }
  transaction.commit();
}

}  // namespace

bool createDatabase(db::Database& database, const QString& path, const Scale& scale, QString* error) {
  if (QFile::exists(path)) {
    if (error) *error = QStringLiteral("文件已存在: ") + path;
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
