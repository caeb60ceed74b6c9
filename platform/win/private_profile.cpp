#include "platform/win/private_profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace platform::win {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  return true;
}

// One line of the file, classified.
struct Line {
  enum Kind { Other, Section, Entry } kind = Other;
  std::string_view text;  // the whole line without its line feed
  std::string_view name;  // section name or key
  std::string_view value;
};

Line classify(std::string_view text) {
  Line line;
  line.text = text;
  std::string_view t = trim(text);
  if (t.empty() || t.front() == ';' || t.front() == '#') return line;
  if (t.front() == '[') {
    size_t close = t.find(']');
    if (close == std::string_view::npos) return line;
    line.kind = Line::Section;
    line.name = trim(t.substr(1, close - 1));
    return line;
  }
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return line;
  line.kind = Line::Entry;
  line.name = trim(t.substr(0, eq));
  line.value = trim(t.substr(eq + 1));
  return line;
}

// A UTF-8 byte-order mark, which editors elsewhere often put at the start.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool startsWithByteOrderMark(std::string_view image) {
  return image.substr(0, kByteOrderMark.size()) == kByteOrderMark;
}

std::vector<Line> splitLines(std::string_view image) {
  if (startsWithByteOrderMark(image)) image.remove_prefix(kByteOrderMark.size());
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < image.size()) {
    size_t end = image.find('\n', pos);
    if (end == std::string_view::npos) end = image.size();
    lines.push_back(classify(image.substr(pos, end - pos)));
    pos = end + 1;
  }
  return lines;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool storableSection(std::string_view s) {
  return !s.empty() && trim(s) == s && !hasLineBreak(s) && s.find(']') == std::string_view::npos &&
         s.find('\0') == std::string_view::npos;
}

bool storableKey(std::string_view k) {
  return !k.empty() && trim(k) == k && !hasLineBreak(k) && k.find('=') == std::string_view::npos &&
         k.front() != '[' && k.front() != ';' && k.front() != '#';
}

// Blanks around a value are not stored (the reader would drop them), but a
// line break inside it cannot be stored at all.
bool storableValue(std::string_view v) { return !hasLineBreak(v); }

// Reads the whole file from its start.
bool readAll(int fd, std::string& image) {
  image.clear();
  char buffer[8192];
  for (off_t at = 0;;) {
    ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    image.append(buffer, static_cast<size_t>(n));
    at += n;
  }
}

