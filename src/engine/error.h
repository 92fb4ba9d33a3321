// The one failure type of the workbook engine. Its message is meant for the
// user (UTF-8, Russian) and names the file, table, column or position at fault.
#pragma once

#include <stdexcept>
#include <string>

namespace vers::engine {

class EngineError : public std::runtime_error {
 public:
  explicit EngineError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vers::engine
