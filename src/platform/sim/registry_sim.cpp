// The simulated registry: one hive in memory below the predefined root keys. Key and value names
// compare without regard to ASCII letter case, as the system's do. A transaction keeps the keys
// created and the values changed through its keys to itself (its keys read them; no other key
// does) until its commit applies them together.
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

constexpr int32_t kErrorTransactionNotActive = 6701;

// Where a key handle points: its root's index and the path below it (for a key opened without a
// transaction, found by walking the hive).
bool FindNode(const RegNode& from, const RegNode* target, std::vector<std::string>* path) {
  for (const auto& [folded, child] : from.children) {
    path->push_back(child->name);
    if (child.get() == target || FindNode(*child, target, path)) return true;
    path->pop_back();
  }
  return false;
}

bool PlaceOf(Machine::State& s, platform::RegKey key, int* root, std::vector<std::string>* path) {
  if (key >= platform::kHkeyClassesRoot && key <= platform::kHkeyCurrentConfig) {
    *root = static_cast<int>(key - platform::kHkeyClassesRoot);
    return true;
  }
  if (auto it = s.transactedKeys.find(key); it != s.transactedKeys.end()) {
    *root = it->second.root;
    *path = it->second.path;
    return true;
  }
  auto it = s.openKeys.find(key);
  if (it == s.openKeys.end()) return false;
  for (int i = 0; i < 6; ++i) {
    path->clear();
    if (&s.roots[i] == it->second || FindNode(s.roots[i], it->second, path)) {
      *root = i;
      return true;
    }
  }
  return false;
}

std::string StagedId(int root, const std::vector<std::string>& path) {
  std::string id = std::to_string(root);
  for (const auto& part : path) {
    id += '\\';
    id += FoldCase(part);
  }
  return id;
}

RegNode* CommittedNode(Machine::State& s, int root, const std::vector<std::string>& path) {
  RegNode* node = &s.roots[root];
  for (const auto& part : path) {
    auto it = node->children.find(FoldCase(part));
    if (it == node->children.end()) return nullptr;
    node = it->second.get();
  }
  return node;
}

RegTransactionSim* ActiveTransaction(Machine::State& s, platform::RegTransaction transaction) {
  auto it = s.transactions.find(transaction);
  return it == s.transactions.end() || it->second.committed ? nullptr : &it->second;
}

// The value as the transaction's keys see it: its own change, else the hive's.
const RegValue* TransactedValue(Machine::State& s, const RegTransactedKey& key, const std::string& name) {
  if (RegTransactionSim* t = ActiveTransaction(s, key.transaction)) {
    auto staged = t->keys.find(StagedId(key.root, key.path));
    if (staged != t->keys.end()) {
      auto value = staged->second.values.find(FoldCase(name));
      if (value != staged->second.values.end()) return value->second ? &*value->second : nullptr;
    }
  }
  RegNode* node = CommittedNode(s, key.root, key.path);
  if (node == nullptr) return nullptr;
  auto it = node->values.find(FoldCase(name));
  return it == node->values.end() ? nullptr : &it->second;
}

RegStagedKey& StagedKey(RegTransactionSim& t, int root, const std::vector<std::string>& path) {
  RegStagedKey& staged = t.keys[StagedId(root, path)];
  staged.root = root;
  if (staged.path.empty()) staged.path = path;
  return staged;
}

}  // namespace

