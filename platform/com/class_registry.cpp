#include "platform/com/class_registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/com/log.h"

#ifndef PLATFORM_COM_BUILD_REGISTRY
#define PLATFORM_COM_BUILD_REGISTRY ""
#endif

namespace {

std::vector<std::string> split(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t pos = s.find(sep, start);
    out.push_back(s.substr(start, pos == std::string::npos ? std::string::npos : pos - start));
    if (pos == std::string::npos) break;
    start = pos + 1;
  }
  return out;
}

bool parseMerit(const std::string& s, uint32_t& merit) {
  if (s.empty()) return false;
  char* end = nullptr;
  unsigned long v = std::strtoul(s.c_str(), &end, 16);
  if (*end || v > 0xFFFFFFFFul) return false;
  merit = static_cast<uint32_t>(v);
  return true;
}

bool parsePins(const std::string& s, std::vector<RegisteredPin>& pins) {
  if (s.empty()) return true;
  for (const std::string& p : split(s, ';')) {
    RegisteredPin pin;
    std::string types;
    if (p.rfind("in:", 0) == 0)
      pin.output = false, types = p.substr(3);
    else if (p.rfind("out:", 0) == 0)
      pin.output = true, types = p.substr(4);
    else
      return false;
    if (!types.empty())
      for (const std::string& t : split(types, ',')) {
        auto parts = split(t, '/');
        RegisteredPinType rt;
        if (parts.size() != 2 || !guidFromString(parts[0].c_str(), rt.major) ||
            !guidFromString(parts[1].c_str(), rt.subtype))
          return false;
        pin.types.push_back(rt);
      }
    pins.push_back(std::move(pin));
  }
  return true;
}

std::string cleanField(std::string s) {
  std::replace(s.begin(), s.end(), '\t', ' ');
  std::replace(s.begin(), s.end(), '\n', ' ');
  return s;
}

}  // namespace

std::string ClassRegistry::defaultPath() {
  if (const char* env = std::getenv("POINTSHARE_CLASS_REGISTRY"); env && *env) return env;
  if (*PLATFORM_COM_BUILD_REGISTRY) return PLATFORM_COM_BUILD_REGISTRY;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : ".") + "/.config/pointshare/class_registry.txt";
}

ClassRegistry::ClassRegistry(std::string path) : path_(std::move(path)) {}

bool ClassRegistry::parse(const std::string& path, const std::string& text) {
  std::istringstream in(text);
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (line.empty() || line[0] == '#') continue;
    auto f = split(line, '\t');
    bool ok = false;
    if (f[0] == "class" && f.size() == 6) {
      ClassRecord r;
      ok = guidFromString(f[1].c_str(), r.clsid) && parseMerit(f[4], r.merit) && parsePins(f[5], r.pins);
      r.module = f[2];
      r.name = f[3];
      if (ok) classes_.push_back(std::move(r));
    } else if (f[0] == "member" && f.size() == 6) {
      CategoryMember m;
      ok = guidFromString(f[1].c_str(), m.category) && guidFromString(f[2].c_str(), m.clsid) &&
           parseMerit(f[4], m.merit);
      m.name = f[3];
      m.instance = f[5];
      if (ok) members_.push_back(std::move(m));
    }
    if (!ok)
      platformLog(PlatformLogLevel::Warn, "class registry %s: line %d malformed, skipped", path.c_str(),
                  lineNo);
  }
  return true;
}

std::string ClassRegistry::format() const {
  std::ostringstream out;
  char merit[16];
  for (const ClassRecord& r : classes_) {
    std::snprintf(merit, sizeof merit, "%x", r.merit);
    out << "class\t" << guidToString(r.clsid) << '\t' << cleanField(r.module) << '\t' << cleanField(r.name)
        << '\t' << merit << '\t';
    for (size_t i = 0; i < r.pins.size(); ++i) {
      if (i) out << ';';
      out << (r.pins[i].output ? "out:" : "in:");
      for (size_t k = 0; k < r.pins[i].types.size(); ++k) {
        if (k) out << ',';
        out << guidToString(r.pins[i].types[k].major) << '/' << guidToString(r.pins[i].types[k].subtype);
      }
    }
    out << '\n';
  }
  for (const CategoryMember& m : members_) {
    std::snprintf(merit, sizeof merit, "%x", m.merit);
    out << "member\t" << guidToString(m.category) << '\t' << guidToString(m.clsid) << '\t'
        << cleanField(m.name) << '\t' << merit << '\t' << cleanField(m.instance) << '\n';
  }
  return out.str();
}

