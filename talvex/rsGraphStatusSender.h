// rsGraphStatusSender: the sender's status on the status channel. The engine
// fills the record and calls sendStatus; the periodic tick calls sendStatus
// alone, which repeats the last record as it was filled. Nothing is sent
// while the channel is closed.
#pragma once
#include "gravet/rsGraphStatus.h"
#include "tarnil/TarnilSender.h"

class rsGraphStatusSender : public TarnilSender {
  MX_OBJECT_DECLARE(rsGraphStatusSender, TarnilSender)

 public:
  rsGraphStatusSender() = default;

  void sendStatus() override;

  rsGraphStatus& getStatus() { return status_; }
  const rsGraphStatus& getStatus() const { return status_; }
  // Messages handed to the channel since construction.
  unsigned getNumSent() const { return numSent_; }

 protected:
  ~rsGraphStatusSender() override = default;

 private:
  rsGraphStatus status_;
  unsigned numSent_ = 0;
};
