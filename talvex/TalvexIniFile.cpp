// The sender's settings file: the engine's side of it (which values it
// holds, how they are applied, how the file is replaced); the keys
// themselves are in TalvexSettings.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "pellum/mxIniFile.h"
#include "pellum/mxNotify.h"
#include "talvex/TalvexCodes.h"
#include "talvex/TalvexEngine.h"
#include "talvex/TalvexSettings.h"

using namespace talvex;

namespace {

// Copies the file at `from` (when there is one) into the open descriptor.
bool copyExisting(const std::string& from, int to) {
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno == ENOENT;
  char buffer[8192];
  bool ok = true;
  for (;;) {
    ssize_t n = read(in, buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      ssize_t w = write(to, buffer + done, size_t(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0)
        ok = false;
      else
        done += w;
    }
    if (!ok) break;
  }
  close(in);
  return ok;
}

// A temporary file beside the target, removed again unless kept.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) {
    std::string pattern = target + ".XXXXXX";
    fd_ = mkstemp(pattern.data());
    if (fd_ >= 0) path_ = pattern;
  }
  ~TemporaryFile() {
    if (fd_ >= 0) close(fd_);
    if (!path_.empty()) unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }
  bool closeFile() {
    int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }
  // Moves the file over the target; afterwards nothing is removed.
  bool replace(const std::string& target) {
    if (rename(path_.c_str(), target.c_str()) != 0) return false;
    path_.clear();
    return true;
  }

 private:
  int fd_ = -1;
  std::string path_;
};

}  // namespace

bool Talvex::writeIniFile(const char* path) {
  if (!path || !*path) return false;
  // A symbolic link stays a link: the file it leads to is replaced.
  std::string target = path;
  if (char* real = realpath(path, nullptr)) {
    target = real;
    std::free(real);
  }
  TemporaryFile temp(target);
  if (!temp.isOpen()) {
    mxNotify::post(mxNotify::Error, "Talvex: cannot write the settings file %s: %s", path,
                   std::strerror(errno));
    return false;
  }
  // Sections and keys of other programs in the file are kept; the file keeps
  // its permissions (a new one gets the usual ones).
  struct stat st {};
  mode_t mode = 0;
  if (stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  bool ok = copyExisting(target, temp.fd());
  ok = temp.closeFile() && ok;

  ok = writeTalvexSettings(mxIniFile(temp.path().c_str()), settings()) && ok;

  // The target is replaced only by a complete file.
  ok = ok && chmod(temp.path().c_str(), mode) == 0;
  if (!ok || !temp.replace(target)) {
    mxNotify::post(mxNotify::Error, "Talvex: the settings file %s was not written%s%s", path, ok ? ": " : "",
                   ok ? std::strerror(errno) : " (a key could not be stored)");
    return false;
  }
  return true;
}

TalvexSettings Talvex::settings() const {
  TalvexSettings s;
  if (rsCaptureFilter* video = getSelectedVideoCapture()) s.videoCapture = video->getFriendlyName();
  if (rsCaptureFilter* audio = getSelectedAudioCapture()) s.audioCapture = audio->getFriendlyName();
  s.videoEncoder = getVideoEncoder();
  s.audioEncoder = getAudioEncoder();
  s.videoFormat = getVideoFormat();
  s.focusDisplay = getFocusDisplay();
  s.loupexVideoFormat = loupexVideoFormat_;
  s.loupexMaskType = loupexMaskType_;
  s.loupexMaskWidth = loupexMaskWidth_;
  s.loupexMaskHeight = loupexMaskHeight_;
  s.compoundBaseVideoFormat = getImageCompoundBaseVideoFormat();
  s.compoundAdditionalVideoFormat = getImageCompoundAdditionalVideoFormat();
  s.compoundMaskType = compoundMaskType_;
  s.compoundBlendingType = compoundBlendingType_;
  for (int i = 0; i < 4; ++i) {
    const Server server = Server(i);
    TalvexServerSettings& v = s.servers[i];
    v.address = getServerAddress(server);
    v.port = getServerPort(server);
    v.timeToLive = getServerTimeToLive(server);
    v.maxTransmittingRate = getServerMaxTransmittingRate(server);
    v.transmittingCount = getServerTransmittingCount(server);
    v.packetSize = getServerPacketSize(server);
  }
  s.status.address = getStatusAddress();
  s.status.port = getStatusPort();
  s.status.timeToLive = getStatusTimeToLive();
  s.status.packetSize = getStatusPacketSize();
  return s;
}

bool Talvex::readIniFile(const char* path) {
  if (!path || !*path) return false;
  TalvexSettings s = settings();
  readTalvexSettings(mxIniFile(path), s);

  // Capture devices, by friendly name (exact match).
  struct CaptureKey {
    const mxString& name;
    unsigned (Talvex::*count)() const;
    rsCaptureFilter* (TalvexGraphManager::*device)(int) const;
    bool (Talvex::*select)(int);
  };
  const CaptureKey captures[] = {
      {s.videoCapture, &Talvex::getNumVideoCaptures, &TalvexGraphManager::getVideoCapture,
       &Talvex::setVideoCapture},
      {s.audioCapture, &Talvex::getNumAudioCaptures, &TalvexGraphManager::getAudioCapture,
       &Talvex::setAudioCapture},
  };
  for (const CaptureKey& c : captures) {
    if (c.name.length() == 0) continue;
    for (unsigned i = 0; i < (this->*c.count)(); ++i) {
      if ((graph_.get()->*c.device)(int(i))->getFriendlyName() == c.name) {
        (this->*c.select)(int(i));
        break;
      }
    }
  }
  // In the file's order; setters that see their current value change nothing.
  setVideoEncoder(s.videoEncoder);
  setAudioEncoder(s.audioEncoder);
  setVideoFormat(s.videoFormat);
  setFocusDisplay(s.focusDisplay);
  setLoupexVideoFormat(s.loupexVideoFormat);
  setLoupexMaskType(s.loupexMaskType);
  setLoupexMaskSize(s.loupexMaskWidth, s.loupexMaskHeight);
  setImageCompoundBaseVideoFormat(s.compoundBaseVideoFormat);
  setImageCompoundAdditionalVideoFormat(s.compoundAdditionalVideoFormat);
  setImageCompoundMaskType(s.compoundMaskType);
  setImageCompoundBlendingType(s.compoundBlendingType);
  for (int i = 0; i < 4; ++i) {
    const Server server = Server(i);
    const TalvexServerSettings& v = s.servers[i];
    setServerAddress(server, v.address);
    setServerPort(server, v.port);
    setServerTimeToLive(server, v.timeToLive);
    setServerMaxTransmittingRate(server, v.maxTransmittingRate);
    setServerTransmittingCount(server, v.transmittingCount);
    setServerPacketSize(server, v.packetSize);
  }
  setStatusAddress(s.status.address);
  setStatusPort(s.status.port);
  setStatusTimeToLive(s.status.timeToLive);
  setStatusPacketSize(s.status.packetSize);
  return true;
}
