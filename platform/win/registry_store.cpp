#include "platform/win/registry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace platform::win {

namespace fs = std::filesystem;

namespace {

// One lock for the whole store: values files are read, changed and replaced
// as a unit.
std::mutex& storeLock() {
  static std::mutex lock;
  return lock;
}

const char* rootFolderName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case RegistryRoot::CurrentUser: return "HKEY_CURRENT_USER";
    case RegistryRoot::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::Users: return "HKEY_USERS";
    case RegistryRoot::CurrentConfig: return "HKEY_CURRENT_CONFIG";
  }
  return nullptr;
}

// A key name as a folder name: ASCII letters lower-cased, everything but
// letters, digits, '-', '_' and ' ' written as %XX (so "..", "/" and
// ".values" can never clash with the layout).
std::string folderName(const std::string& name) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == ' ') {
      out += static_cast<char>(c);
    } else if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string toHex(const std::string& bytes) {
  static const char* hex = "0123456789abcdef";
  std::string out;
  if (bytes.empty()) return "-";
  for (unsigned char c : bytes) {
    out += hex[c >> 4];
    out += hex[c & 15];
  }
  return out;
}

bool fromHex(const std::string& text, std::string& bytes) {
  bytes.clear();
  if (text == "-") return true;
  if (text.size() % 2) return false;
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  for (size_t i = 0; i < text.size(); i += 2) {
    int hi = digit(text[i]), lo = digit(text[i + 1]);
    if (hi < 0 || lo < 0) return false;
    bytes += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

struct StoredValue {
  std::string name;  // as first written
  RegistryValue value;
};
using ValueTable = std::map<std::string, StoredValue>;  // by lower-cased name

// Reads a key's values; malformed lines are skipped.
ValueTable loadValues(const std::string& folder) {
  ValueTable table;
  std::ifstream in(folder + "/.values", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string type, name, data;
    if (!(fields >> type >> name >> data) || type.size() != 1) continue;
    if (type[0] != 'S' && type[0] != 'D' && type[0] != 'B') continue;
    StoredValue v;
    if (!fromHex(name, v.name) || !fromHex(data, v.value.data)) continue;
    v.value.type = static_cast<RegistryType>(type[0]);
    table[lowerAscii(v.name)] = v;
  }
  return table;
}

bool saveValues(const std::string& folder, const ValueTable& table) {
  std::string image;
  for (const auto& [lower, v] : table)
    image += std::string(1, static_cast<char>(v.value.type)) + " " + toHex(v.name) + " " +
             toHex(v.value.data) + "\n";
  std::string temp = folder + "/.values.XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (ok && done < image.size()) {
    ssize_t n = ::write(fd, image.data() + done, image.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    else done += static_cast<size_t>(n);
  }
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), (folder + "/.values").c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

std::optional<std::string> openPath(std::string folder, const std::string& path) {
  std::string part;
  std::error_code ec;
  auto step = [&]() -> bool {
    if (part.empty()) return true;
    folder += "/" + folderName(part);
    part.clear();
    fs::create_directories(folder, ec);
    return !ec && fs::is_directory(folder, ec);
  };
  for (char c : path) {
    if (c == '\\') {
      if (!step()) return std::nullopt;
    } else {
      part += c;
    }
  }
  if (!step()) return std::nullopt;
  return folder;
}

}  // namespace

std::string registryDirectory() {
  if (const char* dir = std::getenv("POINTSHARE_REGISTRY_DIR"); dir && *dir) return dir;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return std::string(xdg) + "/pointshare/registry";
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.config/pointshare/registry";
  return "/tmp/pointshare-registry";
}

std::optional<RegistryKey> RegistryKey::create(RegistryRoot root, const std::string& path) {
  const char* rootName = rootFolderName(root);
  if (!rootName) return std::nullopt;
  std::lock_guard<std::mutex> guard(storeLock());
  std::error_code ec;
  std::string base = registryDirectory() + "/" + rootName;
  fs::create_directories(base, ec);
  if (!fs::is_directory(base, ec)) return std::nullopt;
  auto folder = openPath(base, path);
  if (!folder) return std::nullopt;
  return RegistryKey(*folder);
}

std::optional<RegistryKey> RegistryKey::createSubKey(const std::string& path) const {
  std::lock_guard<std::mutex> guard(storeLock());
  std::error_code ec;
  if (!fs::is_directory(folder_, ec)) return std::nullopt;  // the key was deleted meanwhile
  auto folder = openPath(folder_, path);
  if (!folder) return std::nullopt;
  return RegistryKey(*folder);
}

std::optional<RegistryValue> RegistryKey::queryValue(const std::string& name) const {
  std::lock_guard<std::mutex> guard(storeLock());
  ValueTable table = loadValues(folder_);
  auto it = table.find(lowerAscii(name));
  if (it == table.end()) return std::nullopt;
  return it->second.value;
}

bool RegistryKey::setValue(const std::string& name, const RegistryValue& value) const {
  std::lock_guard<std::mutex> guard(storeLock());
  std::error_code ec;
  if (!fs::is_directory(folder_, ec)) return false;
  ValueTable table = loadValues(folder_);
  StoredValue& slot = table[lowerAscii(name)];
  if (slot.name.empty()) slot.name = name;
  slot.value = value;
  return saveValues(folder_, table);
}

bool RegistryKey::deleteValue(const std::string& name) const {
  std::lock_guard<std::mutex> guard(storeLock());
  ValueTable table = loadValues(folder_);
  if (table.erase(lowerAscii(name)) == 0) return false;
  return saveValues(folder_, table);
}

bool RegistryKey::deleteSubKey(const std::string& name) const {
  if (name.empty()) return false;
  std::lock_guard<std::mutex> guard(storeLock());
  std::error_code ec;
  std::string folder = folder_;
  std::string part;
  for (char c : name + "\\") {
    if (c != '\\') {
      part += c;
    } else if (!part.empty()) {
      folder += "/" + folderName(part);
      part.clear();
    }
  }
  if (folder == folder_ || !fs::is_directory(folder, ec)) return false;
  return fs::remove_all(folder, ec) != static_cast<std::uintmax_t>(-1) && !ec;
}

}  // namespace platform::win
