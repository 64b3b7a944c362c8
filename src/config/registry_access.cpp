#include "config/registry_access.h"

#include <algorithm>

#include "common/text.h"

namespace corvane::config {

namespace {

platform::RegKey RootKey(const std::string& name) {
  if (name == "HKEY_CLASSES_ROOT") return platform::kHkeyClassesRoot;
  if (name == "HKEY_CURRENT_USER") return platform::kHkeyCurrentUser;
  if (name == "HKEY_LOCAL_MACHINE") return platform::kHkeyLocalMachine;
  if (name == "HKEY_USERS") return platform::kHkeyUsers;
  if (name == "HKEY_CURRENT_CONFIG") return platform::kHkeyCurrentConfig;
  return 0;
}

// The predefined key the path starts with (0 when unknown) and the path below it.
platform::RegKey SplitRoot(const std::string& path, std::string* subkey) {
  int slash = text::Find(path, "\\");
  std::string root = slash > 0 ? text::ToUpperAscii(text::Left(path, slash - 1)) : std::string();
  platform::RegKey predefined = RootKey(root);
  if (predefined != 0) *subkey = text::Middle(path, slash + 1);
  return predefined;
}

// The REG_MULTI_SZ bytes of a text with CR LF between its entries.
std::string MultiStringBytes(const std::string& textIn) {
  std::string data = text::ReplaceAll(textIn, "\r\n", std::string(1, '\0'));
  data.append(2, '\0');
  return data;
}

int32_t SetBytes(platform::Registry& registry, platform::RegKey key, const std::string& name, uint32_t type,
                 const std::string& bytes) {
  return registry.SetValue(key, name, type, reinterpret_cast<const uint8_t*>(bytes.data()),
                           static_cast<uint32_t>(bytes.size()));
}

// The value's type and bytes, or the code of the failed query.
int32_t ReadBytes(platform::Registry& registry, platform::RegKey key, const std::string& name, uint32_t* type,
                  std::string* data) {
  for (int attempt = 0; attempt < 4; ++attempt) {
    uint32_t size = 0;
    int32_t result = registry.QueryValue(key, name, type, nullptr, &size);
    if (result != platform::kRegSuccess) return result;
    data->assign(size, '\0');
    result = registry.QueryValue(key, name, type, reinterpret_cast<uint8_t*>(data->data()), &size);
    if (result == platform::kRegMoreData) continue;  // it grew in between
    if (result == platform::kRegSuccess) data->resize(std::min<size_t>(size, data->size()));
    return result;
  }
  return platform::kRegMoreData;
}

}  // namespace

unique_hkey RegistryAccess::OpenKeyByPath(const std::string& path, bool create) {
  std::string subkey;
  platform::RegKey predefined = SplitRoot(path, &subkey);
  if (predefined == 0) return {};
  platform::RegKey key = 0;
  int32_t result = create ? registry_.CreateKey(predefined, subkey, &key) : registry_.OpenKey(predefined, subkey, &key);
  if (result != platform::kRegSuccess || key == 0) return {};
  return unique_hkey(&registry_, key);
}

std::string RegistryAccess::ReadValueBytes(const std::string& path, const std::string& valueName, uint32_t* type) {
  unique_hkey key = OpenKeyByPath(path, false);
  if (!key) return {};
  uint32_t size = 0;
  registry_.QueryValue(key.get(), valueName, type, nullptr, &size);
  std::string data(size, '\0');
  int32_t result = registry_.QueryValue(key.get(), valueName, type,
                                        reinterpret_cast<uint8_t*>(data.data()), &size);
  if (result != platform::kRegSuccess) return {};
  data.resize(std::min<size_t>(size, data.size()));
  return data;
}

int RegistryAccess::WriteValueBytes(const std::string& path, const std::string& valueName, const std::string& bytes,
                                    uint32_t type) {
  unique_hkey key = OpenKeyByPath(path, true);
  if (!key) return 0;
  int32_t result = registry_.SetValue(key.get(), valueName, type, reinterpret_cast<const uint8_t*>(bytes.data()),
                                      static_cast<uint32_t>(bytes.size()));
  return result == platform::kRegSuccess ? 1 : 0;
}

std::string RegistryAccess::ReadMultiStringText(const std::string& path, const std::string& valueName) {
  uint32_t type = platform::kRegMultiSz;
  std::string data = ReadValueBytes(path, valueName, &type);
  std::string textOut;
  textOut.reserve(data.size() + 8);
  for (char c : data) {
    if (c == '\0') {
      textOut += "\r\n";
    } else {
      textOut += c;
    }
  }
  return textOut;
}

int RegistryAccess::WriteMultiStringText(const std::string& path, const std::string& valueName,
                                         const std::string& textIn) {
  return WriteValueBytes(path, valueName, MultiStringBytes(textIn), platform::kRegMultiSz);
}

int RegistryAccess::WriteMultiStringTexts(const std::string& path,
                                          const std::vector<std::pair<std::string, std::string>>& values,
                                          std::vector<std::string>* leftChanged, std::mutex* unbroken) {
  if (leftChanged != nullptr) leftChanged->clear();
  std::string subkey;
  const platform::RegKey predefined = SplitRoot(path, &subkey);
  if (predefined == 0) return 0;
  platform::RegTransaction handle = 0;
  if (registry_.CreateTransaction(&handle) != platform::kRegSuccess || handle == 0)
    return WriteValuesRestoringOnFailure(path, values, leftChanged, unbroken);
  unique_transaction transaction(&registry_, handle);

  platform::RegKey created = 0;
  const int32_t result = registry_.CreateKeyTransacted(predefined, subkey, transaction.get(), &created);
  if (result == platform::kRegProcNotFound || result == platform::kRegCallNotImplemented) {
    // Transactions, but no transacted registry.
    transaction.reset();
    return WriteValuesRestoringOnFailure(path, values, leftChanged, unbroken);
  }
  if (result != platform::kRegSuccess || created == 0) return 0;
  unique_hkey key(&registry_, created);
  for (const auto& [name, textIn] : values) {
    if (SetBytes(registry_, key.get(), name, platform::kRegMultiSz, MultiStringBytes(textIn)) !=
        platform::kRegSuccess)
      return 0;  // the transaction, closed uncommitted, takes back what was set
  }
  key.reset();
  return registry_.CommitTransaction(transaction.get()) == platform::kRegSuccess ? 1 : 0;
}

int RegistryAccess::WriteValuesRestoringOnFailure(const std::string& path,
                                                  const std::vector<std::pair<std::string, std::string>>& values,
                                                  std::vector<std::string>* leftChanged, std::mutex* unbroken) {
  std::unique_lock<std::mutex> whole;
  if (unbroken != nullptr) whole = std::unique_lock<std::mutex>(*unbroken);
  unique_hkey key = OpenKeyByPath(path, true);
  if (!key) return 0;
  // Every value as it was, read before anything is written: one that cannot be read could not be
  // put back, so nothing is written.
  struct Previous {
    bool existed = false;
    uint32_t type = 0;
    std::string data;
  };
  std::vector<Previous> previous(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    const int32_t read =
        ReadBytes(registry_, key.get(), values[i].first, &previous[i].type, &previous[i].data);
    if (read != platform::kRegSuccess && read != platform::kRegFileNotFound) return 0;
    previous[i].existed = read == platform::kRegSuccess;
  }
  for (size_t i = 0; i < values.size(); ++i) {
    if (SetBytes(registry_, key.get(), values[i].first, platform::kRegMultiSz,
                 MultiStringBytes(values[i].second)) == platform::kRegSuccess)
      continue;
    while (i-- > 0) {
      const int32_t back = previous[i].existed
                               ? SetBytes(registry_, key.get(), values[i].first, previous[i].type, previous[i].data)
                               : registry_.DeleteValue(key.get(), values[i].first);
      if (back != platform::kRegSuccess && leftChanged != nullptr) leftChanged->insert(leftChanged->begin(), values[i].first);
    }
    return 0;
  }
  return 1;
}

}  // namespace corvane::config
