#pragma once
// A change the user asks for goes in two steps. Its plan reads only and decides: refused (what the
// user reads; nothing to ask, nothing to run), or the questions to ask and the change ready to run,
// with the facts it relied on (who holds each old and new number, what the questions are about).
// Its run takes the plan answered 是 to every question, checks those facts again inside the
// transaction before the first update, and sends the change, or refuses when a fact changed
// meanwhile. Every use case's plan and result build on these two.
#include <QString>
#include <optional>
#include <vector>

#include "core/change/change_runner.h"
#include "db/catalogue.h"

namespace change {

// Why a change is not made: the message the user reads (nothing was sent). An empty text: the
// window shows the refusal in its own way (the batch window marks the row the check stopped at).
struct Refusal {
  QString text;
  bool warning = false;  // shown with the warning icon
};

// A question before a change; 否 ends it with nothing changed.
struct Question {
  QString text;
  bool defaultNo = true;  // 否 is the default button
};

struct Plan {
  std::optional<Refusal> refusal;  // refused: nothing to ask, nothing to run
  std::vector<Question> questions;  // asked in order before the run
  Change change;  // what the run sends
  bool ready() const { return !refusal; }
};

// What running a plan gave: done, or refused inside the transaction (nothing was changed).
struct Ran {
  std::optional<Refusal> refusal;
  bool done() const { return !refusal; }
};

// The first table of the columns a change rewrites (each has a table, in the change's order) that
// the database lacks, as the impact preview marks it, refused: "缺少表员工照片，请先运行数据库检查";
// nullopt when all are there. The catalogue is the session's.
template <class Columns>
std::optional<Refusal> missingTableRefusal(const db::Catalogue& catalogue, const Columns& columns) {
  for (const auto& c : columns)
    if (!catalogue.find(c.table))
      return Refusal{QStringLiteral("缺少表") + c.table + QStringLiteral("，请先运行数据库检查"), true};
  return std::nullopt;
}

}  // namespace change
