#include "talvex/TalvexSettings.h"

#include <cstring>

#include "pellum/mxNotify.h"
#include "talvex/TalvexCodes.h"

using namespace talvex;

const char* const kTalvexServerSections[4] = {"VideoServer(Main)", "VideoServer(Sub)", "AudioServer",
                                              "PointerServerClient"};

namespace {

constexpr const char* kStatus = "StatusSender";

// A code of `table` by its text; not in the table: `current` (or, with
// `unknown` set, that code).
int readCode(const mxIniFile& ini, const char* section, const char* key, const CodeTable& table, int current,
             int unknown = -1) {
  const int code = table.find(ini.readString(section, key, table.text(current)));
  return code >= 0 ? code : unknown >= 0 ? unknown : current;
}

void readServer(const mxIniFile& ini, const char* section, TalvexServerSettings& s, bool rates) {
  s.address = ini.readString(section, "Address", s.address);
  s.port = ini.readPort("Talvex", section, s.port);
  s.timeToLive = ini.readUInt(section, "TimeToLive", s.timeToLive);
  if (rates) {
    s.maxTransmittingRate = ini.readUInt(section, "MaxTransmittingRate", s.maxTransmittingRate);
    s.transmittingCount = ini.readUInt(section, "TransmittingCount", s.transmittingCount);
  }
  s.packetSize = ini.readUInt(section, "PacketSize", s.packetSize);
}

// Two texts with the same bytes (an empty text equals an empty text, which
// mxString's comparison does not grant).
bool sameText(const mxString& a, const mxString& b) {
  return std::strcmp(a.c_str() ? a.c_str() : "", b.c_str() ? b.c_str() : "") == 0;
}

}  // namespace

bool operator==(const TalvexServerSettings& a, const TalvexServerSettings& b) {
  return sameText(a.address, b.address) && a.port == b.port && a.timeToLive == b.timeToLive &&
         a.maxTransmittingRate == b.maxTransmittingRate && a.transmittingCount == b.transmittingCount &&
         a.packetSize == b.packetSize;
}

bool operator==(const TalvexSettings& a, const TalvexSettings& b) {
  for (int i = 0; i < 4; ++i)
    if (!(a.servers[i] == b.servers[i])) return false;
  return sameText(a.videoCapture, b.videoCapture) && sameText(a.audioCapture, b.audioCapture) &&
         a.videoEncoder == b.videoEncoder && a.audioEncoder == b.audioEncoder && a.videoFormat == b.videoFormat &&
         a.focusDisplay == b.focusDisplay && a.loupexVideoFormat == b.loupexVideoFormat &&
         a.loupexMaskType == b.loupexMaskType && a.loupexMaskWidth == b.loupexMaskWidth &&
         a.loupexMaskHeight == b.loupexMaskHeight && a.compoundBaseVideoFormat == b.compoundBaseVideoFormat &&
         a.compoundAdditionalVideoFormat == b.compoundAdditionalVideoFormat &&
         a.compoundMaskType == b.compoundMaskType && a.compoundBlendingType == b.compoundBlendingType &&
         a.status == b.status;
}

