// Fuzzes the sender's settings reader: any bytes as a settings file, read
// over a sender's usual settings as the engine reads it. Every code read is
// one of its table's; a port changes only to the number the file holds
// (never to a number cut to 16 bits); what was read, written into a fresh
// file and read again over itself, comes back unchanged; and the texts the
// engine hands back through its 1024-byte buffer are bounded and valid
// UTF-8.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_checks.h"
#include "pellum/mxNotify.h"
#include "talvex/TalvexCodes.h"
#include "talvex/TalvexSettings.h"
#include "talvex/TalvexText.h"

namespace {

using namespace talvex;

TalvexSettings usual() {
  TalvexSettings s;
  s.videoCapture = "Test Pattern Camera";
  s.audioCapture = "Test Tone Microphone";
  s.videoEncoder = VideoEncoderMPEG42;
  s.videoFormat = CIF;
  s.loupexMaskWidth = 160;
  s.loupexMaskHeight = 120;
  const uint16_t ports[4] = {8910, 8912, 8914, 8920};
  for (int i = 0; i < 4; ++i)
    s.servers[i] = {"234.5.6.7", ports[i], 1, 4000000, 1, 1024};
  s.status = {"234.5.6.7", 8930, 1, 0, 0, 1024};
  return s;
}

void checkText(const mxString& value) {
  static char buffer[kTextBufferSize];
  const std::string first = copyText(buffer, value.c_str() ? value.c_str() : "");
  REQUIRE(first.size() < kTextBufferSize);
  REQUIRE(first == copyText(buffer, first.c_str()));  // valid UTF-8 copies itself unchanged
}

void checkPort(const mxIniFile& ini, const char* section, uint16_t before, uint16_t after) {
  REQUIRE(after == before || ini.readUInt(section, "Port", before) == after);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Removed again when the run ends.
  static const ScratchIniFiles files("talvex_settings_fuzz");
  files.write(data, size);
  const std::string& input = files.in;
  const std::string& output = files.out;
  const mxIniFile ini(input.c_str());
  const TalvexSettings before = usual();
  TalvexSettings s = before;
  readTalvexSettings(ini, s);

  const struct {
    int code;
    const CodeTable& table;
  } codes[] = {{s.videoEncoder, kVideoEncoders},       {s.audioEncoder, kAudioEncoders},
               {s.videoFormat, kVideoFormats},         {s.focusDisplay, kFocusDisplays},
               {s.loupexVideoFormat, kVideoFormats},   {s.loupexMaskType, kLoupexMaskTypes},
               {s.compoundBaseVideoFormat, kVideoFormats}, {s.compoundAdditionalVideoFormat, kVideoFormats},
               {s.compoundMaskType, kCompoundMaskTypes},   {s.compoundBlendingType, kBlendingTypes}};
  for (const auto& c : codes)
    REQUIRE(c.table.contains(c.code));
  for (int i = 0; i < 4; ++i) {
    checkPort(ini, kTalvexServerSections[i], before.servers[i].port, s.servers[i].port);
    checkText(s.servers[i].address);
  }
  checkPort(ini, "StatusSender", before.status.port, s.status.port);
  for (const mxString* text : {&s.videoCapture, &s.audioCapture, &s.status.address}) checkText(*text);

  unlink(output.c_str());
  const mxIniFile out(output.c_str());
  REQUIRE(writeTalvexSettings(out, s));
  TalvexSettings again = s;
  readTalvexSettings(out, again);
  REQUIRE(again == s);
  return 0;
}
