// The application object: the single-instance check, then the main dialog,
// run modally; the application ends when the dialog does.
#pragma once

namespace qtr90x {

class MainDialog;

class ControllerApp {
 public:
  // The text shown when a copy is already running.
  static constexpr const char* kAlreadyRunningText = "aaa";

  // Runs the application; returns the process's exit status.
  int Run();

  // The running main dialog, null before and after it runs.
  MainDialog* Dialog() const { return mainDialog_; }

 private:
  MainDialog* mainDialog_ = nullptr;
};

}  // namespace qtr90x
