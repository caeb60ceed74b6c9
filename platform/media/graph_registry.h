// The process registry of graphs, in place of the running object table: a
// graph registers under a name (for instance "FilterGraph 0x... pid 0x...")
// so that tools can find and describe it. Descriptions are plain text or a
// Graphviz digraph (filters as boxes, connections as labelled edges).
#pragma once
#include <string>
#include <vector>

#include "platform/media/filter_interfaces.h"

// Holds a reference on the graph until revoked. cookie is never 0.
HRESULT registerGraph(IUnknown* graph, const std::string& name, DWORD* cookie);
HRESULT revokeGraph(DWORD cookie);

struct RegisteredGraph {
  std::string name;
  IUnknown* graph;  // a reference the caller releases
};
std::vector<RegisteredGraph> registeredGraphs();

// "filter "Name" (state) {CLSID}" lines, each pin below it with its
// direction, peer and media type.
std::string describeGraphText(IFilterGraph* graph);
std::string describeGraphDot(IFilterGraph* graph, const std::string& title = "graph");
// Every registered graph, one after the other.
std::string describeRegisteredGraphs(bool dot);
// Short text for a media type: "Video RGB24 352x288" or the GUIDs.
std::string describeMediaType(const AM_MEDIA_TYPE& mt);
