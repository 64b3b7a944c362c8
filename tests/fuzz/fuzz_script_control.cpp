// Fuzzes the simulated script control with any procedure text: it compiles or answers a script
// error, and running the procedure changes the machine or answers an error, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/sim/machine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static corvane::sim::Machine* machine = corvane::sim::MakeDemoMachine().release();
  machine->ClearCalls();
  const std::string code(reinterpret_cast<const char*>(data), size);
  corvane::platform::Automation& automation = machine->automation();
  if (automation.Initialize() < 0) return 0;
  {
    std::unique_ptr<corvane::platform::ScriptControl> control;
    if (automation.CreateScriptControl("MSScriptControl.ScriptControl.1", &control) >= 0 && control) {
      control->SetLanguage("VBScript");
      if (control->AddCode(code) >= 0) control->ExecuteStatement("SetIP");
      corvane::platform::ScriptError error;
      control->ReadError(&error);
    }
  }
  automation.Uninitialize();
  return 0;
}
