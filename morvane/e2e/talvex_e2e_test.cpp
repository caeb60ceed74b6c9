// The receivers against the real sender: talvex-send in station 1, two
// morvane-receive processes in stations 2 and 3. Each run of the sender is
// followed (pictures with the test pattern's frame numbers in order, or,
// where the zoom squeezes the picture, pictures that keep coming), and each
// end of a run (its last status says it stopped) empties the receivers'
// graphs.
#include "morvane/e2e/e2e_fixture.h"

namespace {

using namespace e2e;

class WithTalvex : public EndToEndFixture {};

}  // namespace

TEST_F(WithTalvex, ReceiversFollowEveryRunOfTheSender) {
  auto a = startReceiver(1);
  auto b = startReceiver(2);
  for (ReceiverProcess* r : {a.get(), b.get()})
    ASSERT_GE(r->waitLine(
                  0, [](const std::string& l) { return l.find("listening for") != std::string::npos; }, 20s),
              0)
        << r->output();
  struct Run {
    const char* what;
    std::vector<std::string> args;
    bool readable;
  };
  const Run runs[] = {
      {"None, MPEG-4", {"--mode", "none", "--encoder", "mpeg4"}, true},
      {"Loupex, MPEG-4", {"--mode", "loupex", "--encoder", "mpeg4"}, false},
      {"ImageCompound, MPEG-4", {"--mode", "compound", "--encoder", "mpeg4"}, false},
  };
  size_t atA = 0, atB = 0;
  for (const Run& run : runs) {
    SCOPED_TRACE(run.what);
    std::vector<std::string> args = {"--video-device", "Test Pattern Camera", "--audio-device", "none"};
    args.insert(args.end(), run.args.begin(), run.args.end());
    ReceiverProcess sender(stations_[0], TALVEX_SEND, args);
    ASSERT_TRUE(sender.started());
    atA = expectFollowing(*a, atA, run.what, run.readable);
    atB = expectFollowing(*b, atB, run.what, run.readable);
    EXPECT_EQ(sender.stop(), 0) << sender.output();
    for (ReceiverProcess* r : {a.get(), b.get()}) {
      size_t& at = r == a.get() ? atA : atB;
      const long i = r->waitLine(
          at, [](const std::string& l) { return l.find("sender stopped") != std::string::npos; }, 15s);
      EXPECT_GE(i, 0) << "the sender's last status did not empty the receiver\n" << r->output();
      if (i >= 0) at = size_t(i) + 1;
    }
  }
  EXPECT_EQ(a->stop(), 0) << a->output();
  EXPECT_EQ(b->stop(), 0) << b->output();
}
