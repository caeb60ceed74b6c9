// The library's face: its dynamic symbol table holds exactly the control
// functions the header declares, and every one of them answers with its
// default while no engine exists.
#include <gtest/gtest.h>

#include <fstream>
#include <type_traits>

#include "morvane/Morvane.h"
#include "morvane/tests/exported_symbols.h"

static_assert(std::is_same_v<MorvaneCallbackFunction, int (*)(const char*, int32_t, void*)>);
static_assert(sizeof(bool) == 1);

TEST(MorvaneExports, ExactlyTheSixtyNineControlFunctions) {
  const auto declared = declaredFunctions(MORVANE_HEADER, "MORVANE_API", "Morvane");
  ASSERT_EQ(declared.size(), 69u);
  EXPECT_EQ(exportedSymbols(MORVANE_LIBRARY), asFunctions(declared));
}

int32_t calls = 0;
int countingCallback(const char*, int32_t, void*) {
  return ++calls;
}

TEST(MorvaneExports, WithoutAnEngineEveryFunctionReturnsItsDefault) {
  ASSERT_FALSE(MorvaneIsInitialized());
  struct Case {
    const char* name;
    long long got, want;
  };
  const Case cases[] = {
      {"ReceiveSenderData", MorvaneReceiveSenderData(), 0},
      {"ReadIniFile", MorvaneReadIniFile("/tmp/x.ini"), 0},
      {"WriteIniFile", MorvaneWriteIniFile("/tmp/morvane-never-written.ini"), 0},
      {"SetCallbackFunction", MorvaneSetCallbackFunction(countingCallback, nullptr), 1},
      {"VideoClientMainReceiveRate", MorvaneGetVideoClientMainReceiveRate(), 0},
      {"AudioClientNumDropFrames", MorvaneGetAudioClientNumDropFrames(), 0},
      {"VideoClientSubPacketSize", MorvaneGetVideoClientSubPacketSize(), 0},
      {"PointerP2ClientPort", MorvaneGetPointerP2ClientPort(), 0},
      {"PointerP3ClientTimeToLive", MorvaneGetPointerP3ClientTimeToLive(), 0},
      {"PointerServerPacketSize", MorvaneGetPointerServerPacketSize(), 0},
      {"BlendorPointerColor", MorvaneGetBlendorPointerColor(0), 0},
      {"TracionPointerShape", MorvaneGetTracionPointerShape(), 0},
      {"SetStatusReceiverPort", MorvaneSetStatusReceiverPort(8930), 0},
      {"SetStatusReceiverAddress", MorvaneSetStatusReceiverAddress("234.5.6.7"), 0},
      {"StatusReceiverPort", MorvaneGetStatusReceiverPort(), 0},
      {"StatusReceiverIPv6InterfaceId", MorvaneGetStatusReceiverIPv6InterfaceId(), 0},
      {"Shutdown", MorvaneShutdown(), 1},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.name;
  MorvaneSetPointerP1ClientAddress("239.1.1.1");
  MorvaneSetBlendorPointerColor(1, 3);
  MorvaneSetVideoWindowSize(640, 480);
  MorvaneTimerProcess();
  EXPECT_STREQ(MorvaneGetPointerP1ClientAddress(), "");
  EXPECT_STREQ(MorvaneGetStatusReceiverAddress(), "");
  int32_t x = 5, y = 5;
  uint32_t w = 5, h = 5;
  MorvaneGetVideoWindowPosition(&x, &y);
  MorvaneGetVideoWindowSize(&w, &h);
  MorvaneGetVideoWindowSize(nullptr, nullptr);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  EXPECT_EQ(w, 1u);
  EXPECT_EQ(h, 1u);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(std::ifstream("/tmp/morvane-never-written.ini").good());
}
