// Interfaces of filters, the reference clock and the filter graph, in their
// slot order (0 to 2 are those of IUnknown).
#pragma once
#include "platform/media/pin_interfaces.h"

struct IFilterGraph;

enum FILTER_STATE : int32_t { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
using OAFilterState = LONG;
using OAHWND = intptr_t;  // an X11 window id
using OABOOL = LONG;      // -1 true, 0 false
inline constexpr OABOOL OATRUE = -1;
inline constexpr OABOOL OAFALSE = 0;
inline constexpr LONG INFINITE_TIMEOUT = -1;

struct FILTER_INFO {
  char16_t achName[128];
  IFilterGraph* pGraph;  // holds a reference the caller releases (may be null)
};

struct IReferenceClock : IUnknown {
  virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;

 protected:
  ~IReferenceClock() = default;
};

struct IPersist : IUnknown {
  virtual HRESULT GetClassID(CLSID* clsid) = 0;

 protected:
  ~IPersist() = default;
};

struct IMediaFilter : IPersist {
  virtual HRESULT Stop() = 0;                                          // 4
  virtual HRESULT Pause() = 0;                                         // 5
  virtual HRESULT Run(REFERENCE_TIME start) = 0;                       // 6
  virtual HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) = 0;  // 7
  virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;           // 8
  virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;          // 9

 protected:
  ~IMediaFilter() = default;
};

struct IBaseFilter : IMediaFilter {
  virtual HRESULT EnumPins(IEnumPins** e) = 0;                                     // 10
  virtual HRESULT FindPin(const char16_t* id, IPin** pin) = 0;                     // 11
  virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;                          // 12
  virtual HRESULT JoinFilterGraph(IFilterGraph* graph, const char16_t* name) = 0;  // 13
  virtual HRESULT QueryVendorInfo(char16_t** info) = 0;                            // 14

 protected:
  ~IBaseFilter() = default;
};

struct IEnumFilters : IUnknown {
  virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFilters** e) = 0;

 protected:
  ~IEnumFilters() = default;
};

struct IFilterGraph : IUnknown {
  virtual HRESULT AddFilter(IBaseFilter* filter, const char16_t* name) = 0;          // 3
  virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;                             // 4
  virtual HRESULT EnumFilters(IEnumFilters** e) = 0;                                 // 5
  virtual HRESULT FindFilterByName(const char16_t* name, IBaseFilter** filter) = 0;  // 6
  virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) = 0;   // 7
  virtual HRESULT Reconnect(IPin* pin) = 0;                                          // 8
  virtual HRESULT Disconnect(IPin* pin) = 0;                                         // 9
  virtual HRESULT SetDefaultSyncSource() = 0;                                        // 10

 protected:
  ~IFilterGraph() = default;
};

struct IGraphBuilder : IFilterGraph {
  // Connects two pins directly with any type both accept (no intermediate filters).
  virtual HRESULT Connect(IPin* out, IPin* in) = 0;  // 11
  virtual HRESULT Render(IPin* out) = 0;             // 12: not offered (E_NOTIMPL)

 protected:
  ~IGraphBuilder() = default;
};

struct IMediaControl : IUnknown {
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(LONG msTimeout, OAFilterState* state) = 0;
  virtual HRESULT StopWhenReady() = 0;

 protected:
  ~IMediaControl() = default;
};

// The video window of a renderer (also offered by the graph, which forwards
// to its renderer). Sizes and positions are in pixels relative to the owner.
struct IVideoWindow : IUnknown {
  virtual HRESULT put_WindowStyle(LONG style) = 0;                                          // 3
  virtual HRESULT get_WindowStyle(LONG* style) = 0;                                         // 4
  virtual HRESULT put_AutoShow(LONG autoShow) = 0;                                          // 5
  virtual HRESULT get_AutoShow(LONG* autoShow) = 0;                                         // 6
  virtual HRESULT put_Visible(LONG visible) = 0;                                            // 7
  virtual HRESULT get_Visible(LONG* visible) = 0;                                           // 8
  virtual HRESULT put_Left(LONG left) = 0;                                                  // 9
  virtual HRESULT get_Left(LONG* left) = 0;                                                 // 10
  virtual HRESULT put_Width(LONG width) = 0;                                                // 11
  virtual HRESULT get_Width(LONG* width) = 0;                                               // 12
  virtual HRESULT put_Top(LONG top) = 0;                                                    // 13
  virtual HRESULT get_Top(LONG* top) = 0;                                                   // 14
  virtual HRESULT put_Height(LONG height) = 0;                                              // 15
  virtual HRESULT get_Height(LONG* height) = 0;                                             // 16
  virtual HRESULT put_Owner(OAHWND owner) = 0;                                              // 17
  virtual HRESULT get_Owner(OAHWND* owner) = 0;                                             // 18
  virtual HRESULT SetWindowPosition(LONG left, LONG top, LONG width, LONG height) = 0;      // 19
  virtual HRESULT GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) = 0;  // 20

 protected:
  ~IVideoWindow() = default;
};

inline constexpr IID IID_IPersist = makeGuid("{0000010C-0000-0000-C000-000000000046}");
inline constexpr IID IID_IReferenceClock = makeGuid("{56A86897-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaFilter = makeGuid("{56A86899-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IBaseFilter = makeGuid("{56A86895-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IEnumFilters = makeGuid("{56A86893-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IFilterGraph = makeGuid("{56A8689F-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IGraphBuilder = makeGuid("{56A868A9-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IMediaControl = makeGuid("{56A868B1-0AD4-11CE-B03A-0020AF0BA770}");
inline constexpr IID IID_IVideoWindow = makeGuid("{56A868B4-0AD4-11CE-B03A-0020AF0BA770}");
PLATFORM_INTERFACE_ID(IReferenceClock, IID_IReferenceClock);
PLATFORM_INTERFACE_ID(IPersist, IID_IPersist);
PLATFORM_INTERFACE_ID(IMediaFilter, IID_IMediaFilter);
PLATFORM_INTERFACE_ID(IBaseFilter, IID_IBaseFilter);
PLATFORM_INTERFACE_ID(IEnumFilters, IID_IEnumFilters);
PLATFORM_INTERFACE_ID(IFilterGraph, IID_IFilterGraph);
PLATFORM_INTERFACE_ID(IGraphBuilder, IID_IGraphBuilder);
PLATFORM_INTERFACE_ID(IMediaControl, IID_IMediaControl);
PLATFORM_INTERFACE_ID(IVideoWindow, IID_IVideoWindow);
