#include "pellum/mxRegistry.h"

#include <cstring>
#include <mutex>
#include <string>

#include "platform/win/registry_store.h"

namespace pw = platform::win;

namespace {

constexpr size_t kTextArea = 256;

// Company and product names, shared by all objects.
struct Names {
  std::mutex lock;
  mxString company = "Company";
  mxString product = "Product";
};
Names& names() {
  static Names n;
  return n;
}

std::string text(const mxString& s) { return s.c_str() ? s.c_str() : ""; }

}  // namespace

mxRegistry::mxRegistry() = default;
mxRegistry::~mxRegistry() { closeKey(); }

void mxRegistry::setCompanyName(const mxString& name) {
  std::lock_guard<std::mutex> guard(names().lock);
  names().company = name;
}
const mxString& mxRegistry::getCompanyName() { return names().company; }
void mxRegistry::setProductName(const mxString& name) {
  std::lock_guard<std::mutex> guard(names().lock);
  names().product = name;
}
const mxString& mxRegistry::getProductName() { return names().product; }

bool mxRegistry::createKey(const mxString& name, RootKeyEnum root) {
  if (root < ClassesRoot || root > CurrentConfig) return false;
  std::string path;
  {
    std::lock_guard<std::mutex> guard(names().lock);
    path = "Software\\" + text(names().company) + "\\" + text(names().product) + "\\" + text(name);
  }
  auto key = pw::RegistryKey::create(static_cast<pw::RegistryRoot>(root), path);
  if (!key) return false;
  closeKey();
  key_ = new pw::RegistryKey(*key);
  return true;
}

bool mxRegistry::closeKey() {
  if (!key_) return false;
  delete key_;
  key_ = nullptr;
  return true;
}

unsigned mxRegistry::readUInt(const mxString& section, const mxString& key, unsigned def) const {
  if (!key_) return def;
  auto sub = key_->createSubKey(text(section));
  if (!sub) return def;
  auto value = sub->queryValue(text(key));
  if (!value || value->type != pw::RegistryType::DWord || value->data.size() != 4) return def;
  const auto* b = reinterpret_cast<const unsigned char*>(value->data.data());
  return unsigned{b[0]} | unsigned{b[1]} << 8 | unsigned{b[2]} << 16 | unsigned{b[3]} << 24;
}

bool mxRegistry::writeUInt(const mxString& section, const mxString& key, unsigned value) const {
  if (!key_) return false;
  auto sub = key_->createSubKey(text(section));
  if (!sub) return false;
  pw::RegistryValue v;
  v.type = pw::RegistryType::DWord;
  for (int i = 0; i < 4; ++i) v.data += static_cast<char>((value >> (8 * i)) & 0xFF);
  return sub->setValue(text(key), v);
}

mxString mxRegistry::readString(const mxString& section, const mxString& key, const mxString& def) const {
  if (!key_) return def;
  auto sub = key_->createSubKey(text(section));
  if (!sub) return def;
  auto value = sub->queryValue(text(key));
  if (!value || value->type != pw::RegistryType::String || value->data.size() > kTextArea) return def;
  // A text stored without NUL reads back whole; one with NULs ends at the first.
  return mxString(value->data.data(), static_cast<unsigned>(value->data.size()));
}

bool mxRegistry::writeString(const mxString& section, const mxString& key, const mxString& value) const {
  if (!key_) return false;
  auto sub = key_->createSubKey(text(section));
  if (!sub) return false;
  pw::RegistryValue v;
  v.type = pw::RegistryType::String;
  v.data = text(value);
  return sub->setValue(text(key), v);
}

bool mxRegistry::deleteValue(const mxString& section, const mxString& key) const {
  if (!key_) return false;
  auto sub = key_->createSubKey(text(section));
  return sub && sub->deleteValue(text(key));
}

bool mxRegistry::deleteSection(const mxString& section) const {
  if (!key_ || section.isEmpty()) return false;
  return key_->deleteSubKey(text(section));
}
