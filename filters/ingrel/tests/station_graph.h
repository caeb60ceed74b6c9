// Test support: a worker thread inside one station of the network lab that
// runs tasks (so that every socket a filter opens, at creation or at Run,
// belongs to that station), and a graph built on it from registered filters.
#pragma once
#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>

#include "netlab.h"
#include "platform/com/com_ptr.h"
#include "platform/com/runtime.h"
#include "platform/filters/null_renderer.h"
#include "platform/filters/tests/graph_helpers.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/guids.h"

class StationWorker {
 public:
  explicit StationWorker(const std::string& station)
      : thread_(station, [this] {
          CoInitialize(nullptr);
          loop();
          CoUninitialize();
        }) {}
  ~StationWorker() {
    {
      std::lock_guard<std::mutex> g(lock_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  bool entered() {
    return call<bool>([] { return true; }, false);
  }
  // Runs f on the station's thread and returns its result (fallback when
  // the thread could not enter the station).
  template <typename R, typename F>
  R call(F f, R fallback = R()) {
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(f));
    std::future<R> result = task->get_future();
    {
      std::lock_guard<std::mutex> g(lock_);
      if (quit_) return fallback;
      tasks_.push_back([task] { (*task)(); });
    }
    wake_.notify_all();
    if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) return fallback;
    return result.get();
  }
  void run(std::function<void()> f) {
    call<bool>([&] {
      f();
      return true;
    });
  }

 private:
  void loop() {
    for (;;) {
      std::function<void()> task;
      {
        std::unique_lock<std::mutex> g(lock_);
        wake_.wait(g, [&] { return quit_ || !tasks_.empty(); });
        if (tasks_.empty()) return;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
  }
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool quit_ = false;
  netlab::StationThread thread_;
};

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