int32_t RegistrySim::OpenOrCreate(const char* operation, platform::RegKey parent, const std::string& subkey,
                                  bool create, platform::RegTransaction transaction,
                                  platform::RegKey* result) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](int32_t code) {
    s_.Record(std::string(operation) + "(" + Hex(parent) + ", " + subkey +
              (transaction != 0 ? ", " + Hex(transaction) : std::string()) + ") -> " + std::to_string(code));
    return code;
  };
  if (result != nullptr) *result = 0;
  if (auto f = s_.TakeFailure(operation)) return finish(static_cast<int32_t>(*f));
  if (transaction != 0 && !s_.registryTransactionsAvailable) return finish(platform::kRegProcNotFound);
  if (result == nullptr) return finish(static_cast<int32_t>(platform::kErrorInvalidParameter));
  std::vector<std::string> parts;
  if (!SplitPath(subkey, &parts)) return finish(static_cast<int32_t>(platform::kErrorInvalidParameter));

  // Through a transaction (given, or the parent's): the key's place is staged, not made.
  auto transactedParent = s_.transactedKeys.find(parent);
  if (transaction == 0 && transactedParent != s_.transactedKeys.end())
    transaction = transactedParent->second.transaction;
  if (transaction != 0) {
    RegTransactedKey key{transaction, 0, {}};
    if (!PlaceOf(s_, parent, &key.root, &key.path) || s_.transactions.count(transaction) == 0)
      return finish(platform::kRegInvalidHandle);
    RegTransactionSim* t = ActiveTransaction(s_, transaction);
    if (t == nullptr) return finish(kErrorTransactionNotActive);
    key.path.insert(key.path.end(), parts.begin(), parts.end());
    if (create) {
      StagedKey(*t, key.root, key.path);
    } else if (CommittedNode(s_, key.root, key.path) == nullptr) {
      // Made in this transaction: staged itself, or a key staged below it.
      const std::string id = StagedId(key.root, key.path);
      auto below = t->keys.lower_bound(id + "\\");
      if (t->keys.count(id) == 0 && (below == t->keys.end() || below->first.rfind(id + "\\", 0) != 0))
        return finish(platform::kRegFileNotFound);
    }
    platform::RegKey handle = s_.nextKeyHandle;
    s_.nextKeyHandle += 4;
    s_.transactedKeys[handle] = std::move(key);
    *result = handle;
    return finish(platform::kRegSuccess);
  }

  RegNode* node = Resolve(s_, parent);
  if (node == nullptr) return finish(platform::kRegInvalidHandle);
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
  return OpenOrCreate("RegCreateKeyA", parent, subkey, true, 0, result);
}

int32_t RegistrySim::OpenKey(platform::RegKey parent, const std::string& subkey, platform::RegKey* result) {
  return OpenOrCreate("RegOpenKeyA", parent, subkey, false, 0, result);
}

int32_t RegistrySim::CreateKeyTransacted(platform::RegKey parent, const std::string& subkey,
                                         platform::RegTransaction transaction, platform::RegKey* result) {
  if (transaction == 0) {  // no transaction: the call fails rather than writing without one
    std::lock_guard lock(s_.mutex);
    if (result != nullptr) *result = 0;
    int32_t code = platform::kRegInvalidHandle;
    if (auto f = s_.TakeFailure("RegCreateKeyTransactedA")) code = static_cast<int32_t>(*f);
    s_.Record("RegCreateKeyTransactedA(" + Hex(parent) + ", " + subkey + ", 0x0) -> " + std::to_string(code));
    return code;
  }
  return OpenOrCreate("RegCreateKeyTransactedA", parent, subkey, true, transaction, result);
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
  const RegValue* found = nullptr;
  if (auto transacted = s_.transactedKeys.find(key); transacted != s_.transactedKeys.end()) {
    found = TransactedValue(s_, transacted->second, valueName);
  } else {
    RegNode* node = Resolve(s_, key);
    if (node == nullptr) return finish(platform::kRegInvalidHandle);
    auto it = node->values.find(FoldCase(valueName));
    if (it != node->values.end()) found = &it->second;
  }
  if (data != nullptr && size == nullptr)
    return finish(static_cast<int32_t>(platform::kErrorInvalidParameter));
  if (found == nullptr) return finish(platform::kRegFileNotFound);
  const RegValue& v = *found;
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
  if (auto transacted = s_.transactedKeys.find(key); transacted != s_.transactedKeys.end()) {
    if (data == nullptr && size > 0) return finish(static_cast<int32_t>(platform::kErrorInvalidParameter));
    const RegTransactedKey& place = transacted->second;
    RegTransactionSim* t = ActiveTransaction(s_, place.transaction);
    if (t == nullptr) return finish(kErrorTransactionNotActive);
    StagedKey(*t, place.root, place.path).values[FoldCase(valueName)] = RegValue{
        valueName, type, std::string(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size)};
    return finish(platform::kRegSuccess);
  }
  RegNode* node = Resolve(s_, key);
  if (node == nullptr) return finish(platform::kRegInvalidHandle);
  if (data == nullptr && size > 0) return finish(static_cast<int32_t>(platform::kErrorInvalidParameter));
  RegValue& v = node->values[FoldCase(valueName)];
  if (v.name.empty()) v.name = valueName;
  v.type = type;
  v.data.assign(reinterpret_cast<const char*>(data), data == nullptr ? 0 : size);
  return finish(platform::kRegSuccess);
}

