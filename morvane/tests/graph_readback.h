// What the graphs of the process registry of graphs hold, read through the
// framework (where graph viewers find them, not from an engine's own
// bookkeeping): filter names and connections.
#pragma once
#include <set>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"
#include "platform/com/wide_text.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/graph_registry.h"

struct GraphContents {
  std::set<std::string> filters;
  std::multiset<std::string> connections;
  int graphs = 0;  // registered graphs read
};

inline std::string filterName(IBaseFilter* f) {
  FILTER_INFO info{};
  if (!f || FAILED(f->QueryFilterInfo(&info))) return "?";
  if (info.pGraph) info.pGraph->Release();
  return utf16ToUtf8(info.achName);
}

inline std::vector<ComPtr<IPin>> pinsOf(IBaseFilter* f, PIN_DIRECTION direction) {
  std::vector<ComPtr<IPin>> out;
  ComPtr<IEnumPins> e;
  if (FAILED(f->EnumPins(e.put())) || !e) return out;
  ComPtr<IPin> p;
  PIN_DIRECTION d;
  while (e->Next(1, p.put(), nullptr) == S_OK)
    if (SUCCEEDED(p->QueryDirection(&d)) && d == direction) out.push_back(p);
  return out;
}

// Adds a graph's filters and connections: "From -> To", or with pins
// "From[i] -> To[j]", numbered per direction as the graph manager numbers
// them.
inline void readGraph(IFilterGraph* graph, bool withPins, GraphContents& out) {
  ComPtr<IEnumFilters> filters;
  if (!graph || FAILED(graph->EnumFilters(filters.put())) || !filters) return;
  ComPtr<IBaseFilter> f;
  while (filters->Next(1, f.put(), nullptr) == S_OK) {
    const std::string name = filterName(f.get());
    out.filters.insert(name);
    const auto outputs = pinsOf(f.get(), PINDIR_OUTPUT);
    for (size_t i = 0; i < outputs.size(); ++i) {
      ComPtr<IPin> peer;
      PIN_INFO info{};
      if (outputs[i]->ConnectedTo(peer.put()) != S_OK || !peer || FAILED(peer->QueryPinInfo(&info))) continue;
      ComPtr<IBaseFilter> to = ComPtr<IBaseFilter>::adopt(info.pFilter);
      const auto inputs = pinsOf(to.get(), PINDIR_INPUT);
      size_t j = 0;
      while (j < inputs.size() && inputs[j].get() != peer.get()) ++j;
      out.connections.insert(withPins ? name + "[" + std::to_string(i) + "] -> " + filterName(to.get()) +
                                            "[" + std::to_string(j) + "]"
                                      : name + " -> " + filterName(to.get()));
    }
  }
}

// The registered graphs whose names start with prefix, read together.
inline GraphContents readRegisteredGraph(const std::string& prefix = "", bool withPins = false) {
  GraphContents out;
  for (RegisteredGraph& g : registeredGraphs()) {
    if (g.name.rfind(prefix, 0) == 0) {
      ComPtr<IFilterGraph> graph;
      g.graph->QueryInterface(IID_IFilterGraph, graph.putVoid());
      readGraph(graph.get(), withPins, out);
      ++out.graphs;
    }
    g.graph->Release();
  }
  return out;
}
