// rsGraphManager: owner of one media filter graph and base class of the
// sender's and the receiver's graph managers. It offers the run state, the
// graph's video window and an error box; derived managers add wrapped
// filters and connect them pin by pin in buildGraph, and tear them down in
// destroyGraph (usually with removeAllFilters).
//
// Not synchronised: callers serialise their calls. Held through mxObjectPtr
// and never copied. The owner calls shutdown before letting the manager go;
// should it forget, the destructor still lets the graph go.
#pragma once
#include "gravet/rsFilter.h"
#include "pellum/mxObject.h"
#include "platform/media/filter_interfaces.h"

class rsGraphManager : public mxObject {
  MX_OBJECT_DECLARE(rsGraphManager, mxObject)

 public:
  // The time start and stop wait for the graph to reach its new state.
  static constexpr LONG kStateTimeoutMs = 100000;

  // owner: the window that parents the error box (an X11 window id, 0 for none).
  explicit rsGraphManager(OAHWND owner);
  rsGraphManager(const rsGraphManager&) = delete;
  rsGraphManager& operator=(const rsGraphManager&) = delete;

  // Creates the filter graph and queries its media control and video window
  // interfaces; false as soon as one step fails (what was obtained stays
  // held until shutdown).
  virtual bool initialize();
  // Releases the video window, media control and graph interfaces; always
  // true. Does not stop the graph.
  virtual bool shutdown();
  // Runs the graph and waits for it; false without a graph, when already
  // started, or when the graph did not reach Running. Started follows the
  // request whatever the outcome.
  virtual bool start();
  // Stops the graph and waits for it; false without a graph, when not
  // started, or when the graph did not reach Stopped.
  virtual bool stop();
  virtual bool isStarted() const { return started_; }
  // The derived manager's topology.
  virtual bool buildGraph() = 0;
  virtual bool destroyGraph() = 0;

  // The graph's video window (forwarded to its renderer). Getters leave
  // their defaults (position 0, 0; size 1, 1; others 0 / false) when the
  // query fails.
  void setVideoWindowPosition(int left, int top);
  void getVideoWindowPosition(int& left, int& top) const;
  void setVideoWindowSize(unsigned width, unsigned height);
  void getVideoWindowSize(unsigned& width, unsigned& height) const;
  void setVideoWindowOwner(OAHWND owner);
  OAHWND getVideoWindowOwner() const;
  void setVideoWindowStyle(long style);
  long getVideoWindowStyle() const;
  void setVideoWindowVisible(bool visible);
  bool getVideoWindowVisible() const;
  void setVideoWindowAutoShow(bool autoShow);
  bool getVideoWindowAutoShow() const;

  // The number of filters in the graph (0 when they cannot be listed).
  unsigned getNumFilters() const;

 protected:
  ~rsGraphManager() override;

  // Adds the wrapped filter under the wrapper's name (nothing for an empty
  // pointer or an empty wrapper).
  void addFilter(mxObjectPtr<rsFilter> filter);
  // Connects output pin outputIndex of from (counting output pins only) to
  // input pin inputIndex of to directly, with any type both accept. False
  // when a pin is missing or the pins do not connect; the graph is then
  // unchanged.
  bool connectFilter(mxObjectPtr<rsFilter> from, unsigned outputIndex, mxObjectPtr<rsFilter> to,
                     unsigned inputIndex);
  // Breaks every connection from an output pin of from to a pin of to and
  // reports the pin numbers of the (last) connection broken, 0 and 0 if
  // none. False only when the pins of from cannot be listed.
  bool disconnectFilter(mxObjectPtr<rsFilter> from, unsigned& outputIndex, mxObjectPtr<rsFilter> to,
                        unsigned& inputIndex);
  // Disconnects every pin of the filter (peer first) and removes it.
  void removeFilter(mxObjectPtr<rsFilter> filter);
  // Removes every filter of the graph; shows "Cannot Delete All Filters."
  // and stops at the first removal that fails.
  void removeAllFilters();

  // Registers the graph in the process registry of graphs under
  // "FilterGraph <address> pid <pid>" (hexadecimal, at least 8 digits) so
  // that graph viewers can find it; E_FAIL when that is not possible.
  HRESULT addToRot(IUnknown* graph, unsigned long* registration);
  HRESULT removeFromRot(unsigned long registration);

  // Shows a warning box with the formatted message (through the GUI's box
  // hook; without one it is logged and written to standard error) and
  // returns false, so that a failing caller can return it directly.
  bool ErrMsg(const char* format, ...) __attribute__((format(printf, 2, 3)));

  IGraphBuilder* getGraphBuilder() const { return graph_; }
  OAHWND getOwner() const { return owner_; }

 private:
  OAHWND owner_;
  IGraphBuilder* graph_ = nullptr;
  IMediaControl* control_ = nullptr;
  IVideoWindow* window_ = nullptr;
  bool started_ = false;

  void releaseInterfaces();
};
