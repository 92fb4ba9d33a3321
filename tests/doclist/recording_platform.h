// Recording answers to the boxes, the file-open dialog, the shell and the
// text measure: each is scripted by the test and keeps what was asked. A
// call that the script did not foresee is noted in `unexpected`, which the
// tests check is empty.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "doclist/text_width.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/shell.h"

namespace vers::testing {

struct BoxShown {
  enum class Kind { Information, Confirmation, Notice };
  Kind kind;
  std::string text;
  std::string caption;
  platform::BoxIcon icon = platform::BoxIcon::None;
  friend bool operator==(const BoxShown&, const BoxShown&) = default;
};

class RecordingBoxes : public platform::MessageBoxes {
 public:
  std::deque<bool> confirm_answers;  // one per expected confirmation
  std::vector<BoxShown> shown;
  std::vector<std::string> unexpected;

  void information(const std::string& text) override {
    shown.push_back({BoxShown::Kind::Information, text, "", platform::BoxIcon::None});
  }
  bool confirm(const std::string& text, const std::string& caption) override {
    shown.push_back({BoxShown::Kind::Confirmation, text, caption, platform::BoxIcon::Question});
    if (confirm_answers.empty()) {
      unexpected.push_back("confirmation: " + caption);
      return false;
    }
    const bool answer = confirm_answers.front();
    confirm_answers.pop_front();
    return answer;
  }
  void notice(const std::string& text, const std::string& caption,
              platform::BoxIcon icon) override {
    shown.push_back({BoxShown::Kind::Notice, text, caption, icon});
  }
};

class ScriptedDialog : public platform::FileDialog {
 public:
  using Choice = std::optional<std::vector<std::string>>;
  std::deque<Choice> choices;  // std::nullopt is a cancel
  int openings = 0;
  std::function<void()> on_open;  // runs as the dialog opens
  std::vector<std::string> unexpected;

  Choice execute() override {
    ++openings;
    if (on_open) on_open();
    if (choices.empty()) {
      unexpected.push_back("opening of the file dialog");
      return std::nullopt;
    }
    Choice c = choices.front();
    choices.pop_front();
    return c;
  }
};

class RecordingShell : public platform::Shell {
 public:
  std::vector<std::pair<std::string, platform::ShowMode>> launched;
  void open(const std::string& path, platform::ShowMode mode) override {
    launched.emplace_back(path, mode);
  }
};

// Widths by table; a text not in the table is 5 pixels a byte.
class TableWidth : public doclist::TextWidth {
 public:
  std::map<std::string, int> widths;
  int text_width(const std::string& text) const override {
    const auto it = widths.find(text);
    return it != widths.end() ? it->second : 5 * static_cast<int>(text.size());
  }
};

}  // namespace vers::testing