bool writeAll(int fd, const std::string& image, off_t at) {
  size_t done = 0;
  while (done < image.size()) {
    ssize_t n = ::pwrite(fd, image.data() + done, image.size() - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Waits for the advisory lock. A file system without locks counts as locked
// (as before there were locks); other failures are reported.
bool lockFile(int fd, int operation) {
  while (::flock(fd, operation) != 0) {
    if (errno == ENOLCK || errno == EOPNOTSUPP) return true;
    if (errno != EINTR) return false;
  }
  return true;
}

// Follows symbolic links to the file that is really read and written, also
// when the last link names a file that does not exist yet. A link loop is
// left to the open call, which reports it.
std::string resolveLinks(std::string path) {
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::vector<char> buffer(st.st_size > 0 ? static_cast<size_t>(st.st_size) + 1 : 4096);
    ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return path;
    std::string link(buffer.data(), static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    path = (link.front() == '/' || slash == std::string::npos) ? link : path.substr(0, slash + 1) + link;
  }
  return path;
}

// A file descriptor closed on scope exit.
class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { reset(); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now; false when the close reports an error (a failed write-back).
  bool close() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The file of one read-modify-write, opened and locked exclusively. The lock
// (flock, on the file itself) keeps out every other writer, whether another
// thread of this process (each opens the file anew, so the locks are
// distinct) or another process, and the readers, which take a shared lock.
// A writer replaces the file by a rename while holding the lock on the old
// one; whoever waited for that lock then finds that the name has moved on
// and locks the new file instead.
class LockedTarget {
 public:
  enum Result { Locked, Missing, Failed };

  // Opens and locks `path` (links already resolved); a missing file is
  // created (empty) when `create` is set, otherwise reported as Missing.
  Result open(const std::string& path, bool create) {
    path_ = path;
    for (;;) {
      created_ = false;
      writable_ = true;
      fd_.reset(::open(path.c_str(), O_RDWR | O_CLOEXEC));
      if (!fd_ && (errno == EACCES || errno == EROFS)) {
        writable_ = false;  // may still be replaced by a rename
        fd_.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
      }
      if (!fd_ && errno == ENOENT) {
        if (!create) return Missing;
        fd_.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
        if (!fd_ && errno == EEXIST) continue;  // made by someone else just now
        created_ = static_cast<bool>(fd_);
      }
      if (!fd_ || !lockFile(fd_.get(), LOCK_EX)) return Failed;
      struct stat held, named;
      if (::fstat(fd_.get(), &held) != 0 || !S_ISREG(held.st_mode)) return Failed;
      if (::stat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
        stat_ = held;
        return Locked;
      }
      // Replaced or removed while we waited for the lock: try the new one.
    }
  }

  int fd() const { return fd_.get(); }

  // Puts the image in place of the file's contents. Prefers a new file
  // renamed over the old one, so that a crash never leaves half a file;
  // where the folder cannot take a new file (or the old one cannot be
  // replaced in it), rewrites the file in place instead.
  bool replace(const std::string& image) {
    int error = replaceByRename(image);
    if (error == 0) return true;
    if (error != EACCES && error != EPERM) return false;
    return rewriteInPlace(image);
  }

  // Takes back a file that open() created, when the write failed.
  void discardIfCreated() {
    if (created_) ::unlink(path_.c_str());
  }

 private:
  // 0 on success, otherwise the errno of the step that failed; the old file
  // is then left as it was.
  int replaceByRename(const std::string& image) {
    std::string temp = path_ + ".XXXXXX";
    Descriptor fd(::mkstemp(temp.data()));
    if (!fd) return errno;
    // The new file takes the old one's mode and, where allowed, its owner.
    if (::fchown(fd.get(), stat_.st_uid, stat_.st_gid) != 0) {
      // Not allowed for others than root: the file stays ours.
    }
    bool written = ::fchmod(fd.get(), stat_.st_mode & 07777) == 0 && writeAll(fd.get(), image, 0) &&
                   ::fsync(fd.get()) == 0;
    int error = fd.close() && written ? 0 : EIO;  // a full disk or an I/O error: a real failure
    if (!error && ::rename(temp.c_str(), path_.c_str()) != 0) error = errno;
    if (error) ::unlink(temp.c_str());
    return error;
  }

  bool rewriteInPlace(const std::string& image) {
    if (!writable_) return false;
    // Reserve the room first, so that a full disk fails before the file is
    // touched (where the file system cannot reserve, go on without).
    off_t size = static_cast<off_t>(image.size());
    if (size > stat_.st_size && ::fallocate(fd_.get(), FALLOC_FL_KEEP_SIZE, 0, size) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS)
      return false;
    return writeAll(fd_.get(), image, 0) && ::ftruncate(fd_.get(), size) == 0 && ::fsync(fd_.get()) == 0;
  }

  std::string path_;
  Descriptor fd_;
  struct stat stat_ {};
  bool created_ = false;
  bool writable_ = false;
};

}  // namespace

std::optional<std::string> findProfileValue(const std::string& image, const std::string& section,
                                            const std::string& key) {
  bool inSection = false;
  for (const Line& line : splitLines(image)) {
    if (line.kind == Line::Section) {
      inSection = equalNoCase(line.name, section);
    } else if (inSection && line.kind == Line::Entry && equalNoCase(line.name, key)) {
      // A value ends at a NUL, and at a carriage return that ends no line:
      // the writer could store neither. What is left keeps no blanks at its
      // end, as the writer would not either.
      std::string_view v = line.value;
      size_t end = v.find_first_of(std::string_view("\0\r", 2));
      if (end != std::string_view::npos) v = trim(v.substr(0, end));
      return std::string(v);
    }
  }
  return std::nullopt;
}

bool editProfileImage(std::string& image, const std::string& section, const char* key, const char* value) {
  if (!storableSection(section)) return false;
  if (key && !storableKey(key)) return false;
  if (key && value && !storableValue(value)) return false;

  std::string trimmed = value ? std::string(trim(value)) : std::string();
  if (value) value = trimmed.c_str();

  std::vector<Line> lines = splitLines(image);
  std::string out;
  out.reserve(image.size() + 64);
  if (startsWithByteOrderMark(image)) out.append(kByteOrderMark);
  bool inSection = false;  // inside any section of that name
  bool inFirst = false;    // inside the first one
  bool sawSection = false;
  bool written = false;
  // Offset in `out` just after the last non-blank line of the first section
  // of that name: where a new key goes.
  size_t insertAt = std::string::npos;

  for (const Line& line : lines) {
    if (line.kind == Line::Section) {
      inSection = equalNoCase(line.name, section);
      inFirst = inSection && !sawSection;
      if (inSection && !key) continue;  // removing the section: drop its header
      out.append(line.text).append("\n");
      if (inFirst) {
        sawSection = true;
        insertAt = out.size();
      }
      continue;
    }
    if (inSection) {
      if (!key) continue;  // removing the section: drop its lines
      if (line.kind == Line::Entry && equalNoCase(line.name, key)) {
        if (value && !written) {
          out.append(key).append("=").append(value).append("\n");
          written = true;
          if (inFirst) insertAt = out.size();
        }
        // Duplicates (and the key itself when removing) are dropped, so that
        // a later read sees what was written.
        continue;
      }
    }
    out.append(line.text).append("\n");
    if (inFirst && !trim(line.text).empty()) insertAt = out.size();
  }

  if (key && value && !written) {
    std::string entry = std::string(key) + "=" + value + "\n";
    if (sawSection && insertAt != std::string::npos && insertAt <= out.size()) {
      out.insert(insertAt, entry);
    } else {
      if (!lines.empty() && !trim(lines.back().text).empty()) out.append("\n");
      out.append("[").append(section).append("]\n").append(entry);
    }
  }
  image.swap(out);
  return true;
}

std::optional<std::string> readProfileString(const std::string& file, const std::string& section,
                                             const std::string& key) {
  Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return std::nullopt;
  // A shared lock waits for a writer that rewrites the file in place. Where
  // the file system has no locks, read all the same.
  lockFile(fd.get(), LOCK_SH);
  std::string image;
  if (!readAll(fd.get(), image)) return std::nullopt;
  return findProfileValue(image, section, key);
}

bool writeProfileString(const std::string& file, const std::string& section, const char* key,
                        const char* value) {
  // Refuse what cannot be stored before touching the file.
  std::string probe;
  if (!editProfileImage(probe, section, key, value)) return false;

  LockedTarget target;
  switch (target.open(resolveLinks(file), key && value)) {
    case LockedTarget::Missing:
      return true;  // nothing to remove from a missing file
    case LockedTarget::Failed:
      return false;
    case LockedTarget::Locked:
      break;
  }
  std::string image;
  if (!readAll(target.fd(), image)) return false;  // never overwrite what we could not read
  std::string edited = image;
  editProfileImage(edited, section, key, value);
  if (edited == image) return true;
  if (target.replace(edited)) return true;
  target.discardIfCreated();
  return false;
}

}  // namespace platform::win
