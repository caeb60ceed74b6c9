#include "morvane/MorvaneSettings.h"

#include <cstring>
#include <string>

#include "morvane/MorvaneIniFile.h"
#include "pellum/mxNotify.h"

namespace {

const char* const kClientSections[] = {"PointerP1Client", "PointerP2Client", "PointerP3Client"};
constexpr const char* kServer = "PointerServer";
constexpr const char* kBlendor = "Blendor";
constexpr const char* kTracion = "Tracion";
constexpr const char* kStatus = "StatusReceiver";

mxString colorKey(int index) {
  return mxString(("PointerColor" + std::to_string(index)).c_str());
}

void readChannel(const mxIniFile& ini, const char* section, MorvanePointerClientSettings& c) {
  c.address = ini.readString(section, "Address", c.address);
  c.port = ini.readPort("Morvane", section, c.port);
  c.timeToLive = ini.readUInt(section, "TimeToLive", c.timeToLive);
}

// Two texts with the same bytes (an empty text equals an empty text, which
// mxString's comparison does not grant).
bool sameText(const mxString& a, const mxString& b) {
  return std::strcmp(a.c_str() ? a.c_str() : "", b.c_str() ? b.c_str() : "") == 0;
}

bool operator==(const MorvanePointerClientSettings& a, const MorvanePointerClientSettings& b) {
  return sameText(a.address, b.address) && a.port == b.port && a.timeToLive == b.timeToLive;
}

}  // namespace

bool operator==(const MorvaneSettings& a, const MorvaneSettings& b) {
  for (int i = 0; i < 3; ++i)
    if (!(a.clients[i] == b.clients[i]) || a.colors[i] != b.colors[i]) return false;
  return a.server == b.server && a.serverMaxTransmittingRate == b.serverMaxTransmittingRate &&
         a.serverTransmittingCount == b.serverTransmittingCount && a.serverPacketSize == b.serverPacketSize &&
         a.shape == b.shape && a.status == b.status && a.statusIPv6InterfaceId == b.statusIPv6InterfaceId;
}

void readMorvaneSettings(const mxIniFile& ini, MorvaneSettings& s) {
  for (int i = 0; i < 3; ++i) readChannel(ini, kClientSections[i], s.clients[i]);
  readChannel(ini, kServer, s.server);
  s.serverMaxTransmittingRate = ini.readUInt(kServer, "MaxTransmittingRate", s.serverMaxTransmittingRate);
  s.serverTransmittingCount = ini.readUInt(kServer, "TransmittingCount", s.serverTransmittingCount);
  s.serverPacketSize = ini.readUInt(kServer, "PacketSize", s.serverPacketSize);
  for (int i = 0; i < 3; ++i) {
    const int code = morvaneColorCode(ini.readString(kBlendor, colorKey(i), ""));
    if (code >= 0) s.colors[i] = code;
  }
  const int shape = morvaneShapeCode(ini.readString(kTracion, "PointerShape", ""));
  if (shape >= 0) s.shape = shape;
  readChannel(ini, kStatus, s.status);
  s.statusIPv6InterfaceId = int(ini.readUInt(kStatus, "IPv6InterfaceId", unsigned(s.statusIPv6InterfaceId)));
}

bool writeMorvaneSettings(const mxIniFile& ini, const MorvaneSettings& s) {
  bool ok = true;
  auto failed = [&](const char* section, const mxString& key) {
    if (ok)
      mxNotify::post(mxNotify::Error, "Morvane: settings file %s: cannot write %s/%s", ini.getFilename().c_str(),
                     section, key.c_str());
    ok = false;
  };
  auto text = [&](const char* section, const mxString& key, const mxString& value) {
    if (ok && !ini.writeString(section, key, value)) failed(section, key);
  };
  auto number = [&](const char* section, const char* key, unsigned value) {
    if (ok && !ini.writeUInt(section, key, value)) failed(section, key);
  };
  auto channel = [&](const char* section, const MorvanePointerClientSettings& c) {
    text(section, "Address", c.address);
    number(section, "Port", c.port);
    number(section, "TimeToLive", c.timeToLive);
  };
  for (int i = 0; i < 3; ++i) channel(kClientSections[i], s.clients[i]);
  channel(kServer, s.server);
  number(kServer, "MaxTransmittingRate", s.serverMaxTransmittingRate);
  number(kServer, "TransmittingCount", s.serverTransmittingCount);
  number(kServer, "PacketSize", s.serverPacketSize);
  for (int i = 0; i < 3; ++i) {
    if (const char* name = morvaneColorName(s.colors[i]))
      text(kBlendor, colorKey(i), name);
    else  // never another key's text: the key keeps what the file had
      mxNotify::post(mxNotify::Warn,
                     "Morvane: pointer colour code %d of P%d has no name; PointerColor%d not written",
                     s.colors[i], i + 1, i);
  }
  if (const char* name = morvaneShapeName(s.shape))
    text(kTracion, "PointerShape", name);
  else
    mxNotify::post(mxNotify::Warn, "Morvane: pointer shape code %d has no name; PointerShape not written", s.shape);
  channel(kStatus, s.status);
  number(kStatus, "IPv6InterfaceId", unsigned(s.statusIPv6InterfaceId));
  return ok;
}
