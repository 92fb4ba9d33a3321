// The main window built with recording boxes, a scripted file dialog and a
// recording shell, for the window tests.
#pragma once

#include <memory>
#include <string>

#include "app/un_Main.h"
#include "doclist/recording_platform.h"

namespace vers::testing {

struct WindowFixture {
  explicit WindowFixture(std::string program_dir = "/opt/Stat")
      : window(std::make_unique<app::TfrmMain>(
            app::TfrmMain::Outside{shell, std::move(program_dir), &boxes, &dialog})) {}

  // The confirmations shown so far, as (text, caption).
  int confirmations() const {
    int count = 0;
    for (const auto& box : boxes.shown)
      if (box.kind == BoxShown::Kind::Confirmation) ++count;
    return count;
  }

  RecordingBoxes boxes;
  ScriptedDialog dialog;
  RecordingShell shell;
  std::unique_ptr<app::TfrmMain> window;
};

}  // namespace vers::testing
