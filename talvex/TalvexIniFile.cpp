// The sender's settings file: nine sections, read and written in a fixed
// order (stored files and receivers rely on it).
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

using namespace talvex;

namespace {

struct ServerSection {
  Talvex::Server server;
  const char* name;
};
const ServerSection kServerSections[] = {{Talvex::Main, "VideoServer(Main)"},
                                         {Talvex::Sub, "VideoServer(Sub)"},
                                         {Talvex::Audio, "AudioServer"},
                                         {Talvex::Pointer, "PointerServerClient"}};

// A video format text; anything else is SQCIF.
int videoFormatOf(const mxString& text) {
  const int code = kVideoFormats.find(text);
  return code < 0 ? SQCIF : code;
}

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

  const mxIniFile ini(temp.path().c_str());
  auto text = [&](const char* section, const char* key, const mxString& value) {
    ok = ini.writeString(section, key, value) && ok;
  };
  auto number = [&](const char* section, const char* key, unsigned value) {
    ok = ini.writeUInt(section, key, value) && ok;
  };

  if (rsCaptureFilter* video = getSelectedVideoCapture())
    text("Capture", "VideoCapture", video->getFriendlyName());
  if (rsCaptureFilter* audio = getSelectedAudioCapture())
    text("Capture", "AudioCapture", audio->getFriendlyName());
  text("Encoder", "VideoEncoder", kVideoEncoders.text(getVideoEncoder()));
  text("Encoder", "AudioEncoder", kAudioEncoders.text(getAudioEncoder()));
  text("VideoFormat", "VideoFormat", kVideoFormats.text(getVideoFormat()));
  text("FocusDisplay", "FocusDisplay", kFocusDisplays.text(getFocusDisplay()));
  text("FocusDisplay", "LoupexVideoFormat", kVideoFormats.text(loupexVideoFormat_));
  text("FocusDisplay", "LoupexMaskType", kLoupexMaskTypes.text(loupexMaskType_));
  number("FocusDisplay", "LoupexMaskWidth", loupexMaskWidth_);
  number("FocusDisplay", "LoupexMaskHeight", loupexMaskHeight_);
  text("FocusDisplay", "ImageCompoundBaseVideoFormat", kVideoFormats.text(getImageCompoundBaseVideoFormat()));
  text("FocusDisplay", "ImageCompoundAdditionalVideoFormat",
       kVideoFormats.text(getImageCompoundAdditionalVideoFormat()));
  text("FocusDisplay", "ImageCompoundMaskType", kCompoundMaskTypes.text(compoundMaskType_));
  text("FocusDisplay", "ImageCompoundBlendingType", kBlendingTypes.text(compoundBlendingType_));
  for (const ServerSection& s : kServerSections) {
    text(s.name, "Address", getServerAddress(s.server));
    number(s.name, "Port", getServerPort(s.server));
    number(s.name, "TimeToLive", getServerTimeToLive(s.server));
    number(s.name, "MaxTransmittingRate", getServerMaxTransmittingRate(s.server));
    number(s.name, "TransmittingCount", getServerTransmittingCount(s.server));
    number(s.name, "PacketSize", getServerPacketSize(s.server));
  }
  text("StatusSender", "Address", getStatusAddress());
  number("StatusSender", "Port", getStatusPort());
  number("StatusSender", "TimeToLive", getStatusTimeToLive());
  number("StatusSender", "PacketSize", getStatusPacketSize());

  // The target is replaced only by a complete file.
  ok = ok && chmod(temp.path().c_str(), mode) == 0;
  if (!ok || !temp.replace(target)) {
    mxNotify::post(mxNotify::Error, "Talvex: the settings file %s was not written%s%s", path, ok ? ": " : "",
                   ok ? std::strerror(errno) : " (a key could not be stored)");
    return false;
  }
  return true;
}

