// Test support: a worker thread inside one station of the network lab that
// runs tasks (so that every socket a filter opens, at creation or at Run,
// belongs to that station), and a graph built on it from registered filters.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "netlab.h"
#include "tools/lab_probes/station_worker.h"
#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/guids.h"

// A graph of registered filters; use it on one thread only.
struct TestGraph {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IMediaControl> control;
  bool create() {
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                graph.putVoid())))
      return false;
    return SUCCEEDED(graph->QueryInterface(IID_IMediaControl, control.putVoid()));
  }
  ComPtr<IBaseFilter> add(REFCLSID clsid, const char16_t* name) {
    ComPtr<IBaseFilter> f = createFilter(clsid);
    if (f) graph->AddFilter(f.get(), name);
    return f;
  }
  void release() {
    if (control) control->Stop();
    control.reset();
    graph.reset();
  }
};
