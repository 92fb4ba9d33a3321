#include "platform/connection.h"

#include <map>

#include "engine/case_fold.h"
#include "engine/error.h"
#include "engine/table.h"
#include "engine/workbook.h"
#include "platform/connection_string.h"

namespace vers::platform {

// Tables read through this connection, by their name folded to lower case:
// each is read from the workbook once.
struct Connection::TableCache {
  std::map<std::string, std::shared_ptr<const engine::Table>, std::less<>> tables;
};

Connection::Connection() : tables_(std::make_unique<TableCache>()) {}
Connection::~Connection() = default;

void Connection::set_connection_string(std::string text) {
  // The string describes the open workbook: a new one ends the old session.
  disconnect();
  connection_string_ = std::move(text);
}

void Connection::connect() {
  disconnect();
  ConnectionString parsed = ConnectionString::parse(connection_string_);
  std::optional<std::string> dsn = parsed.value("DSN");
  if (!dsn || dsn->empty()) throw engine::EngineError("В строке подключения не указан источник данных (DSN)");
  if (!engine::equal_ignoring_case(*dsn, kDataSourceName)) {
    throw engine::EngineError("Источник данных «" + *dsn + "» не найден: доступен только источник «" +
                              std::string(kDataSourceName) + "»");
  }
  std::optional<std::string> path = parsed.value("DBQ");
  if (!path || path->empty()) throw engine::EngineError("В строке подключения не указан файл книги (DBQ)");
  workbook_ = engine::open_workbook(*path);
}

void Connection::disconnect() {
  workbook_.reset();
  tables_->tables.clear();
}

std::shared_ptr<const engine::Table> Connection::table(std::string_view name) {
  if (!connected()) throw engine::EngineError("Нет подключения к книге: таблицу «" + std::string(name) + "» не прочитать");
  std::string key = engine::fold_case(name);
  auto found = tables_->tables.find(key);
  if (found != tables_->tables.end()) return found->second;
  auto table = std::make_shared<const engine::Table>(engine::load_table(*workbook_, name));
  return tables_->tables.emplace(std::move(key), std::move(table)).first->second;
}

}  // namespace vers::platform
