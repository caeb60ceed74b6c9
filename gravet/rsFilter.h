// rsFilter: the wrapper through which the engines hold every filter of a
// graph. A wrapper has a name (the filter's name in the graph) and the
// filter's IBaseFilter, empty when the filter could not be created; derived
// wrappers add the filter's control interface and turn it into typed getters
// and setters. An empty wrapper still exists: its setters do nothing and its
// getters return fixed defaults.
//
// Wrappers are shared only through mxObjectPtr and never copied.
#pragma once
#include "pellum/mxObject.h"
#include "pellum/mxString.h"
#include "platform/media/filter_interfaces.h"

class rsGraphManager;

class rsFilter : public mxObject {
  MX_OBJECT_DECLARE(rsFilter, mxObject)

 public:
  // A wrapper with no filter yet.
  explicit rsFilter(const mxString& name);
  rsFilter(const rsFilter&) = delete;
  rsFilter& operator=(const rsFilter&) = delete;

  const mxString& getName() const { return name_; }
  void setName(const mxString& name) { name_ = name; }
  // Whether the filter interface is present.
  bool isValid() const { return filter_ != nullptr; }
  // Pins of each direction, in the filter's pin order (0 without a filter).
  unsigned getNumInputPins() const;
  unsigned getNumOutputPins() const;

 protected:
  // Takes over an already created filter (adding a reference of its own).
  rsFilter(const mxString& name, IBaseFilter* filter);
  // Releases the filter interface.
  ~rsFilter() override;

  // Creates the filter as an in-process object of the class; false (and no
  // filter) when that fails.
  bool createFilter(REFCLSID clsid);
  // Queries the control interface I from the filter. When the filter does
  // not offer it, the filter is released too, so that the wrapper is empty.
  template <class I>
  I* queryControl() {
    I* control = nullptr;
    if (filter_ &&
        FAILED(filter_->QueryInterface(InterfaceId<I>::value(), reinterpret_cast<void**>(&control)))) {
      control = nullptr;
      releaseFilter();
    }
    return control;
  }
  void releaseFilter();

  // The pin number index of a direction, counting only pins of that
  // direction: a new reference that the caller releases, or null.
  IPin* getInputPin(unsigned index) const;
  IPin* getOutputPin(unsigned index) const;
  operator IBaseFilter*() const { return filter_; }  // NOLINT: no reference added

  friend class rsGraphManager;

 private:
  unsigned countPins(PIN_DIRECTION direction) const;
  IPin* findPin(PIN_DIRECTION direction, unsigned index) const;

  mxString name_;
  IBaseFilter* filter_ = nullptr;
};