bool ClassRegistry::readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return true;
    platformLog(PlatformLogLevel::Error, "class registry %s: cannot be read", path.c_str());
    return false;
  }
  std::stringstream buf;
  buf << in.rdbuf();
  return parse(path, buf.str());
}

std::string ClassRegistry::testOverlayPath() const {
  // The overlay belongs to the build tree's registry only: a registry named
  // through POINTSHARE_CLASS_REGISTRY (a test's private one, an installed
  // one) is taken as it stands.
  if (const char* env = std::getenv("POINTSHARE_CLASS_REGISTRY"); env && *env) return {};
  if (path_ != PLATFORM_COM_BUILD_REGISTRY) return {};
  const char* overlay = std::getenv("POINTSHARE_TEST_CLASS_REGISTRY");
  return overlay && *overlay && path_ != overlay ? overlay : std::string();
}

bool ClassRegistry::load() {
  classes_.clear();
  members_.clear();
  if (!readFile(path_)) return false;
  if (const std::string overlay = testOverlayPath(); !overlay.empty()) readFile(overlay);
  return true;
}

std::optional<ClassRecord> ClassRegistry::findClass(REFCLSID clsid) const {
  for (const ClassRecord& r : classes_)
    if (r.clsid == clsid) return r;
  return std::nullopt;
}

std::vector<CategoryMember> ClassRegistry::membersOf(REFGUID category) const {
  std::vector<CategoryMember> out;
  for (const CategoryMember& m : members_)
    if (m.category == category) out.push_back(m);
  return out;
}

template <typename Edit>
bool ClassRegistry::modify(Edit edit) {
  std::error_code ec;
  std::filesystem::path p(path_);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
  std::string lockPath = path_ + ".lock";
  int lockFd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lockFd < 0) {
    platformLog(PlatformLogLevel::Error, "class registry %s: cannot open lock file", path_.c_str());
    return false;
  }
  ::flock(lockFd, LOCK_EX);
  // Only the file itself is rewritten: never the test overlay's records.
  classes_.clear();
  members_.clear();
  bool ok = readFile(path_);
  if (ok) {
    edit();
    std::string tmp = path_ + ".tmp." + std::to_string(::getpid());
    {
      std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
      out << format();
      ok = static_cast<bool>(out.flush());
    }
    if (ok) ok = std::rename(tmp.c_str(), path_.c_str()) == 0;
    if (!ok) {
      std::remove(tmp.c_str());
      platformLog(PlatformLogLevel::Error, "class registry %s: cannot be written", path_.c_str());
    }
  }
  ::flock(lockFd, LOCK_UN);
  ::close(lockFd);
  return ok;
}

bool ClassRegistry::addClass(const ClassRecord& record) {
  return modify([&] {
    std::erase_if(classes_, [&](const ClassRecord& r) { return r.clsid == record.clsid; });
    classes_.push_back(record);
  });
}

bool ClassRegistry::removeClass(REFCLSID clsid) {
  return modify([&] { std::erase_if(classes_, [&](const ClassRecord& r) { return r.clsid == clsid; }); });
}

bool ClassRegistry::addMember(const CategoryMember& member) {
  return modify([&] {
    std::erase_if(members_, [&](const CategoryMember& m) {
      return m.category == member.category && m.clsid == member.clsid && m.instance == member.instance;
    });
    members_.push_back(member);
  });
}

bool ClassRegistry::removeMembers(REFGUID category, REFCLSID clsid) {
  return modify([&] {
    std::erase_if(members_,
                  [&](const CategoryMember& m) { return m.category == category && m.clsid == clsid; });
  });
}
