// rsCaptureFilter: a capture device as the capture enumerator yields it (an
// already created filter, its friendly name and its name), with the device
// operations the sender uses: property page, analog or not, the capture and
// preview pins, and buffer negotiation on an output pin.
#pragma once
#include "gravet/rsFilter.h"

class rsCaptureFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsCaptureFilter, rsFilter)

 public:
  rsCaptureFilter(IBaseFilter* filter, const mxString& friendlyName, const mxString& name);

  const mxString& getFriendlyName() const { return friendlyName_; }

  unsigned getNumPropertyPages() const { return 1; }
  // "Capture Property Page" for any index.
  mxString getPropertyPageName(unsigned index) const;
  // Shows the filter's property pages in the platform's modal property frame
  // at (30, 30) from the parent; true once the frame was shown and closed,
  // false when the filter has no pages or no frame could be shown.
  bool showPropertyPage(OAHWND parent, unsigned index);

  // Whether the device offers the analog video decoder interface.
  bool isAnalogVideoCapture() const;
  // Index among the output pins of the first capture (preview) pin; -1 if none.
  int getCapturePinIndex() const;
  int getPreviewPinIndex() const;

  // Suggests allocator properties on output pin number pin (nothing when the
  // pin does not negotiate buffers). Takes effect at the next connection.
  void setAllocatorProperties(unsigned pin, long buffers, long bufferSize, long alignment, long prefix);
  // The properties agreed on that pin (each 0 when none were agreed yet).
  void getAllocatorProperties(unsigned pin, long& buffers, long& bufferSize, long& alignment, long& prefix) const;

 protected:
  ~rsCaptureFilter() override = default;

 private:
  int categoryPinIndex(const GUID& category) const;

  mxString friendlyName_;
};
