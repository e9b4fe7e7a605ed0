#pragma once
// Per-user and per-machine string values under named keys, standing in for
// the registry: one INI file "zevi-registry.ini" per store, a key being a
// section ("Software\Vozirado\ZEVI") and a value one of its entries.
//
// A store that cannot be read holds no values; one that cannot be written
// says so by the result of Write, and callers that may go without (the
// per-machine store of an ordinary user) ignore it.
#include <string>

namespace zevi {

inline constexpr const char* kKeyStoreFileName = "zevi-registry.ini";

class KeyStore {
 public:
  // The store's file lives in `folder`; an empty folder gives a store that
  // holds nothing and takes nothing.
  explicit KeyStore(std::string folder);

  // $XDG_CONFIG_HOME, else ~/.config.
  static KeyStore PerUser();
  // The first folder of $XDG_CONFIG_DIRS, else /etc/xdg.
  static KeyStore PerMachine();

  const std::string& FilePath() const { return path_; }

  // Empty when the key, the value or the file is missing.
  std::string Read(const std::string& key, const std::string& name) const;
  // Creates the folder, the file and the key as needed. False when the
  // store cannot be written.
  bool Write(const std::string& key, const std::string& name, const std::string& value);
  // True when the key was there and is gone with all its values.
  bool DeleteKey(const std::string& key);

 private:
  std::string folder_;
  std::string path_;
};

}  // namespace zevi
