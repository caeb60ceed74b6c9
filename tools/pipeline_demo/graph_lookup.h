// A control interface of a filter that a graph holds under a name: for the
// counters that the graph wrappers do not pass on.
#pragma once
#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_interfaces.h"

template <class I>
ComPtr<I> filterInterface(IGraphBuilder* graph, const char* name) {
  ComPtr<IBaseFilter> filter;
  ComPtr<I> control;
  if (graph && SUCCEEDED(graph->FindFilterByName(utf8ToUtf16(name).c_str(), filter.put())) && filter)
    filter->QueryInterface(InterfaceId<I>::value(), control.putVoid());
  return control;
}
