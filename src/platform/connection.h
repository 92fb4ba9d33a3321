// The database connection that a form workbook is read through: a connection
// string, connect and disconnect, shaped like the connection component the
// run is written against. Connecting opens the workbook that DBQ names.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace vers::engine {
class Workbook;
struct Table;
}  // namespace vers::engine

namespace vers::platform {

// The only data source name a connection string may name.
inline constexpr std::string_view kDataSourceName = "DataVELM";

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // "DSN=DataVELM;DBQ=<workbook path>;DefaultDir=<dir>;": key=value pairs
  // joined by ';', a value may be enclosed in {} with }} inside for }
  // (platform/connection_string.h). A connection that is connected is
  // disconnected first: the string always describes the open workbook.
  void set_connection_string(std::string text);
  const std::string& connection_string() const { return connection_string_; }

  // Opens the workbook. Throws engine::EngineError (message in Russian,
  // naming the file) when the string is malformed, names another data
  // source, or the workbook cannot be opened. Connecting while connected
  // reconnects.
  void connect();
  // Closes the workbook; does nothing when not connected.
  void disconnect();
  bool connected() const { return workbook_ != nullptr; }

  // The table a statement names: a defined name of the workbook, or a whole
  // sheet written [Sheet$]. Read once per connection and kept; a query's
  // result shares it, so it outlives a disconnect. Throws
  // engine::EngineError when not connected or the table cannot be read.
  std::shared_ptr<const engine::Table> table(std::string_view name);

 private:
  struct TableCache;
  std::string connection_string_;
  std::unique_ptr<engine::Workbook> workbook_;
  std::unique_ptr<TableCache> tables_;
};

}  // namespace vers::platform
