// mxRegistry: values under the key Software\<company>\<product>\<name> of
// one of the registry's root keys. Each value operation opens (creating if
// missing) the sub-key named by the section, works there and closes it.
// The registry is a small file-backed store in the user's configuration
// folder (see platform/win/registry_store.h).
#pragma once

#include <optional>

#include "pellum/mxString.h"

namespace platform::win {
class RegistryKey;
}

class mxRegistry {
 public:
  enum RootKeyEnum : int { ClassesRoot = 0, CurrentUser = 1, LocalMachine = 2, Users = 3, CurrentConfig = 4 };

  mxRegistry();
  ~mxRegistry();
  mxRegistry(const mxRegistry&) = delete;
  mxRegistry& operator=(const mxRegistry&) = delete;

  static void setCompanyName(const mxString& name);
  static const mxString& getCompanyName();
  static void setProductName(const mxString& name);
  static const mxString& getProductName();

  // Opens (creating if missing) Software\company\product\name under the
  // root; false for an unknown root or when the key cannot be opened.
  bool createKey(const mxString& name, RootKeyEnum root);
  // Closes the open key; false when none is open.
  bool closeKey();

  // Reads give the default when no key is open, the value is missing or of
  // another kind, or it does not fit (4 bytes for numbers, 256 for texts).
  unsigned readUInt(const mxString& section, const mxString& key, unsigned def) const;
  bool writeUInt(const mxString& section, const mxString& key, unsigned value) const;
  mxString readString(const mxString& section, const mxString& key, const mxString& def) const;
  // Stores exactly length() bytes, without a terminating NUL.
  bool writeString(const mxString& section, const mxString& key, const mxString& value) const;
  bool deleteValue(const mxString& section, const mxString& key) const;
  bool deleteSection(const mxString& section) const;

 private:
  platform::win::RegistryKey* key_ = nullptr;
};
