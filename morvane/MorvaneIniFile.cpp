#include "morvane/MorvaneIniFile.h"

#include <strings.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "morvane/MorvaneEngine.h"
#include "morvane/MorvaneSettings.h"
#include "pellum/mxIniFile.h"
#include "pellum/mxNotify.h"

namespace {

const char* const kColors[] = {"Black", "Blue", "Green", "SkyBlue", "Red", "Purple", "Yellow", "White"};
const char* const kShapes[] = {"Standard", "Arrow", "Circle", "Rectangle", "Target", "Star"};

int codeOf(const char* const* names, int count, const mxString& name) {
  const char* text = name.c_str() ? name.c_str() : "";
  for (int i = 0; i < count; ++i)
    if (strcasecmp(text, names[i]) == 0) return i;
  return -1;
}

// All the writes of one save go into a scratch copy of the file beside it;
// the copy replaces the file only when every write succeeded. The file a
// symbolic link leads to is the one replaced. Where the folder cannot take
// a scratch file (read-only folder, writable file), the keys are written
// into the file itself, one by one, as the settings library does.
class ScratchIni {
 public:
  explicit ScratchIni(const std::string& path) : path_(path) {
    std::error_code ec;
    if (std::filesystem::is_symlink(path_, ec)) {
      const auto target = std::filesystem::weakly_canonical(path_, ec);
      if (!ec) path_ = target.string();
    }
    scratch_ = path_ + ".saving-" + std::to_string(getpid());
    if (std::filesystem::exists(path_, ec))
      std::filesystem::copy_file(path_, scratch_, std::filesystem::copy_options::overwrite_existing, ec);
    else
      std::ofstream(scratch_, std::ios::binary | std::ios::trunc);
    if (ec || !std::filesystem::exists(scratch_)) {
      std::error_code e2;
      if (std::filesystem::is_regular_file(path_, e2) && access(path_.c_str(), W_OK) == 0) {
        direct_ = true;  // the folder is read-only, the file is not
        ini_.setFilename(path_.c_str());
      } else {
        fail("cannot write beside it", ec ? ec.message() : "the folder cannot be written");
      }
      return;
    }
    ini_.setFilename(scratch_.c_str());
  }
  ~ScratchIni() {
    std::error_code ec;
    if (!committed_ && !direct_) std::filesystem::remove(scratch_, ec);
  }
  ScratchIni(const ScratchIni&) = delete;
  ScratchIni& operator=(const ScratchIni&) = delete;

  // The file the keys go to, while nothing failed yet.
  const mxIniFile* file() const { return ok_ ? &ini_ : nullptr; }
  // A key could not be written (the settings writer said which).
  void writeFailed() { ok_ = false; }
  bool commit() {
    if (!ok_) return false;
    if (direct_) return true;
    std::error_code ec;
    std::filesystem::rename(scratch_, path_, ec);
    if (ec) {
      fail("cannot replace", ec.message());
      return false;
    }
    committed_ = true;
    return true;
  }

 private:
  void fail(const char* what, const std::string& detail) {
    if (!ok_) return;
    ok_ = false;
    mxNotify::post(mxNotify::Error, "Morvane: settings file %s: %s (%s)", path_.c_str(), what,
                   detail.c_str());
  }

  std::string path_, scratch_;
  mxIniFile ini_;
  bool ok_ = true;
  bool direct_ = false;
  bool committed_ = false;
};

// The values the settings file holds, as the engine has them now.
MorvaneSettings settingsOf(Morvane& e) {
  MorvaneSettings s;
  for (int i = 0; i < 3; ++i) {
    s.clients[i] = {e.getPointerClientAddress(i), e.getPointerClientPort(i), e.getPointerClientTimeToLive(i)};
    s.colors[i] = e.getPointerColor(i);
  }
  s.server = {e.getPointerServerAddress(), e.getPointerServerPort(), e.getPointerServerTimeToLive()};
  s.serverMaxTransmittingRate = e.getPointerServerMaxTransmittingRate();
  s.serverTransmittingCount = e.getPointerServerTransmittingCount();
  s.serverPacketSize = e.getPointerServerPacketSize();
  s.shape = e.getPointerShape();
  s.status = {e.getStatusAddress(), e.getStatusPort(), e.getStatusTimeToLive()};
  s.statusIPv6InterfaceId = e.getStatusIPv6InterfaceId();
  return s;
}

}  // namespace

const char* morvaneColorName(int code) {
  return code >= 0 && code < 8 ? kColors[code] : nullptr;
}
const char* morvaneShapeName(int code) {
  return code >= 0 && code < 6 ? kShapes[code] : nullptr;
}
int morvaneColorCode(const mxString& name) {
  return codeOf(kColors, 8, name);
}
int morvaneShapeCode(const mxString& name) {
  return codeOf(kShapes, 6, name);
}

bool writeMorvaneIniFile(Morvane& e, const char* path) {
  if (!path || !*path) return false;
  if (!e.isReady()) {  // no filters to read the values from: keep the file
    mxNotify::post(mxNotify::Warn, "Morvane: settings file %s not written: the engine did not start", path);
    return false;
  }
  ScratchIni ini(path);
  if (const mxIniFile* file = ini.file())
    if (!writeMorvaneSettings(*file, settingsOf(e))) ini.writeFailed();
  return ini.commit();
}

bool readMorvaneIniFile(Morvane& e, const char* path) {
  if (!path || !*path || !e.isReady()) return false;
  MorvaneSettings s = settingsOf(e);
  readMorvaneSettings(mxIniFile{mxString(path)}, s);
  for (int i = 0; i < 3; ++i) {
    e.setPointerClientAddress(i, s.clients[i].address.c_str());
    e.setPointerClientPort(i, s.clients[i].port);
    e.setPointerClientTimeToLive(i, s.clients[i].timeToLive);
  }
  e.setPointerServerAddress(s.server.address.c_str());
  e.setPointerServerPort(s.server.port);
  e.setPointerServerTimeToLive(s.server.timeToLive);
  e.setPointerServerMaxTransmittingRate(s.serverMaxTransmittingRate);
  e.setPointerServerTransmittingCount(s.serverTransmittingCount);
  e.setPointerServerPacketSize(s.serverPacketSize);
  // Colours and shape only where the file named another one.
  for (int i = 0; i < 3; ++i)
    if (s.colors[i] != e.getPointerColor(i)) e.setPointerColor(i, s.colors[i]);
  if (s.shape != e.getPointerShape()) e.setPointerShape(s.shape);
  // Each of these reopens the listener; a failure is logged by the engine
  // and does not fail the read.
  e.setStatusAddress(s.status.address.c_str());
  e.setStatusPort(s.status.port);
  e.setStatusTimeToLive(s.status.timeToLive);
  e.setStatusIPv6InterfaceId(s.statusIPv6InterfaceId);
  return true;
}
