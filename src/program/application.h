// The application object, the program's composition root: owns what the program keeps for its
// whole run and wires the main window's events to the operations of every part (the adapter view,
// the address operations, the configuration, the information items). Nothing below includes it.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace corvane::app {
class AppContext;
}

namespace corvane::program {

using app::AppContext;

class Application {
 public:
  explicit Application(platform::Services services);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Start-up: creates the main window, whose created event starts the first enumeration on a
  // worker thread.
  void Start();
  // Start() and then the message loop; returns the process exit code.
  int Run();

  AppContext& context() { return *context_; }

 private:
  void OnMainWindowEvent(platform::Window& window, const platform::Event& event);
  void OnCreated(platform::Window& window);
  void OnMenuItem(const std::string& item);

  std::unique_ptr<AppContext> context_;
};

}  // namespace corvane::program
