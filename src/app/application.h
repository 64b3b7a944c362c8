// The application object: owns what the program keeps for its whole run (the published adapter
// snapshot, the selected adapter, the adapter context, the main window) and wires the main
// window's events to the operations.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace corvane::app {

class Application {
 public:
  explicit Application(platform::Services services);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Start-up: creates the main window (which starts the first enumeration on a worker thread).
  void Start();
  // Start() and then the message loop; returns the process exit code.
  int Run();

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace corvane::app
