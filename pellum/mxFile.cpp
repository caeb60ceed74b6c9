#include "pellum/mxFile.h"

#include <dirent.h>
#include <fnmatch.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Index of the last separator: the last backslash, or if there is none the
// last slash; npos when there is neither.
size_t lastSeparator(const char* name) {
  const char* backslash = std::strrchr(name, '\\');
  if (backslash) return static_cast<size_t>(backslash - name);
  const char* slash = std::strrchr(name, '/');
  if (slash) return static_cast<size_t>(slash - name);
  return std::string::npos;
}

}  // namespace

mxFile::~mxFile() { close(); }

bool mxFile::open(const mxString& name, ModeEnum mode) {
  close();
  name_ = name;
  const char* how = mode == Read ? "rb" : mode == Write ? "wb" : mode == Append ? "ab" : nullptr;
  if (name.isEmpty() || !how) return false;
  struct stat st;
  bool exists = ::stat(name.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) return false;  // a folder is no file, even where fopen would take it
  size_ = (exists && S_ISREG(st.st_mode)) ? static_cast<int64_t>(st.st_size) : 0;
  stream_ = std::fopen(name.c_str(), how);
  return isOpen();
}

bool mxFile::close() {
  if (stream_) std::fclose(stream_);
  stream_ = nullptr;
  name_.makeEmpty();
  size_ = 0;
  return true;
}

bool mxFile::isEndOfFile() const { return stream_ && std::feof(stream_); }

bool mxFile::getPosition(int64_t& position) const {
  if (!stream_) return false;
  off_t at = ::ftello(stream_);
  if (at < 0) return false;
  position = at;
  return true;
}

bool mxFile::setPosition(const int64_t& position) const {
  return stream_ && ::fseeko(stream_, static_cast<off_t>(position), SEEK_SET) == 0;
}

bool mxFile::flush() const { return stream_ && std::fflush(stream_) == 0; }

unsigned mxFile::read(void* buffer, unsigned size, unsigned count) const {
  if (!stream_ || !buffer || size == 0) return 0;
  return static_cast<unsigned>(std::fread(buffer, size, count, stream_));
}

unsigned mxFile::write(const void* buffer, unsigned size, unsigned count) const {
  if (!stream_ || !buffer || size == 0) return 0;
  return static_cast<unsigned>(std::fwrite(buffer, size, count, stream_));
}

bool mxFile::push() {
  int64_t position = 0;
  getPosition(position);
  pushQueue(position);
  return true;
}

bool mxFile::pop() {
  int64_t position;
  if (!popQueue(position)) return false;
  return setPosition(position);
}

bool mxFile::popQueue(int64_t& position) {
  uint32_t n = positions_.getSize();
  if (n == 0) return false;
  position = positions_[n - 1];
  positions_.setSize(n - 1);
  return true;
}

mxString mxFile::getModuleFilename() {
  char path[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", path, PATH_MAX);
  if (n <= 0) return mxString();
  return mxString(path, static_cast<unsigned>(n));
}

mxString mxFile::getModulePath() { return getPathWithoutFilename(getModuleFilename()); }

mxString mxFile::getTemporaryPath() {
  const char* dir = std::getenv("TMPDIR");
  std::string path = (dir && *dir) ? dir : "/tmp";
  if (path.back() != '/') path += '/';
  return mxString(path.c_str());
}

mxString mxFile::getTemporaryFilename(const mxString& prefix) {
  std::string name = std::string(getTemporaryPath().c_str()) + (prefix.c_str() ? prefix.c_str() : "") + "XXXXXX";
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  int fd = ::mkstemp(buffer.data());
  if (fd < 0) return mxString();
  ::close(fd);
  return mxString(buffer.data());
}

mxString mxFile::getFilenameWithoutPath(const mxString& name) {
  if (name.isEmpty()) return mxString();
  size_t sep = lastSeparator(name.c_str());
  if (sep == std::string::npos) return name;
  return mxString(name.c_str() + sep + 1);
}

mxString mxFile::getPathWithoutFilename(const mxString& name) {
  if (name.isEmpty()) return mxString();
  size_t sep = lastSeparator(name.c_str());
  if (sep == std::string::npos) return mxString();
  return mxString(name.c_str(), static_cast<unsigned>(sep));
}

mxString mxFile::getExtension(const mxString& name) {
  if (name.isEmpty()) return mxString();
  const char* dot = std::strrchr(name.c_str(), '.');
  return dot ? mxString(dot + 1) : mxString();
}

mxArray<mxString> mxFile::findFilenames(const mxString& pattern) {
  mxArray<mxString> result;
  if (pattern.isEmpty()) return result;
  mxString directory = getPathWithoutFilename(pattern);
  mxString wildcard = getFilenameWithoutPath(pattern);
  if (wildcard.isEmpty()) return result;
  // A pattern without a directory part lists the current directory.
  DIR* dir = ::opendir(directory.isEmpty() ? "." : directory.c_str());
  if (!dir) return result;
  std::vector<std::string> entries;
  while (struct dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    if (::fnmatch(wildcard.c_str(), entry->d_name, 0) == 0) entries.emplace_back(entry->d_name);
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end());
  for (const std::string& entry : entries) {
    if (directory.isEmpty()) {
      result.append(mxString(entry.c_str()));
    } else {
      mxString full = directory;
      full += "/";
      full += entry.c_str();
      result.append(full);
    }
  }
  return result;
}

mxArray<mxString> mxFile::findFilenames(const mxArray<mxString>& directories, const mxString& pattern) {
  mxArray<mxString> result;
  mxString wildcard = getFilenameWithoutPath(pattern);
  for (uint32_t i = 0; i < directories.getSize(); ++i) {
    mxString full = directories[i];
    full += "/";
    full += wildcard;
    mxArray<mxString> found = findFilenames(full);
    for (uint32_t k = 0; k < found.getSize(); ++k) result.append(found[k]);
  }
  return result;
}
