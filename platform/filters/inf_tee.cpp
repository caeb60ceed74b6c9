#include "platform/filters/inf_tee.h"

#include <string>

#include "platform/com/wide_text.h"
#include "platform/media/guids.h"

InfTee::InfTee() : TeeFilter(CLSID_InfTee) {
  addNewOutput();
}

void InfTee::addNewOutput() {
  std::u16string name = utf8ToUtf16("Output" + std::to_string(nextNumber_++));
  addOutput(new TeeOutputPin(this, name.c_str()));
}

HRESULT InfTee::deliverToOutputs(IMediaSample* sample) {
  // Outputs change only while the filter is stopped, so the list is stable here.
  for (TeeOutputPin* out : outputs_)
    if (out->isConnected()) out->deliverCopy(sample, 0);  // one refusing output does not starve the others
  return S_OK;
}

void InfTee::outputConnected(TeeOutputPin*) {
  for (TeeOutputPin* out : outputs_)
    if (!out->isConnected()) return;
  addNewOutput();
}

void InfTee::outputDisconnected(TeeOutputPin* pin) {
  // The pin is still counted as connected inside its own breakConnect.
  int freeOthers = 0;
  for (TeeOutputPin* out : outputs_)
    if (out != pin && !out->isConnected()) ++freeOthers;
  if (freeOthers > 0) removeOutput(pin);
}
