#include "platform/keystore.h"

#include <cstdlib>
#include <utility>

#include "platform/folders.h"
#include "platform/ini.h"

namespace zevi {

KeyStore::KeyStore(std::string folder) : folder_(std::move(folder)) {
  if (!folder_.empty()) path_ = folder_ + "/" + kKeyStoreFileName;
}

KeyStore KeyStore::PerUser() { return KeyStore(ApplicationDataFolder()); }

KeyStore KeyStore::PerMachine() {
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  std::string first = dirs != nullptr ? std::string(dirs) : std::string();
  first = first.substr(0, first.find(':'));
  // Relative entries are invalid in the XDG lists.
  if (first.empty() || first.front() != '/') first = "/etc/xdg";
  while (first.size() > 1 && first.back() == '/') first.pop_back();
  return KeyStore(first);
}

std::string KeyStore::Read(const std::string& key, const std::string& name) const {
  if (path_.empty()) return {};
  IniFile file(path_);
  if (!file.Load()) return {};
  return file.Get(key, name);
}

bool KeyStore::Write(const std::string& key, const std::string& name, const std::string& value) {
  if (path_.empty() || !ForceFolder(folder_)) return false;
  IniFile file(path_);
  if (!file.Load()) return false;  // never overwrite values we could not read
  file.Set(key, name, value);
  return file.Save();
}

bool KeyStore::DeleteKey(const std::string& key) {
  if (path_.empty() || !FileExists(path_)) return false;
  IniFile file(path_);
  if (!file.Load()) return false;
  std::string before = file.Text();
  file.EraseSection(key);
  if (file.Text() == before) return false;  // there was no such key
  return file.Save();
}

}  // namespace zevi
