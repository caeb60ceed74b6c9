#include "morvane/MorvaneIniFile.h"

#include <strings.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "morvane/MorvaneEngine.h"
#include "pellum/mxIniFile.h"
#include "pellum/mxNotify.h"

namespace {

const char* const kColors[] = {"Black", "Blue", "Green", "SkyBlue", "Red", "Purple", "Yellow", "White"};
const char* const kShapes[] = {"Standard", "Arrow", "Circle", "Rectangle", "Target", "Star"};
const char* const kClientSections[] = {"PointerP1Client", "PointerP2Client", "PointerP3Client"};
constexpr const char* kServer = "PointerServer";
constexpr const char* kBlendor = "Blendor";
constexpr const char* kTracion = "Tracion";
constexpr const char* kStatus = "StatusReceiver";

int codeOf(const char* const* names, int count, const mxString& name) {
  const char* text = name.c_str() ? name.c_str() : "";
  for (int i = 0; i < count; ++i)
    if (strcasecmp(text, names[i]) == 0) return i;
  return -1;
}

mxString colorKey(int index) {
  return mxString(("PointerColor" + std::to_string(index)).c_str());
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

  void text(const char* section, const mxString& key, const mxString& value) {
    if (ok_ && !ini_.writeString(section, key, value))
      fail("cannot write", std::string(section) + "/" + key.c_str());
  }
  void number(const char* section, const char* key, unsigned value) {
    if (ok_ && !ini_.writeUInt(section, key, value)) fail("cannot write", std::string(section) + "/" + key);
  }
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

// A number read for a 16-bit setting; out of range keeps the current one.
bool readPort(const mxIniFile& ini, const char* section, const char* key, uint16_t current, uint16_t& out) {
  const unsigned v = ini.readUInt(section, key, current);
  if (v > 0xFFFF) {
    mxNotify::post(mxNotify::Warn, "Morvane: settings file %s: [%s] %s=%u is not a port; kept %u",
                   ini.getFilename().c_str(), section, key, v, unsigned(current));
    return false;
  }
  out = uint16_t(v);
  return true;
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
  for (int i = 0; i < 3; ++i) {
    ini.text(kClientSections[i], "Address", e.getPointerClientAddress(i));
    ini.number(kClientSections[i], "Port", e.getPointerClientPort(i));
    ini.number(kClientSections[i], "TimeToLive", e.getPointerClientTimeToLive(i));
  }
  ini.text(kServer, "Address", e.getPointerServerAddress());
  ini.number(kServer, "Port", e.getPointerServerPort());
  ini.number(kServer, "TimeToLive", e.getPointerServerTimeToLive());
  ini.number(kServer, "MaxTransmittingRate", e.getPointerServerMaxTransmittingRate());
  ini.number(kServer, "TransmittingCount", e.getPointerServerTransmittingCount());
  ini.number(kServer, "PacketSize", e.getPointerServerPacketSize());
  for (int i = 0; i < 3; ++i) {
    const int code = e.getPointerColor(i);
    if (const char* name = morvaneColorName(code))
      ini.text(kBlendor, colorKey(i), name);
    else  // never another key's text: the key keeps what the file had
      mxNotify::post(mxNotify::Warn,
                     "Morvane: pointer colour code %d of P%d has no name; PointerColor%d not written", code,
                     i + 1, i);
  }
  const int shape = e.getPointerShape();
  if (const char* name = morvaneShapeName(shape))
    ini.text(kTracion, "PointerShape", name);
  else
    mxNotify::post(mxNotify::Warn, "Morvane: pointer shape code %d has no name; PointerShape not written",
                   shape);
  ini.text(kStatus, "Address", e.getStatusAddress());
  ini.number(kStatus, "Port", e.getStatusPort());
  ini.number(kStatus, "TimeToLive", e.getStatusTimeToLive());
  ini.number(kStatus, "IPv6InterfaceId", unsigned(e.getStatusIPv6InterfaceId()));
  return ini.commit();
}

bool readMorvaneIniFile(Morvane& e, const char* path) {
  if (!path || !*path || !e.isReady()) return false;
  const mxIniFile ini{mxString(path)};
  for (int i = 0; i < 3; ++i) {
    const char* s = kClientSections[i];
    e.setPointerClientAddress(i, ini.readString(s, "Address", e.getPointerClientAddress(i)).c_str());
    uint16_t port;
    if (readPort(ini, s, "Port", e.getPointerClientPort(i), port)) e.setPointerClientPort(i, port);
    e.setPointerClientTimeToLive(i, ini.readUInt(s, "TimeToLive", e.getPointerClientTimeToLive(i)));
  }
  e.setPointerServerAddress(ini.readString(kServer, "Address", e.getPointerServerAddress()).c_str());
  uint16_t port;
  if (readPort(ini, kServer, "Port", e.getPointerServerPort(), port)) e.setPointerServerPort(port);
  e.setPointerServerTimeToLive(ini.readUInt(kServer, "TimeToLive", e.getPointerServerTimeToLive()));
  e.setPointerServerMaxTransmittingRate(
      ini.readUInt(kServer, "MaxTransmittingRate", e.getPointerServerMaxTransmittingRate()));
  e.setPointerServerTransmittingCount(
      ini.readUInt(kServer, "TransmittingCount", e.getPointerServerTransmittingCount()));
  e.setPointerServerPacketSize(ini.readUInt(kServer, "PacketSize", e.getPointerServerPacketSize()));
  for (int i = 0; i < 3; ++i) {
    const int code = morvaneColorCode(ini.readString(kBlendor, colorKey(i), ""));
    if (code >= 0) e.setPointerColor(i, code);
  }
  const int shape = morvaneShapeCode(ini.readString(kTracion, "PointerShape", ""));
  if (shape >= 0) e.setPointerShape(shape);
  // Each of these reopens the listener; a failure is logged by the engine
  // and does not fail the read.
  e.setStatusAddress(ini.readString(kStatus, "Address", e.getStatusAddress()).c_str());
  if (readPort(ini, kStatus, "Port", e.getStatusPort(), port)) e.setStatusPort(port);
  e.setStatusTimeToLive(ini.readUInt(kStatus, "TimeToLive", e.getStatusTimeToLive()));
  e.setStatusIPv6InterfaceId(
      int(ini.readUInt(kStatus, "IPv6InterfaceId", unsigned(e.getStatusIPv6InterfaceId()))));
  return true;
}
