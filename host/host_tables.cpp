#include "host/host_tables.h"

#include <string>
#include <unordered_set>

namespace host {

namespace {

// Names of added columns, kept for the life of the process: a RefColumn points into them, and a
// list handed out before the added columns changed stays valid.
const char8_t* interned(const QString& name) {
  static std::unordered_set<std::string> names;
  const auto it = names.insert(name.toStdString()).first;
  return reinterpret_cast<const char8_t*>(it->c_str());
}

std::vector<RefColumn>& added() {
  static std::vector<RefColumn> list;
  return list;
}

}  // namespace

void setAddedColumns(const std::vector<std::pair<QString, QString>>& tableAndColumn) {
  std::vector<RefColumn> list;
  for (const auto& [table, column] : tableAndColumn) list.push_back({interned(table), interned(column), u8""});
  added() = std::move(list);
}

const std::vector<RefColumn>& addedColumns() { return added(); }

}  // namespace host
