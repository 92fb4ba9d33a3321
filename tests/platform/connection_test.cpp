// Connecting to form workbooks through connection strings.
#include "platform/connection.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/error.h"
#include "engine/table.h"

namespace vers::platform {
namespace {

const std::string kForm = std::string(VERS_FIXTURES_DIR) + "/sql_form.xls";

std::string form_string(const std::string& path) { return "DSN=DataVELM;DBQ=" + path + ";DefaultDir=/tmp;"; }

// A file in a fresh temporary directory, removed with it.
class TempFile {
 public:
  TempFile(const std::string& name, const std::string& content) {
    dir_ = std::filesystem::temp_directory_path() / ("vers_connection_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / name).string();
    std::ofstream(path_, std::ios::binary) << content;
  }
  ~TempFile() { std::filesystem::remove_all(dir_); }
  const std::string& path() const { return path_; }

 private:
  std::filesystem::path dir_;
  std::string path_;
};

void expect_connect_failure(const std::string& connection_string, const std::string& in_message) {
  Connection connection;
  connection.set_connection_string(connection_string);
  try {
    connection.connect();
    ADD_FAILURE() << "connected: " << connection_string;
  } catch (const engine::EngineError& e) {
    EXPECT_NE(std::string(e.what()).find(in_message), std::string::npos) << e.what();
  }
  EXPECT_FALSE(connection.connected());
}

TEST(Connection, ConnectsAndDisconnects) {
  Connection connection;
  EXPECT_FALSE(connection.connected());
  connection.disconnect();  // nothing to do
  EXPECT_FALSE(connection.connected());
  const std::vector<std::string> strings = {
      form_string(kForm),
      " dsn = datavelm ; dbq = " + kForm,                  // keys case-insensitive and trimmed, values as written
      "DBQ={" + kForm + "};DSN={DataVELM};DefaultDir={}",  // braces
  };
  for (const std::string& s : strings) {
    SCOPED_TRACE(s);
    connection.set_connection_string(s);
    EXPECT_EQ(connection.connection_string(), s);
    connection.connect();
    EXPECT_TRUE(connection.connected());
    EXPECT_EQ(connection.table("Data_Adr")->columns.size(), 3u);
    connection.disconnect();
    EXPECT_FALSE(connection.connected());
  }
}

TEST(Connection, FailuresNameWhatIsWrong) {
  TempFile text("not_a_workbook.xls", "ID_Element;Name;Val\n");
  TempFile empty("empty.xls", "");
  expect_connect_failure("DSN=Excel Files;DBQ=" + kForm, "«Excel Files»");
  expect_connect_failure("DBQ=" + kForm, "DSN");
  expect_connect_failure("DSN=DataVELM;DefaultDir=/tmp", "DBQ");
  expect_connect_failure("DSN=DataVELM;DBQ=", "DBQ");
  expect_connect_failure("DSN=DataVELM;DBQ={" + kForm, "скобка");
  expect_connect_failure(form_string("/nonexistent/form.xls"), "/nonexistent/form.xls");
  expect_connect_failure(form_string(text.path()), text.path());
  expect_connect_failure(form_string(empty.path()), empty.path());
}

TEST(Connection, FailedReconnectLeavesItDisconnected) {
  Connection connection;
  connection.set_connection_string(form_string(kForm));
  connection.connect();
  connection.set_connection_string(form_string("/nonexistent/form.xls"));
  EXPECT_FALSE(connection.connected());  // a new string ends the old session
  EXPECT_THROW(connection.connect(), engine::EngineError);
  EXPECT_FALSE(connection.connected());
  EXPECT_THROW(connection.table("Data_Adr"), engine::EngineError);
}

TEST(Connection, TablesAreReadOncePerConnection) {
  Connection connection;
  connection.set_connection_string(form_string(kForm));
  connection.connect();
  const std::shared_ptr<const engine::Table> first = connection.table("Data_Adr");
  EXPECT_EQ(connection.table("DATA_ADR"), first);
  EXPECT_NE(connection.table("T_Check"), first);
  EXPECT_THROW(connection.table("Константа"), engine::EngineError);
  connection.connect();  // reconnecting starts afresh
  EXPECT_NE(connection.table("data_adr"), first);
  EXPECT_EQ(connection.table("data_adr")->rows.size(), 6u);
  EXPECT_EQ(first->rows.size(), 6u);  // a table taken before stays whole
}

}  // namespace
}  // namespace vers::platform
