// Wrappers of the platform's filters that the engines place in graphs
// without any control of their own: the audio renderer, the Smart Tee and
// the Infinite Pin Tee. Each creates its filter by class identifier; a
// filter that cannot be created leaves the wrapper empty.
#pragma once
#include "gravet/rsFilter.h"

class rsAudioRenderFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsAudioRenderFilter, rsFilter)

 public:
  explicit rsAudioRenderFilter(const mxString& name);

 protected:
  ~rsAudioRenderFilter() override = default;
};

class rsSmartTeeFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsSmartTeeFilter, rsFilter)

 public:
  explicit rsSmartTeeFilter(const mxString& name);

 protected:
  ~rsSmartTeeFilter() override = default;
};

class rsInfPinTeeFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsInfPinTeeFilter, rsFilter)

 public:
  explicit rsInfPinTeeFilter(const mxString& name);

 protected:
  ~rsInfPinTeeFilter() override = default;
};
