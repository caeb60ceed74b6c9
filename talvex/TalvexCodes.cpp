#include "talvex/TalvexCodes.h"

#include <strings.h>

namespace talvex {

namespace {

const char* const kVideoFormatTexts[] = {"SQCIF",   "QCIF",    "CIF",     "160x120", "320x240",
                                         "360x240", "640x480", "720x480", "Through"};
const char* const kFocusDisplayTexts[] = {"None", "Loupex", "ImageCompound"};
const char* const kVideoEncoderTexts[] = {"None", "MPEG42"};
const char* const kAudioEncoderTexts[] = {"None", "MP3"};
const char* const kLoupexMaskTexts[] = {"Rectangle", "Ellipse"};
const char* const kCompoundMaskTexts[] = {"Rectangle", "Ellipse", "Checkers"};
const char* const kBlendingTexts[] = {"Simple", "Vaguely"};

template <int N>
constexpr CodeTable table(const char* const (&texts)[N]) {
  return CodeTable{texts, N};
}

}  // namespace

const CodeTable kVideoFormats = table(kVideoFormatTexts);
const CodeTable kFocusDisplays = table(kFocusDisplayTexts);
const CodeTable kVideoEncoders = table(kVideoEncoderTexts);
const CodeTable kAudioEncoders = table(kAudioEncoderTexts);
const CodeTable kLoupexMaskTypes = table(kLoupexMaskTexts);
const CodeTable kCompoundMaskTypes = table(kCompoundMaskTexts);
const CodeTable kBlendingTypes = table(kBlendingTexts);

int CodeTable::find(const mxString& text) const {
  const char* t = text.c_str() ? text.c_str() : "";
  for (int i = 0; i < count; ++i)
    if (strcasecmp(t, texts[i]) == 0) return i;
  return -1;
}

}  // namespace talvex
