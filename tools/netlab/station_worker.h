// A thread that lives in one station of the network lab and runs the tasks
// given to it, one after another. Everything a station does (creating
// filters, which opens their sockets, building, running and stopping its
// graph) goes through its worker, so that every socket and every thread
// started from there belongs to that station's network namespace.
// onEnter and onLeave run on the worker's thread around its task loop (for
// instance to initialise the component model there).
#pragma once
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "netlab.h"

namespace netlab {

class StationWorker {
 public:
  explicit StationWorker(const std::string& station, std::function<void()> onEnter = {},
                         std::function<void()> onLeave = {})
      : thread_([this, station, onEnter = std::move(onEnter), onLeave = std::move(onLeave)] {
          if (!enterStation(station)) {
            std::lock_guard<std::mutex> g(lock_);
            finished_ = true;
            return;
          }
          if (onEnter) onEnter();
          loop();
          if (onLeave) onLeave();
        }) {}
  ~StationWorker() {
    {
      std::lock_guard<std::mutex> g(lock_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  StationWorker(const StationWorker&) = delete;
  StationWorker& operator=(const StationWorker&) = delete;

  // Whether the thread entered the station (false: nothing runs there).
  bool entered() {
    return call<bool>([] { return true; }, false);
  }
  // Runs f on the station's thread and waits for its result; fallback when
  // the thread could not enter the station.
  template <typename R, typename F>
  R call(F f, R fallback = R()) {
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(f));
    std::future<R> result = task->get_future();
    {
      std::lock_guard<std::mutex> g(lock_);
      if (quit_ || finished_) return fallback;
      tasks_.push_back([task] { (*task)(); });
    }
    wake_.notify_all();
    // finished_ is set only when the thread could not enter the station;
    // then no task ever runs.
    for (;;) {
      if (result.wait_for(std::chrono::milliseconds(50)) == std::future_status::ready) return result.get();
      std::lock_guard<std::mutex> g(lock_);
      if (finished_) return fallback;
    }
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
  bool finished_ = false;
  std::thread thread_;  // last: starts once the members above exist
};

}  // namespace netlab
