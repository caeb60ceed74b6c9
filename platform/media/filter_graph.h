// The filter graph: holds filters under unique names, connects their pins
// directly, runs and stops them together (downstream filters first, so that
// renderers are ready before sources push and stop before sources are
// joined), gives them one reference clock, and forwards the video-window
// interface to the first filter that offers it.
#pragma once
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/unknown_base.h"
#include "platform/media/filter_interfaces.h"
#include "platform/media/results.h"

class FilterGraph final : public IGraphBuilder,
                          public IMediaControl,
                          public IMediaFilter,
                          public IVideoWindow,
                          public UnknownBase {
 public:
  FilterGraph();
  ~FilterGraph() override;
  HRESULT QueryInterface(REFIID iid, void** object) override;
  ULONG AddRef() override { return nonDelegatingAddRef(); }
  ULONG Release() override { return nonDelegatingRelease(); }
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IFilterGraph / IGraphBuilder
  HRESULT AddFilter(IBaseFilter* filter, const char16_t* name) override;
  HRESULT RemoveFilter(IBaseFilter* filter) override;
  HRESULT EnumFilters(IEnumFilters** e) override;
  HRESULT FindFilterByName(const char16_t* name, IBaseFilter** filter) override;
  HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) override;
  HRESULT Reconnect(IPin* pin) override;
  HRESULT Disconnect(IPin* pin) override;
  HRESULT SetDefaultSyncSource() override;
  HRESULT Connect(IPin* out, IPin* in) override;
  HRESULT Render(IPin* out) override;

  // IMediaControl
  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(LONG msTimeout, OAFilterState* state) override;
  HRESULT StopWhenReady() override;

  // IMediaFilter (clock selection; state changes go through IMediaControl)
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;

  // IVideoWindow, forwarded to the renderer.
  HRESULT put_WindowStyle(LONG v) override;
  HRESULT get_WindowStyle(LONG* v) override;
  HRESULT put_AutoShow(LONG v) override;
  HRESULT get_AutoShow(LONG* v) override;
  HRESULT put_Visible(LONG v) override;
  HRESULT get_Visible(LONG* v) override;
  HRESULT put_Left(LONG v) override;
  HRESULT get_Left(LONG* v) override;
  HRESULT put_Width(LONG v) override;
  HRESULT get_Width(LONG* v) override;
  HRESULT put_Top(LONG v) override;
  HRESULT get_Top(LONG* v) override;
  HRESULT put_Height(LONG v) override;
  HRESULT get_Height(LONG* v) override;
  HRESULT put_Owner(OAHWND v) override;
  HRESULT get_Owner(OAHWND* v) override;
  HRESULT SetWindowPosition(LONG l, LONG t, LONG w, LONG h) override;
  HRESULT GetWindowPosition(LONG* l, LONG* t, LONG* w, LONG* h) override;

 private:
  struct Entry {
    IBaseFilter* filter;
    std::u16string name;
  };
  bool contains(IBaseFilter* f) const;
  bool pinInGraph(IPin* pin) const;
  std::vector<IBaseFilter*> downstreamFirst() const;
  HRESULT changeState(FILTER_STATE target);
  IVideoWindow* videoWindow();  // new reference or nullptr
  std::u16string uniqueName(const char16_t* name) const;

  std::recursive_mutex lock_;
  std::vector<Entry> filters_;
  FILTER_STATE state_ = State_Stopped;
  IReferenceClock* clock_ = nullptr;
  bool clockChosen_ = false;  // SetSyncSource was called (possibly with no clock)
  bool everRan_ = false;
};
