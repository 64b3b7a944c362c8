// The simulated registry: one hive in memory below the predefined root keys. Key and value names
// compare without regard to ASCII letter case, as the system's do.
#include <cstdio>
#include <cstring>

#include "platform/sim/sim_state.h"

namespace corvane::sim {

namespace {

std::string Hex(uintptr_t v) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "0x%llX", static_cast<unsigned long long>(v));
  return buffer;
}

RegNode* Resolve(Machine::State& s, platform::RegKey key) {
  if (key >= platform::kHkeyClassesRoot && key <= platform::kHkeyCurrentConfig)
    return &s.roots[key - platform::kHkeyClassesRoot];
  auto it = s.openKeys.find(key);
  return it == s.openKeys.end() ? nullptr : it->second;
}

// Splits a subkey path at its backslashes. A leading backslash or an empty part between two
// backslashes is an error; one trailing backslash is tolerated.
bool SplitPath(const std::string& path, std::vector<std::string>* parts) {
  if (!path.empty() && path[0] == '\\') return false;
  size_t start = 0;
  while (start < path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    if (end == start) return false;
    parts->push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

}  // namespace

int32_t RegistrySim::OpenOrCreate(const char* operation, platform::RegKey parent, const std::string& subkey,
                                  bool create, platform::RegKey* result) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](int32_t code) {
    s_.Record(std::string(operation) + "(" + Hex(parent) + ", " + subkey + ") -> " + std::to_string(code));
    return code;
  };
  if (result != nullptr) *result = 0;
  if (auto f = s_.TakeFailure(operation)) return finish(static_cast<int32_t>(*f));
  if (result == nullptr) return finish(static_cast<int32_t>(platform::kErrorInvalidParameter));
  RegNode* node = Resolve(s_, parent);
  if (node == nullptr) return finish(platform::kRegInvalidHandle);
  std::vector<std::string> parts;
  if (!SplitPath(subkey, &parts)) return finish(static_cast<int32_t>(platform::kErrorInvalidParameter));
  for (const auto& part : parts) {
    auto& child = node->children[FoldCase(part)];
    if (!child) {
      if (!create) {
        node->children.erase(FoldCase(part));
        return finish(platform::kRegFileNotFound);
      }
      child = std::make_unique<RegNode>();
      child->name = part;
    }
    node = child.get();
  }
  platform::RegKey handle = s_.nextKeyHandle;
  s_.nextKeyHandle += 4;
  s_.openKeys[handle] = node;
  *result = handle;
  return finish(platform::kRegSuccess);
}

int32_t RegistrySim::CreateKey(platform::RegKey parent, const std::string& subkey, platform::RegKey* result) {
  return OpenOrCreate("RegCreateKeyA", parent, subkey, true, result);
}

int32_t RegistrySim::OpenKey(platform::RegKey parent, const std::string& subkey, platform::RegKey* result) {
  return OpenOrCreate("RegOpenKeyA", parent, subkey, false, result);
}

int32_t RegistrySim::QueryValue(platform::RegKey key, const std::string& valueName, uint32_t* type,
                                uint8_t* data, uint32_t* size) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](int32_t code) {
    s_.Record("RegQueryValueExA(" + Hex(key) + ", " + valueName + ", " +
              (data == nullptr ? "null" : "buffer") + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("RegQueryValueExA")) return finish(static_cast<int32_t>(*f));
  RegNode* node = Resolve(s_, key);
  if (node == nullptr) return finish(platform::kRegInvalidHandle);
  if (data != nullptr && size == nullptr)
    return finish(static_cast<int32_t>(platform::kErrorInvalidParameter));
  auto it = node->values.find(FoldCase(valueName));
  if (it == node->values.end()) return finish(platform::kRegFileNotFound);
  const RegValue& v = it->second;
  if (type != nullptr) *type = v.type;
  if (size == nullptr) return finish(platform::kRegSuccess);
  const auto length = static_cast<uint32_t>(v.data.size());
  if (data != nullptr && *size < length) {
    *size = length;
    return finish(platform::kRegMoreData);
  }
  if (data != nullptr) std::memcpy(data, v.data.data(), length);
  *size = length;
  return finish(platform::kRegSuccess);
}

int32_t RegistrySim::SetValue(platform::RegKey key, const std::string& valueName, uint32_t type,
                              const uint8_t* data, uint32_t size) {
  s_.Delay("RegSetValueExA");
  std::lock_guard lock(s_.mutex);
  auto finish = [&](int32_t code) {
    s_.Record("RegSetValueExA(" + Hex(key) + ", " + valueName + ", " + std::to_string(type) + ", " +
              std::to_string(size) + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("RegSetValueExA")) return finish(static_cast<int32_t>(*f));
  RegNode* node = Resolve(s_, key);
  if (node == nullptr) return finish(platform::kRegInvalidHandle);
  if (data == nullptr && size > 0) return finish(static_cast<int32_t>(platform::kErrorInvalidParameter));
  RegValue& v = node->values[FoldCase(valueName)];
  if (v.name.empty()) v.name = valueName;
  v.type = type;
  v.data.assign(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size);
  return finish(platform::kRegSuccess);
}

int32_t RegistrySim::CloseKey(platform::RegKey key) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](int32_t code) {
    s_.Record("RegCloseKey(" + Hex(key) + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("RegCloseKey")) return finish(static_cast<int32_t>(*f));
  if (key >= platform::kHkeyClassesRoot && key <= platform::kHkeyCurrentConfig)
    return finish(platform::kRegSuccess);
  if (s_.openKeys.erase(key) == 0) return finish(platform::kRegInvalidHandle);
  return finish(platform::kRegSuccess);
}

std::string RegistrySim::ExpandEnvironment(const std::string& text) {
  std::lock_guard lock(s_.mutex);
  const std::pair<const char*, std::string> table[] = {
      {"SystemRoot", "C:\\Windows"},
      {"windir", "C:\\Windows"},
      {"SystemDrive", "C:"},
      {"ProgramFiles", "C:\\Program Files"},
      {"ProgramData", "C:\\ProgramData"},
      {"USERPROFILE", "C:\\Users\\Administrator"},
      {"APPDATA", "C:\\Users\\Administrator\\AppData\\Roaming"},
      {"TEMP", "C:\\Users\\Administrator\\AppData\\Local\\Temp"},
      {"TMP", "C:\\Users\\Administrator\\AppData\\Local\\Temp"},
      {"COMPUTERNAME", s_.hostName},
  };
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find('%', i);
    if (open == std::string::npos) break;
    size_t close = text.find('%', open + 1);
    if (close == std::string::npos) break;
    out.append(text, i, open - i);
    const std::string name = text.substr(open + 1, close - open - 1);
    bool found = false;
    for (const auto& [variable, value] : table) {
      if (EqualsIgnoreCase(name, variable)) {
        out += value;
        found = true;
        break;
      }
    }
    if (found) {
      i = close + 1;
    } else {
      // An unknown variable stays as written; its closing '%' may open the next one.
      out.append(text, open, close - open);
      i = close;
    }
  }
  out.append(text, i, std::string::npos);
  s_.Record("ExpandEnvironmentStringsA(" + text + ") -> " + out);
  return out;
}

}  // namespace corvane::sim
