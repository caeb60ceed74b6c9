#include "platform/win/private_profile.h"

#include <fcntl.h>
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

std::vector<Line> splitLines(std::string_view image) {
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

bool storableValue(std::string_view v) { return trim(v) == v && !hasLineBreak(v); }

bool readWholeFile(const std::string& file, std::string& image, bool& exists) {
  image.clear();
  exists = false;
  FILE* f = std::fopen(file.c_str(), "rb");
  if (!f) return errno == ENOENT;  // a missing file reads as empty
  exists = true;
  char buffer[8192];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) image.append(buffer, n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool writeAll(int fd, const std::string& image) {
  size_t done = 0;
  while (done < image.size()) {
    ssize_t n = ::write(fd, image.data() + done, image.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes the image to a temporary file beside the target and renames it over
// the target; on any failure the target is left as it was.
bool replaceFileAtomically(const std::string& file, const std::string& image) {
  std::string temp = file + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  int fd = ::mkstemp(name.data());
  if (fd < 0) return false;
  struct stat st;
  mode_t mode = 0644;
  if (::stat(file.c_str(), &st) == 0) mode = st.st_mode & 07777;
  bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, image) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(name.data(), file.c_str()) == 0;
  if (!ok) ::unlink(name.data());
  return ok;
}

}  // namespace

std::optional<std::string> findProfileValue(const std::string& image, const std::string& section,
                                            const std::string& key) {
  bool inSection = false;
  for (const Line& line : splitLines(image)) {
    if (line.kind == Line::Section) {
      inSection = equalNoCase(line.name, section);
    } else if (inSection && line.kind == Line::Entry && equalNoCase(line.name, key)) {
      std::string_view v = line.value;
      size_t nul = v.find('\0');
      if (nul != std::string_view::npos) v = v.substr(0, nul);
      return std::string(v);
    }
  }
  return std::nullopt;
}

bool editProfileImage(std::string& image, const std::string& section, const char* key, const char* value) {
  if (!storableSection(section)) return false;
  if (key && !storableKey(key)) return false;
  if (key && value && !storableValue(value)) return false;

  std::vector<Line> lines = splitLines(image);
  std::string out;
  out.reserve(image.size() + 64);
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
  std::string image;
  bool exists = false;
  if (!readWholeFile(file, image, exists) || !exists) return std::nullopt;
  return findProfileValue(image, section, key);
}

bool writeProfileString(const std::string& file, const std::string& section, const char* key,
                        const char* value) {
  std::string image;
  bool exists = false;
  if (!readWholeFile(file, image, exists)) return false;  // never overwrite what we could not read
  std::string edited = image;
  if (!editProfileImage(edited, section, key, value)) return false;
  if (!exists && (!key || !value)) return true;  // nothing to remove from a missing file
  if (exists && edited == image) return true;
  return replaceFileAtomically(file, edited);
}

}  // namespace platform::win
