#include "config/script_host.h"

namespace corvane::config {

namespace {
constexpr char kProgId[] = "MSScriptControl.ScriptControl.1";
}

ScriptHost::ScriptHost(platform::Automation& automation) : automation_(automation) {
  initialized_ = platform::Succeeded(automation_.Initialize());
  creation_ = automation_.CreateScriptControl(kProgId, &control_);
  if (!platform::Succeeded(creation_)) {
    control_.reset();
    return;
  }
  if (control_ == nullptr) {
    creation_ = platform::kEFail;
    return;
  }
  Language("VBScript");
}

ScriptHost::~ScriptHost() { Discard(); }

std::string ScriptHost::Language(const std::string& name) {
  if (!control_) return {};
  control_->SetLanguage(name == "JScript" ? "JScript" : "VBScript");
  std::string language;
  control_->GetLanguage(&language);
  return language;
}

platform::HResult ScriptHost::AddCode(const std::string& code) {
  return control_ ? control_->AddCode(code) : platform::kEFail;
}

platform::HResult ScriptHost::ExecuteStatement(const std::string& statement) {
  return control_ ? control_->ExecuteStatement(statement) : platform::kEFail;
}

platform::HResult ScriptHost::Eval(const std::string& expression, platform::WmiValue* value) {
  if (value != nullptr) *value = platform::WmiValue::Null();
  return control_ ? control_->Eval(expression, value) : platform::kEFail;
}

platform::ScriptError ScriptHost::Error() {
  platform::ScriptError error;
  if (control_) control_->ReadError(&error);
  return error;
}

void ScriptHost::Discard() {
  // The objects go while the thread is still initialised; the initialisation goes last.
  if (control_) {
    control_->ClearError();
    control_->Reset();
    control_.reset();
  }
  if (initialized_) {
    initialized_ = false;
    automation_.Uninitialize();
  }
}

}  // namespace corvane::config
