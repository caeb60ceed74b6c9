// Infinite Pin Tee: one input, any number of outputs. There is always one
// unconnected output ("Output1", "Output2", ...): when the last free output
// is connected a new one appears, and when an output is disconnected while
// another is free, it goes away. Every connected output gets its own copy of
// each input sample.
#pragma once
#include "platform/filters/tee_pins.h"

class InfTee final : public TeeFilter {
 public:
  InfTee();
  HRESULT deliverToOutputs(IMediaSample* sample) override;
  void outputConnected(TeeOutputPin* pin) override;
  void outputDisconnected(TeeOutputPin* pin) override;

 private:
  void addNewOutput();
  int nextNumber_ = 1;
};
