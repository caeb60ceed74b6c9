// The receiver program started where the system's filter plug-ins cannot be
// found: its messages shown, a failed start, the engine shut down.
#include <gtest/gtest.h>

#include "gui/common/tests/qt_test_support.h"
#include "gui/receiver/receiver_program.h"
#include "morvane/Morvane.h"
#include "netlab.h"

TEST(ReceiverStart, MissingFiltersAreShownAndEndTheProgramAsAFailure) {
  GUI_REQUIRE_DISPLAY();
  NETLAB_REQUIRE();
  guitest::expectStartFailure<receiver::ReceiverProgram>("morvane-ui.ini", MorvaneIsInitialized,
                                                         QStringLiteral("Multicast Client is not Detected."));
}
