// The sender program started where the system's filter plug-ins cannot be
// found: its messages shown, a failed start, the engine shut down.
#include <gtest/gtest.h>

#include "gui/common/tests/qt_test_support.h"
#include "gui/sender/sender_program.h"
#include "netlab.h"
#include "talvex/Talvex.h"

TEST(SenderStart, MissingFiltersAreShownAndEndTheProgramAsAFailure) {
  GUI_REQUIRE_DISPLAY();
  NETLAB_REQUIRE();
  guitest::expectStartFailure<sender::SenderProgram>("talvex-ui.ini", TalvexIsInitialized,
                                                     QStringLiteral("Multicast Server is not Detected."));
}
