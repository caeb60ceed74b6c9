// The system device enumerator and the filter mapper.
//
// Devices and codecs come from two sources: category memberships in the
// class registry (written by plug-in modules when they register, with an
// instance text such as a device path) and devices that a loaded module
// announces at run time with registerDevice (cameras found on this machine,
// for example). Each member is offered as a moniker whose property bag has
// "FriendlyName", "CLSID" and "DevicePath" (the instance text); binding the
// moniker creates the class and, if it offers IPersistPropertyBag, loads the
// bag into it.
#pragma once
#include <string>
#include <vector>

#include "platform/com/unknown_base.h"
#include "platform/media/device_interfaces.h"

struct DeviceEntry {
  CLSID category;
  CLSID clsid;
  std::string friendlyName;
  std::string instance;
  DWORD merit = 0;
};

// Adds a device for the life of the process (replacing an entry with the
// same category, class and instance).
void registerDevice(const DeviceEntry& device);
void unregisterDevice(REFCLSID category, REFCLSID clsid, const std::string& instance);
// Members of a category: registry memberships first, then run-time devices.
std::vector<DeviceEntry> listDevices(REFCLSID category);

// A moniker for one device or registered filter.
IMoniker* createDeviceMoniker(const DeviceEntry& device);

class SystemDeviceEnum final : public ICreateDevEnum, public UnknownBase {
 public:
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** e, DWORD flags) override;
};

class FilterMapper final : public IFilterMapper2, public UnknownBase {
 public:
  PLATFORM_DECLARE_UNKNOWN
  HRESULT nonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT EnumMatchingFilters(IEnumMoniker** e, DWORD flags, BOOL exactMatch, DWORD minMerit,
                              BOOL inputNeeded, DWORD inputTypeCount, const GUID* inputTypes, BOOL render,
                              BOOL outputNeeded, DWORD outputTypeCount, const GUID* outputTypes) override;
};
