// What a graph of the process registry of graphs holds, read through the
// framework: filter names and "From -> To" connections (output pin order).
#pragma once
#include <set>
#include <string>

#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/graph_registry.h"

struct GraphContents {
  std::set<std::string> filters;
  std::set<std::string> connections;
  int graphs = 0;  // registered graphs seen
};

inline std::string filterName(IBaseFilter* f) {
  FILTER_INFO info{};
  if (!f || FAILED(f->QueryFilterInfo(&info))) return "?";
  if (info.pGraph) info.pGraph->Release();
  return utf16ToUtf8(info.achName);
}

// The contents of the one registered graph of the process.
inline GraphContents readRegisteredGraph() {
  GraphContents out;
  for (RegisteredGraph& g : registeredGraphs()) {
    ++out.graphs;
    ComPtr<IFilterGraph> graph;
    g.graph->QueryInterface(IID_IFilterGraph, graph.putVoid());
    g.graph->Release();
    ComPtr<IEnumFilters> filters;
    if (!graph || FAILED(graph->EnumFilters(filters.put())) || !filters) continue;
    ComPtr<IBaseFilter> f;
    while (filters->Next(1, f.put(), nullptr) == S_OK) {
      const std::string name = filterName(f.get());
      out.filters.insert(name);
      ComPtr<IEnumPins> pins;
      if (FAILED(f->EnumPins(pins.put())) || !pins) continue;
      ComPtr<IPin> pin;
      while (pins->Next(1, pin.put(), nullptr) == S_OK) {
        PIN_DIRECTION d;
        ComPtr<IPin> peer;
        if (FAILED(pin->QueryDirection(&d)) || d != PINDIR_OUTPUT) continue;
        if (pin->ConnectedTo(peer.put()) != S_OK || !peer) continue;
        PIN_INFO info{};
        if (FAILED(peer->QueryPinInfo(&info))) continue;
        out.connections.insert(name + " -> " + filterName(info.pFilter));
        if (info.pFilter) info.pFilter->Release();
      }
    }
  }
  return out;
}