bool Talvex::readIniFile(const char* path) {
  if (!path || !*path) return false;
  const mxIniFile ini(path);

  // Capture devices, by friendly name (exact match).
  struct CaptureKey {
    const char* key;
    unsigned (Talvex::*count)() const;
    rsCaptureFilter* (Talvex::*selected)() const;
    rsCaptureFilter* (TalvexGraphManager::*device)(int) const;
    bool (Talvex::*select)(int);
  };
  const CaptureKey captures[] = {
      {"VideoCapture", &Talvex::getNumVideoCaptures, &Talvex::getSelectedVideoCapture,
       &TalvexGraphManager::getVideoCapture, &Talvex::setVideoCapture},
      {"AudioCapture", &Talvex::getNumAudioCaptures, &Talvex::getSelectedAudioCapture,
       &TalvexGraphManager::getAudioCapture, &Talvex::setAudioCapture},
  };
  for (const CaptureKey& c : captures) {
    mxString name = "-";
    if (rsCaptureFilter* current = (this->*c.selected)())
      name = ini.readString("Capture", c.key, current->getFriendlyName());
    for (unsigned i = 0; i < (this->*c.count)(); ++i) {
      if ((graph_.get()->*c.device)(int(i))->getFriendlyName() == name) {
        (this->*c.select)(int(i));
        break;
      }
    }
  }

  // Encoders: unknown texts change nothing.
  int code =
      kVideoEncoders.find(ini.readString("Encoder", "VideoEncoder", kVideoEncoders.text(getVideoEncoder())));
  if (code >= 0) setVideoEncoder(code);
  code =
      kAudioEncoders.find(ini.readString("Encoder", "AudioEncoder", kAudioEncoders.text(getAudioEncoder())));
  if (code >= 0) setAudioEncoder(code);

  // Main video format: unknown texts give SQCIF.
  setVideoFormat(
      videoFormatOf(ini.readString("VideoFormat", "VideoFormat", kVideoFormats.text(getVideoFormat()))));

  code = kFocusDisplays.find(
      ini.readString("FocusDisplay", "FocusDisplay", kFocusDisplays.text(getFocusDisplay())));
  if (code >= 0) setFocusDisplay(code);
  setLoupexVideoFormat(videoFormatOf(
      ini.readString("FocusDisplay", "LoupexVideoFormat", kVideoFormats.text(loupexVideoFormat_))));
  code = kLoupexMaskTypes.find(
      ini.readString("FocusDisplay", "LoupexMaskType", kLoupexMaskTypes.text(loupexMaskType_)));
  if (code >= 0) setLoupexMaskType(code);
  const unsigned width = ini.readUInt("FocusDisplay", "LoupexMaskWidth", loupexMaskWidth_);
  const unsigned height = ini.readUInt("FocusDisplay", "LoupexMaskHeight", loupexMaskHeight_);
  setLoupexMaskSize(width, height);
  setImageCompoundBaseVideoFormat(
      videoFormatOf(ini.readString("FocusDisplay", "ImageCompoundBaseVideoFormat",
                                   kVideoFormats.text(getImageCompoundBaseVideoFormat()))));
  setImageCompoundAdditionalVideoFormat(
      videoFormatOf(ini.readString("FocusDisplay", "ImageCompoundAdditionalVideoFormat",
                                   kVideoFormats.text(getImageCompoundAdditionalVideoFormat()))));
  code = kCompoundMaskTypes.find(
      ini.readString("FocusDisplay", "ImageCompoundMaskType", kCompoundMaskTypes.text(compoundMaskType_)));
  if (code >= 0) setImageCompoundMaskType(code);
  code = kBlendingTypes.find(ini.readString("FocusDisplay", "ImageCompoundBlendingType",
                                            kBlendingTypes.text(compoundBlendingType_)));
  if (code >= 0) setImageCompoundBlendingType(code);

  // Each server key is read and applied before the next one is read.
  for (const ServerSection& s : kServerSections) {
    setServerAddress(s.server, ini.readString(s.name, "Address", getServerAddress(s.server)));
    setServerPort(s.server, uint16_t(ini.readUInt(s.name, "Port", getServerPort(s.server))));
    setServerTimeToLive(s.server, ini.readUInt(s.name, "TimeToLive", getServerTimeToLive(s.server)));
    setServerMaxTransmittingRate(
        s.server, ini.readUInt(s.name, "MaxTransmittingRate", getServerMaxTransmittingRate(s.server)));
    setServerTransmittingCount(
        s.server, ini.readUInt(s.name, "TransmittingCount", getServerTransmittingCount(s.server)));
    setServerPacketSize(s.server, ini.readUInt(s.name, "PacketSize", getServerPacketSize(s.server)));
  }
  setStatusAddress(ini.readString("StatusSender", "Address", getStatusAddress()));
  setStatusPort(uint16_t(ini.readUInt("StatusSender", "Port", getStatusPort())));
  setStatusTimeToLive(ini.readUInt("StatusSender", "TimeToLive", getStatusTimeToLive()));
  setStatusPacketSize(ini.readUInt("StatusSender", "PacketSize", getStatusPacketSize()));
  return true;
}
