// Fuzzes what the sender makes of its settings file's texts: any bytes as a
// file image; every key the sender reads is looked up and taken as the
// sender takes it (a code of one of its tables, or a text it hands back
// through its 1024-byte text buffer). A code found must name its own text;
// a text handed back must be bounded, valid UTF-8, and unchanged by a
// second copy.
#include <strings.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win/private_profile.h"
#include "talvex/TalvexCodes.h"
#include "talvex/TalvexText.h"

namespace {

struct Key {
  const char* section;
  const char* key;
  const talvex::CodeTable* table;  // null: a free text (a name or an address)
};

const Key kKeys[] = {
    {"Capture", "VideoCapture", nullptr},
    {"Capture", "AudioCapture", nullptr},
    {"Encoder", "VideoEncoder", &talvex::kVideoEncoders},
    {"Encoder", "AudioEncoder", &talvex::kAudioEncoders},
    {"VideoFormat", "VideoFormat", &talvex::kVideoFormats},
    {"FocusDisplay", "FocusDisplay", &talvex::kFocusDisplays},
    {"FocusDisplay", "LoupexVideoFormat", &talvex::kVideoFormats},
    {"FocusDisplay", "LoupexMaskType", &talvex::kLoupexMaskTypes},
    {"FocusDisplay", "ImageCompoundBaseVideoFormat", &talvex::kVideoFormats},
    {"FocusDisplay", "ImageCompoundAdditionalVideoFormat", &talvex::kVideoFormats},
    {"FocusDisplay", "ImageCompoundMaskType", &talvex::kCompoundMaskTypes},
    {"FocusDisplay", "ImageCompoundBlendingType", &talvex::kBlendingTypes},
    {"VideoServer(Main)", "Address", nullptr},
    {"VideoServer(Sub)", "Address", nullptr},
    {"AudioServer", "Address", nullptr},
    {"PointerServerClient", "Address", nullptr},
    {"StatusSender", "Address", nullptr},
};

void checkText(const std::string& value) {
  static char buffer[talvex::kTextBufferSize];
  const std::string first = talvex::copyText(buffer, value.c_str());
  if (first.size() >= talvex::kTextBufferSize) std::abort();
  // Valid UTF-8 copies itself unchanged.
  if (first != talvex::copyText(buffer, first.c_str())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string image(reinterpret_cast<const char*>(data), size);
  for (const Key& k : kKeys) {
    const auto value = platform::win::findProfileValue(image, k.section, k.key);
    if (!value) continue;
    checkText(*value);
    if (!k.table) continue;
    const int code = k.table->find(mxString(value->c_str()));
    if (code < -1 || code >= k.table->count) std::abort();
    if (code >= 0 && strcasecmp(k.table->text(code), value->c_str()) != 0) std::abort();
  }
  return 0;
}
