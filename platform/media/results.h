// Result codes of the media framework (the numeric values callers test).
#pragma once
#include "platform/com/result.h"

inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = makeResult(0x00040103);
inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = makeResult(0x80040200);
inline constexpr HRESULT VFW_E_INVALIDSUBTYPE = makeResult(0x80040201);
inline constexpr HRESULT VFW_E_NEED_OWNER = makeResult(0x80040202);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_SYNC = makeResult(0x80040203);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = makeResult(0x80040204);
inline constexpr HRESULT VFW_E_FILTER_ACTIVE = makeResult(0x80040205);
inline constexpr HRESULT VFW_E_NO_TYPES = makeResult(0x80040206);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = makeResult(0x80040207);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = makeResult(0x80040208);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = makeResult(0x80040209);
inline constexpr HRESULT VFW_E_NO_ALLOCATOR = makeResult(0x8004020A);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = makeResult(0x8004020B);
inline constexpr HRESULT VFW_E_BUFFER_NOTSET = makeResult(0x8004020C);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = makeResult(0x8004020D);
inline constexpr HRESULT VFW_E_BADALIGN = makeResult(0x8004020E);
inline constexpr HRESULT VFW_E_ALREADY_COMMITTED = makeResult(0x8004020F);
inline constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = makeResult(0x80040210);
inline constexpr HRESULT VFW_E_NOT_COMMITTED = makeResult(0x80040211);
inline constexpr HRESULT VFW_E_SIZENOTSET = makeResult(0x80040212);
inline constexpr HRESULT VFW_E_NO_CLOCK = makeResult(0x80040213);
inline constexpr HRESULT VFW_E_NOT_FOUND = makeResult(0x80040216);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = makeResult(0x80040217);
inline constexpr HRESULT VFW_E_NOT_STOPPED = makeResult(0x80040224);
inline constexpr HRESULT VFW_E_NOT_PAUSED = makeResult(0x80040225);
inline constexpr HRESULT VFW_E_NOT_RUNNING = makeResult(0x80040226);
inline constexpr HRESULT VFW_E_WRONG_STATE = makeResult(0x80040227);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = makeResult(0x8004022A);
inline constexpr HRESULT VFW_E_DUPLICATE_NAME = makeResult(0x8004022D);
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = makeResult(0x0004022D);
inline constexpr HRESULT VFW_E_TIMEOUT = makeResult(0x8004022E);
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = makeResult(0x00040237);
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = makeResult(0x80040249);
inline constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = makeResult(0x80040251);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = makeResult(0x8004025F);
inline constexpr HRESULT VFW_S_CANT_CUE = makeResult(0x00040268);
inline constexpr HRESULT VFW_S_NO_STOP_TIME = makeResult(0x00040270);
