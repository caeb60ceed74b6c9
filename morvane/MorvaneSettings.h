// The receiver's settings file as plain values (the keys are listed in
// MorvaneIniFile.h): what the engine reads from the file and writes into
// it, apart from the engine itself.
#pragma once
#include <cstdint>

#include "pellum/mxIniFile.h"
#include "pellum/mxString.h"

struct MorvanePointerClientSettings {
  mxString address;
  uint16_t port = 0;
  uint32_t timeToLive = 0;
};

struct MorvaneSettings {
  MorvanePointerClientSettings clients[3];  // P1, P2, P3
  MorvanePointerClientSettings server;
  uint32_t serverMaxTransmittingRate = 0, serverTransmittingCount = 0, serverPacketSize = 0;
  int colors[3] = {0, 0, 0};  // codes of the colour names; one outside 0..7 is not written
  int shape = 0;              // code of the shape name; one outside 0..5 is not written
  MorvanePointerClientSettings status;
  int statusIPv6InterfaceId = 0;
};

bool operator==(const MorvaneSettings& a, const MorvaneSettings& b);

// Reads every key with the value in `s` as its default. A colour or shape
// name not in the lists, or a port that does not fit in 16 bits, keeps the
// value (a port with a warning in the log).
void readMorvaneSettings(const mxIniFile& ini, MorvaneSettings& s);
// Writes every key (a colour or shape code without a name is left out, with
// a warning); false, with a line in the log naming the key, when one could
// not be stored.
bool writeMorvaneSettings(const mxIniFile& ini, const MorvaneSettings& s);
