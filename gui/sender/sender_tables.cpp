#include "gui/sender/sender_tables.h"

namespace sender {

QString videoFormatLabel(int code) {
  static const char* const labels[kVideoFormatCount] = {
      "SQCIF", "QCIF", "CIF", "160x120", "320x240", "360x240", "640x480", "720x480", "キャプチャの解像度"};
  return code >= 0 && code < kVideoFormatCount ? QString::fromUtf8(labels[code]) : QString();
}

int rateIndex(unsigned bitsPerSecond) {
  for (size_t i = 0; i + 1 < kTransmissionRates.size(); ++i)
    if (bitsPerSecond <= kTransmissionRates[i].menuValue) return static_cast<int>(i);
  return static_cast<int>(kTransmissionRates.size()) - 1;
}

QString countLabel(int count) {
  return QStringLiteral("%1回").arg(count);
}

int countIndex(unsigned count) {
  return count >= 1 && count <= kTransmissionCounts ? static_cast<int>(count) - 1 : 0;
}

}  // namespace sender
