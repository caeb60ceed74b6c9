// The sender's setting codes and the texts under which the settings file
// stores them. Reading compares without regard to ASCII case.
#pragma once
#include "pellum/mxString.h"

namespace talvex {

enum VideoFormatCode { SQCIF = 0, QCIF, CIF, V160x120, V320x240, V360x240, V640x480, V720x480, Through };
enum FocusDisplayCode { FocusNone = 0, FocusLoupex = 1, FocusImageCompound = 2 };
enum VideoEncoderCode { VideoEncoderNone = 0, VideoEncoderMPEG42 = 1 };
enum AudioEncoderCode { AudioEncoderNone = 0, AudioEncoderMP3 = 1 };

// One table of texts, indexed by code.
struct CodeTable {
  const char* const* texts;
  int count;

  bool contains(int code) const { return code >= 0 && code < count; }
  // The text of a code ("" for a code outside the table).
  const char* text(int code) const { return contains(code) ? texts[code] : ""; }
  // The code whose text equals `text` ignoring ASCII case, or -1.
  int find(const mxString& text) const;
};

extern const CodeTable kVideoFormats;       // "SQCIF" ... "Through"
extern const CodeTable kFocusDisplays;      // "None", "Loupex", "ImageCompound"
extern const CodeTable kVideoEncoders;      // "None", "MPEG42"
extern const CodeTable kAudioEncoders;      // "None", "MP3"
extern const CodeTable kLoupexMaskTypes;    // "Rectangle", "Ellipse"
extern const CodeTable kCompoundMaskTypes;  // "Rectangle", "Ellipse", "Checkers"
extern const CodeTable kBlendingTypes;      // "Simple", "Vaguely"

// Names the engine looks for among the enumerated codecs.
inline constexpr const char* kMPEG4EncoderName = "Microsoft MPEG-4 Video Codec V2";
inline constexpr const char* kMP3EncoderName = "MPEG Layer-3";
inline constexpr const char* kDVEncoderName = "DV Video Encoder";
inline constexpr const char* kDVDecoderName = "DV Video Decoder";

}  // namespace talvex
