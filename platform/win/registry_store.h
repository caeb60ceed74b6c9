// A small registry: a tree of keys, each holding named values, kept in files
// under the user's configuration folder:
//
//   $POINTSHARE_REGISTRY_DIR, or $XDG_CONFIG_HOME/pointshare/registry,
//   or ~/.config/pointshare/registry
//
// Each root key is a folder there, each sub-key a folder below its parent;
// a key's values live in the file ".values" of its folder, one line per
// value ("<type> <hex name> <hex data>"), rewritten atomically on change.
// Key and value names compare without regard to ASCII case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::win {

enum class RegistryRoot { ClassesRoot = 0, CurrentUser = 1, LocalMachine = 2, Users = 3, CurrentConfig = 4 };

enum class RegistryType : char { String = 'S', DWord = 'D', Binary = 'B' };

struct RegistryValue {
  RegistryType type = RegistryType::Binary;
  std::string data;  // raw bytes (a DWord is 4 bytes, little-endian)
};

// The folder that holds the store (computed from the environment each call).
std::string registryDirectory();

// An open key: just the folder that holds it. Copyable; nothing to close.
class RegistryKey {
 public:
  // Opens root\path (path parts separated by backslashes), creating the
  // missing keys. Empty path parts are skipped. Nothing on failure.
  static std::optional<RegistryKey> create(RegistryRoot root, const std::string& path);
  // Opens (creating if missing) a sub-key of this key.
  std::optional<RegistryKey> createSubKey(const std::string& path) const;

  std::optional<RegistryValue> queryValue(const std::string& name) const;
  bool setValue(const std::string& name, const RegistryValue& value) const;
  // False when the value does not exist or the key cannot be written.
  bool deleteValue(const std::string& name) const;
  // Deletes a sub-key with everything below it; false when it does not exist.
  bool deleteSubKey(const std::string& name) const;

  const std::string& folder() const { return folder_; }

 private:
  explicit RegistryKey(std::string folder) : folder_(std::move(folder)) {}
  std::string folder_;
};

}  // namespace platform::win
