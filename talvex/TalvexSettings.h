// The sender's settings file as plain values: what the engine reads from the
// file and writes into it, apart from the engine itself. Nine sections, read
// and written in a fixed order (stored files and receivers rely on it):
//
//   [Capture]       VideoCapture, AudioCapture (friendly names)
//   [Encoder]       VideoEncoder, AudioEncoder
//   [VideoFormat]   VideoFormat
//   [FocusDisplay]  FocusDisplay, LoupexVideoFormat, LoupexMaskType,
//                   LoupexMaskWidth, LoupexMaskHeight,
//                   ImageCompoundBaseVideoFormat,
//                   ImageCompoundAdditionalVideoFormat,
//                   ImageCompoundMaskType, ImageCompoundBlendingType
//   [VideoServer(Main)] [VideoServer(Sub)] [AudioServer] [PointerServerClient]
//                   Address, Port, TimeToLive, MaxTransmittingRate,
//                   TransmittingCount, PacketSize
//   [StatusSender]  Address, Port, TimeToLive, PacketSize
#pragma once
#include <cstdint>

#include "pellum/mxIniFile.h"
#include "pellum/mxString.h"

struct TalvexServerSettings {
  mxString address;
  uint16_t port = 0;
  unsigned timeToLive = 0;
  unsigned maxTransmittingRate = 0;  // not in [StatusSender]
  unsigned transmittingCount = 0;    // not in [StatusSender]
  unsigned packetSize = 0;
};

struct TalvexSettings {
  // Friendly names; empty while no device is selected (the key is then
  // neither read nor written).
  mxString videoCapture, audioCapture;
  int videoEncoder = 0, audioEncoder = 0, videoFormat = 0, focusDisplay = 0;
  int loupexVideoFormat = 0, loupexMaskType = 0;
  unsigned loupexMaskWidth = 0, loupexMaskHeight = 0;
  int compoundBaseVideoFormat = 0, compoundAdditionalVideoFormat = 0;
  int compoundMaskType = 0, compoundBlendingType = 0;
  TalvexServerSettings servers[4];  // Talvex::Server order: Main, Sub, Audio, Pointer
  TalvexServerSettings status;
};

bool operator==(const TalvexServerSettings& a, const TalvexServerSettings& b);
bool operator==(const TalvexSettings& a, const TalvexSettings& b);

// The section of each server, in Talvex::Server order.
extern const char* const kTalvexServerSections[4];

// Reads every key with the value in `s` as its default. An encoder, focus
// display, mask or blending text that is not in its table keeps the value;
// an unknown video format text is SQCIF; a port that does not fit in 16
// bits keeps the value (with a warning in the log).
void readTalvexSettings(const mxIniFile& ini, TalvexSettings& s);
// Writes every key; false when one could not be stored.
bool writeTalvexSettings(const mxIniFile& ini, const TalvexSettings& s);
