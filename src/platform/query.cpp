#include "platform/query.h"

#include <utility>

#include "engine/error.h"
#include "engine/statement/evaluate.h"
#include "engine/statement/parser.h"
#include "engine/statement/row_cursor.h"
#include "platform/connection.h"

namespace vers::platform {

struct Query::Result {
  engine::RowCursor cursor;
  // Column names asked for and their positions, spelled as asked: a report
  // reads the same few columns on every row, and a name found once need not
  // be looked for again ignoring case.
  std::vector<std::pair<std::string, size_t>> asked;
};

namespace {

[[noreturn]] void throw_closed() { throw engine::EngineError("Запрос не открыт: у него нет записей"); }

}  // namespace

Query::Query(Connection& connection) : connection_(connection) {}
Query::~Query() = default;

void Query::set_sql(std::string text) {
  close();
  sql_ = std::move(text);
}

void Query::open() {
  if (active()) return;
  if (!connection_.connected()) throw engine::EngineError("Нет подключения к книге: запрос не выполнить");
  engine::SelectStatement statement = engine::parse_statement(sql_);
  engine::StatementResult rows(statement, connection_.table(statement.table));
  auto result = std::make_unique<Result>(Result{engine::RowCursor(std::move(rows)), {}});
  if (filtered_) result->cursor.set_filter(engine::parse_condition(filter_));
  result_ = std::move(result);
}

void Query::close() { result_.reset(); }

bool Query::active() const { return result_ != nullptr; }

bool Query::is_empty() const { return !result_ || result_->cursor.is_empty(); }

bool Query::eof() const { return !result_ || result_->cursor.eof(); }

void Query::next() {
  if (!result_) throw_closed();
  result_->cursor.next();
}

const std::vector<std::string>& Query::column_names() const {
  static const std::vector<std::string> kNone;
  return result_ ? result_->cursor.result().columns() : kNone;
}

size_t Query::column_index(std::string_view column) const {
  if (!result_) throw_closed();
  for (const auto& [name, index] : result_->asked)
    if (name == column) return index;
  std::optional<size_t> index = engine::find_column(column_names(), column);
  if (!index) {
    throw engine::EngineError("В результате запроса к таблице «" + result_->cursor.result().name() + "» нет столбца «" +
                              std::string(column) + "»");
  }
  constexpr size_t kNamesKept = 16;  // more than any report reads
  if (result_->asked.size() < kNamesKept) result_->asked.emplace_back(std::string(column), *index);
  return *index;
}

std::string Query::field_text(std::string_view column) const { return field_text(column_index(column)); }

std::string Query::field_text(size_t index) const {
  if (!result_) throw_closed();
  if (index >= column_names().size()) {
    throw engine::EngineError("В результате запроса нет столбца с номером " + std::to_string(index) + ": столбцов " +
                              std::to_string(column_names().size()));
  }
  if (result_->cursor.eof()) return std::string();
  engine::Value scratch;
  return engine::to_text(result_->cursor.value(index, scratch));
}

engine::Value Query::field_value(std::string_view column) const {
  size_t index = column_index(column);
  if (result_->cursor.eof()) return engine::Value();
  engine::Value scratch;
  return result_->cursor.value(index, scratch);
}

std::string Query::field_as_string(std::string_view column) const {
  size_t index = column_index(column);
  if (result_->cursor.eof())
    throw engine::EngineError("Нет текущей записи: значение столбца «" + std::string(column) + "» не прочитать");
  engine::Value scratch;
  const engine::Value& value = result_->cursor.value(index, scratch);
  if (value.is_null()) throw engine::EngineError("Столбец «" + std::string(column) + "» текущей записи не содержит значения");
  return engine::to_text(value);
}

void Query::set_filter(std::string text) {
  std::string previous = std::exchange(filter_, std::move(text));
  if (!filtered_) return;  // the text waits for the filter to be switched on
  try {
    apply_filter();
  } catch (...) {
    filter_ = std::move(previous);
    throw;
  }
}

void Query::set_filtered(bool on) {
  bool previous = std::exchange(filtered_, on);
  try {
    apply_filter();
  } catch (...) {
    filtered_ = previous;
    throw;
  }
}

void Query::apply_filter() {
  if (!result_) return;  // an open() applies it
  result_->cursor.set_filter(filtered_ ? engine::parse_condition(filter_) : std::nullopt);
}

}  // namespace vers::platform
