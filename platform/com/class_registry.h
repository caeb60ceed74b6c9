// The class registry: a text file that maps class identifiers to the plug-in
// module that serves them, with the data the device enumerator and the filter
// mapper need (friendly name, merit, pins and their media types, category
// membership).
//
// One record per line, fields separated by tabs:
//   class  {CLSID}  module-path  friendly-name  merit(hex)  pins
//   member {category}  {CLSID}  friendly-name  merit(hex)  instance
// pins: pins separated by ';', each "in:" or "out:" followed by media types
// "{major}/{subtype}" separated by ','.
//
// The file named by POINTSHARE_CLASS_REGISTRY is used when that variable is
// set; otherwise the registry of the build tree this library was built in.
// Plug-ins made only for tests are registered in a file of their own beside
// it; the build tree's registry shows them too where
// POINTSHARE_TEST_CLASS_REGISTRY names that file (the tests and benchmarks
// set it), so the programs a user runs from the build tree never list a test
// device.
// Writers take a lock on "<file>.lock" and replace the file atomically.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/guid.h"

struct RegisteredPinType {
  GUID major;
  GUID subtype;
};

struct RegisteredPin {
  bool output = false;
  std::vector<RegisteredPinType> types;
};

struct ClassRecord {
  CLSID clsid;
  std::string module;
  std::string name;
  uint32_t merit = 0;
  std::vector<RegisteredPin> pins;
};

struct CategoryMember {
  CLSID category;
  CLSID clsid;
  std::string name;
  uint32_t merit = 0;
  std::string instance;  // device path or other data handed to the object
};

class ClassRegistry {
 public:
  // The registry file in effect (see above).
  static std::string defaultPath();

  explicit ClassRegistry(std::string path = defaultPath());
  // Reads the file; a missing file is an empty registry (true), an
  // unreadable one false. Malformed lines are skipped with a log line.
  bool load();

  const std::vector<ClassRecord>& classes() const { return classes_; }
  const std::vector<CategoryMember>& members() const { return members_; }
  std::optional<ClassRecord> findClass(REFCLSID clsid) const;
  std::vector<CategoryMember> membersOf(REFGUID category) const;

  // Read-modify-write under the file lock. A record with the same key
  // (class identifier; category + class + instance) is replaced.
  bool addClass(const ClassRecord& record);
  bool removeClass(REFCLSID clsid);
  bool addMember(const CategoryMember& member);
  // Removes every membership of clsid in category.
  bool removeMembers(REFGUID category, REFCLSID clsid);

  const std::string& path() const { return path_; }

 private:
  template <typename Edit>
  bool modify(Edit edit);
  bool readFile(const std::string& path);  // adds the file's records
  std::string testOverlayPath() const;      // empty where no overlay applies
  bool parse(const std::string& path, const std::string& text);
  std::string format() const;

  std::string path_;
  std::vector<ClassRecord> classes_;
  std::vector<CategoryMember> members_;
};
