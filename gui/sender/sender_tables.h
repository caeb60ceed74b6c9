// The sender program's shared tables: video formats, transmission rates and
// transmission counts with their menu texts and the values they stand for.
#pragma once

#include <QString>
#include <array>

namespace sender {

// Video format labels by code (0..8); the focus-display dialog lists 0..7.
inline constexpr int kVideoFormatCount = 9;
QString videoFormatLabel(int code);

// Transmission rates: label, value sent by the menu, value sent by the
// multicast dialog (bits per second).
struct TransmissionRate {
  const char* label;
  unsigned menuValue;
  unsigned dialogValue;
};
inline constexpr std::array<TransmissionRate, 7> kTransmissionRates{{
    {"100 Kbps", 102400u, 102400u},
    {"300 Kbps", 307200u, 307200u},
    {"1 Mbps", 1048576u, 1048576u},
    {"10 Mbps", 10485760u, 10485760u},
    {"30 Mbps", 31457280u, 31457280u},
    {"100 Mbps", 104857600u, 104857600u},
    {"無制限", 1048576000u, 1073741824u},
}};
// The rate shown for a rate read back: the first label whose menu value the
// rate does not exceed; above 104857600 the last ("無制限").
int rateIndex(unsigned bitsPerSecond);

// Transmission counts "1回" to "4回" for 1 to 4.
inline constexpr int kTransmissionCounts = 4;
QString countLabel(int count);
// The box index shown for a count read back (a count outside 1..4 shows "1回").
int countIndex(unsigned count);

}  // namespace sender