void readTalvexSettings(const mxIniFile& ini, TalvexSettings& s) {
  if (s.videoCapture.length() != 0) s.videoCapture = ini.readString("Capture", "VideoCapture", s.videoCapture);
  if (s.audioCapture.length() != 0) s.audioCapture = ini.readString("Capture", "AudioCapture", s.audioCapture);
  s.videoEncoder = readCode(ini, "Encoder", "VideoEncoder", kVideoEncoders, s.videoEncoder);
  s.audioEncoder = readCode(ini, "Encoder", "AudioEncoder", kAudioEncoders, s.audioEncoder);
  s.videoFormat = readCode(ini, "VideoFormat", "VideoFormat", kVideoFormats, s.videoFormat, SQCIF);
  const char* f = "FocusDisplay";
  s.focusDisplay = readCode(ini, f, "FocusDisplay", kFocusDisplays, s.focusDisplay);
  s.loupexVideoFormat = readCode(ini, f, "LoupexVideoFormat", kVideoFormats, s.loupexVideoFormat, SQCIF);
  s.loupexMaskType = readCode(ini, f, "LoupexMaskType", kLoupexMaskTypes, s.loupexMaskType);
  s.loupexMaskWidth = ini.readUInt(f, "LoupexMaskWidth", s.loupexMaskWidth);
  s.loupexMaskHeight = ini.readUInt(f, "LoupexMaskHeight", s.loupexMaskHeight);
  s.compoundBaseVideoFormat =
      readCode(ini, f, "ImageCompoundBaseVideoFormat", kVideoFormats, s.compoundBaseVideoFormat, SQCIF);
  s.compoundAdditionalVideoFormat = readCode(ini, f, "ImageCompoundAdditionalVideoFormat", kVideoFormats,
                                             s.compoundAdditionalVideoFormat, SQCIF);
  s.compoundMaskType = readCode(ini, f, "ImageCompoundMaskType", kCompoundMaskTypes, s.compoundMaskType);
  s.compoundBlendingType = readCode(ini, f, "ImageCompoundBlendingType", kBlendingTypes, s.compoundBlendingType);
  for (int i = 0; i < 4; ++i) readServer(ini, kTalvexServerSections[i], s.servers[i], true);
  readServer(ini, kStatus, s.status, false);
}

bool writeTalvexSettings(const mxIniFile& ini, const TalvexSettings& s) {
  bool ok = true;
  auto text = [&](const char* section, const char* key, const mxString& value) {
    ok = ini.writeString(section, key, value) && ok;
  };
  auto number = [&](const char* section, const char* key, unsigned value) {
    ok = ini.writeUInt(section, key, value) && ok;
  };
  if (s.videoCapture.length() != 0) text("Capture", "VideoCapture", s.videoCapture);
  if (s.audioCapture.length() != 0) text("Capture", "AudioCapture", s.audioCapture);
  text("Encoder", "VideoEncoder", kVideoEncoders.text(s.videoEncoder));
  text("Encoder", "AudioEncoder", kAudioEncoders.text(s.audioEncoder));
  text("VideoFormat", "VideoFormat", kVideoFormats.text(s.videoFormat));
  const char* f = "FocusDisplay";
  text(f, "FocusDisplay", kFocusDisplays.text(s.focusDisplay));
  text(f, "LoupexVideoFormat", kVideoFormats.text(s.loupexVideoFormat));
  text(f, "LoupexMaskType", kLoupexMaskTypes.text(s.loupexMaskType));
  number(f, "LoupexMaskWidth", s.loupexMaskWidth);
  number(f, "LoupexMaskHeight", s.loupexMaskHeight);
  text(f, "ImageCompoundBaseVideoFormat", kVideoFormats.text(s.compoundBaseVideoFormat));
  text(f, "ImageCompoundAdditionalVideoFormat", kVideoFormats.text(s.compoundAdditionalVideoFormat));
  text(f, "ImageCompoundMaskType", kCompoundMaskTypes.text(s.compoundMaskType));
  text(f, "ImageCompoundBlendingType", kBlendingTypes.text(s.compoundBlendingType));
  for (int i = 0; i < 4; ++i) {
    const char* section = kTalvexServerSections[i];
    const TalvexServerSettings& v = s.servers[i];
    text(section, "Address", v.address);
    number(section, "Port", v.port);
    number(section, "TimeToLive", v.timeToLive);
    number(section, "MaxTransmittingRate", v.maxTransmittingRate);
    number(section, "TransmittingCount", v.transmittingCount);
    number(section, "PacketSize", v.packetSize);
  }
  text(kStatus, "Address", s.status.address);
  number(kStatus, "Port", s.status.port);
  number(kStatus, "TimeToLive", s.status.timeToLive);
  number(kStatus, "PacketSize", s.status.packetSize);
  return ok;
}
