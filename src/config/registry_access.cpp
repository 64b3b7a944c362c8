#include "config/registry_access.h"

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

}  // namespace

unique_hkey RegistryAccess::OpenKeyByPath(const std::string& path, bool create) {
  int slash = text::Find(path, "\\");
  std::string root = slash > 0 ? text::ToUpperAscii(text::Left(path, slash - 1)) : std::string();
  platform::RegKey predefined = RootKey(root);
  if (predefined == 0) return {};
  std::string subkey = text::Middle(path, slash + 1);
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
  std::string data = text::ReplaceAll(textIn, "\r\n", std::string(1, '\0'));
  data.append(2, '\0');
  return WriteValueBytes(path, valueName, data, platform::kRegMultiSz);
}

int RegistryAccess::WriteMultiStringTexts(const std::string& path,
                                          const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [name, textIn] : values)
    if (WriteMultiStringText(path, name, textIn) != 1) return 0;
  return 1;
}

}  // namespace corvane::config
