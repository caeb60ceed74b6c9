// Fuzzes the receiver's settings reader: any bytes as a settings file, read
// over a receiver's usual settings as the engine reads it. Colours and
// shape stay codes with a name; a port changes only to the number the file
// holds (never to a number cut to 16 bits); what was read, written into a
// fresh file and read again over itself, comes back unchanged.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_checks.h"
#include "morvane/MorvaneIniFile.h"
#include "morvane/MorvaneSettings.h"
#include "pellum/mxNotify.h"

namespace {

MorvaneSettings usual() {
  MorvaneSettings s;
  const uint16_t ports[3] = {8950, 8951, 8952};
  for (int i = 0; i < 3; ++i) {
    s.clients[i] = {"234.5.6.8", ports[i], 1};
    s.colors[i] = i + 1;
  }
  s.server = {"234.5.6.8", 8950, 1};
  s.serverMaxTransmittingRate = 100000;
  s.serverTransmittingCount = 1;
  s.serverPacketSize = 1024;
  s.status = {"234.5.6.7", 8930, 1};
  return s;
}

void checkPort(const mxIniFile& ini, const char* section, uint16_t before, uint16_t after) {
  REQUIRE(after == before || ini.readUInt(section, "Port", before) == after);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Removed again when the run ends.
  static const ScratchIniFiles files("morvane_settings_fuzz");
  files.write(data, size);
  const std::string& input = files.in;
  const std::string& output = files.out;
  const mxIniFile ini(input.c_str());
  const MorvaneSettings before = usual();
  MorvaneSettings s = before;
  readMorvaneSettings(ini, s);

  const char* const clients[] = {"PointerP1Client", "PointerP2Client", "PointerP3Client"};
  for (int i = 0; i < 3; ++i) {
    checkPort(ini, clients[i], before.clients[i].port, s.clients[i].port);
    REQUIRE(morvaneColorName(s.colors[i]));
  }
  REQUIRE(morvaneShapeName(s.shape));
  checkPort(ini, "PointerServer", before.server.port, s.server.port);
  checkPort(ini, "StatusReceiver", before.status.port, s.status.port);

  unlink(output.c_str());
  const mxIniFile out(output.c_str());
  REQUIRE(writeMorvaneSettings(out, s));
  MorvaneSettings again = s;
  readMorvaneSettings(out, again);
  REQUIRE(again == s);
  return 0;
}