int32_t RegistrySim::DeleteValue(platform::RegKey key, const std::string& valueName) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](int32_t code) {
    s_.Record("RegDeleteValueA(" + Hex(key) + ", " + valueName + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("RegDeleteValueA")) return finish(static_cast<int32_t>(*f));
  if (auto transacted = s_.transactedKeys.find(key); transacted != s_.transactedKeys.end()) {
    const RegTransactedKey& place = transacted->second;
    RegTransactionSim* t = ActiveTransaction(s_, place.transaction);
    if (t == nullptr) return finish(kErrorTransactionNotActive);
    if (TransactedValue(s_, place, valueName) == nullptr) return finish(platform::kRegFileNotFound);
    StagedKey(*t, place.root, place.path).values[FoldCase(valueName)] = std::nullopt;
    return finish(platform::kRegSuccess);
  }
  RegNode* node = Resolve(s_, key);
  if (node == nullptr) return finish(platform::kRegInvalidHandle);
  if (node->values.erase(FoldCase(valueName)) == 0) return finish(platform::kRegFileNotFound);
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
  if (s_.openKeys.erase(key) == 0 && s_.transactedKeys.erase(key) == 0)
    return finish(platform::kRegInvalidHandle);
  return finish(platform::kRegSuccess);
}

int32_t RegistrySim::CreateTransaction(platform::RegTransaction* transaction) {
  std::lock_guard lock(s_.mutex);
  if (transaction != nullptr) *transaction = 0;
  platform::RegTransaction handle = 0;
  auto finish = [&](int32_t code) {
    s_.Record("CreateTransaction() -> " + std::to_string(code) +
              (code == 0 ? " " + Hex(handle) : std::string()));
    return code;
  };
  if (auto f = s_.TakeFailure("CreateTransaction")) return finish(static_cast<int32_t>(*f));
  if (!s_.registryTransactionsAvailable) return finish(platform::kRegProcNotFound);
  if (transaction == nullptr) return finish(static_cast<int32_t>(platform::kErrorInvalidParameter));
  handle = s_.nextTransactionHandle;
  s_.nextTransactionHandle += 4;
  s_.transactions[handle] = RegTransactionSim{};
  *transaction = handle;
  return finish(platform::kRegSuccess);
}

int32_t RegistrySim::CommitTransaction(platform::RegTransaction transaction) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](int32_t code) {
    s_.Record("CommitTransaction(" + Hex(transaction) + ") -> " + std::to_string(code));
    return code;
  };
  if (auto f = s_.TakeFailure("CommitTransaction")) return finish(static_cast<int32_t>(*f));
  auto it = s_.transactions.find(transaction);
  if (it == s_.transactions.end()) return finish(platform::kRegInvalidHandle);
  if (it->second.committed) return finish(kErrorTransactionNotActive);
  // Every staged change at once, under the lock: no reader sees a part of them.
  for (auto& [id, staged] : it->second.keys) {
    std::string path;
    for (const auto& part : staged.path) path += (path.empty() ? "" : "\\") + part;
    RegNode* node = s_.CreatePath(&s_.roots[staged.root], path);
    for (auto& [folded, value] : staged.values) {
      if (!value) {
        node->values.erase(folded);
        continue;
      }
      RegValue& v = node->values[folded];
      if (v.name.empty()) v.name = value->name;
      v.type = value->type;
      v.data = std::move(value->data);
    }
  }
  it->second.keys.clear();
  it->second.committed = true;
  return finish(platform::kRegSuccess);
}

void RegistrySim::CloseTransaction(platform::RegTransaction transaction) {
  std::lock_guard lock(s_.mutex);
  auto finish = [&](int32_t code) {
    s_.Record("CloseHandle(" + Hex(transaction) + ") -> " + std::to_string(code));
  };
  if (auto f = s_.TakeFailure("CloseHandle")) return finish(static_cast<int32_t>(*f));
  // An uncommitted transaction's changes go with it.
  finish(s_.transactions.erase(transaction) == 0 ? platform::kRegInvalidHandle : platform::kRegSuccess);
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
