// A host over the script control "MSScriptControl.ScriptControl.1": one use on one thread, from
// construction to discard.
#pragma once

#include <memory>
#include <string>

#include "platform/automation.h"

namespace corvane::config {

class ScriptHost {
 public:
  // Initialises the component object library on this thread, creates the control (holding its
  // Error object) and sets the language to "VBScript". A control that cannot be created leaves
  // the host empty: its calls then do nothing.
  explicit ScriptHost(platform::Automation& automation);
  // Discards the host.
  ~ScriptHost();
  ScriptHost(const ScriptHost&) = delete;
  ScriptHost& operator=(const ScriptHost&) = delete;

  bool ready() const { return control_ != nullptr; }
  // The control's creation result (kSOk when it exists).
  platform::HResult creationResult() const { return creation_; }

  // Only the exact text "JScript" passes; anything else becomes "VBScript". Returns the language
  // the control reads back ("" for an empty host).
  std::string Language(const std::string& name);
  platform::HResult AddCode(const std::string& code);
  platform::HResult ExecuteStatement(const std::string& statement);
  platform::HResult Eval(const std::string& expression, platform::WmiValue* value);
  // The Error object's content (number 0: none, or an empty host).
  platform::ScriptError Error();

  // "Clear" on the Error object and "Reset" on the control, both released, and then the
  // initialisation of the construction released. Leaves the thread's count of initialisations
  // where the construction found it. Runs once; the destructor calls it.
  void Discard();

 private:
  platform::Automation& automation_;
  std::unique_ptr<platform::ScriptControl> control_;
  bool initialized_ = false;
  platform::HResult creation_ = platform::kEFail;
};

}  // namespace corvane::config
