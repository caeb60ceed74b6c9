// What the end-to-end tests share: pictures read back from PNG files,
// morvane-receive's output lines, and the fixture that starts receivers in
// stations of the lab, each under an X server of its own, and checks that
// they follow a sender.
#pragma once
#include <gtest/gtest.h>
#include <png.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "morvane/tests/e2e/xvfb_server.h"
#include "netlab.h"
#include "platform/filters/capture/test_pattern_code.h"
#include "tools/netlab/tests/station_program.h"

namespace e2e {

using namespace std::chrono_literals;

struct Picture {
  unsigned width = 0, height = 0;
  bool frameRead = false;
  uint32_t frame = 0;
};

// A PNG file's picture as packed RGB rows.
inline bool readRgb(const std::string& path, unsigned& width, unsigned& height, std::vector<uint8_t>& rgb) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  rgb.resize(PNG_IMAGE_SIZE(image));
  const bool ok = png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
  width = image.width;
  height = image.height;
  png_image_free(&image);
  return ok;
}

inline bool readPicture(const std::string& path, Picture& p) {
  std::vector<uint8_t> rgb;
  if (!readRgb(path, p.width, p.height, rgb)) return false;
  p.frameRead = test_pattern::readFrameNumberRgb(rgb.data(), int(p.width), int(p.height), &p.frame);
  return true;
}

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

// Whether the standard arrow stands with its hot spot at (x, y) in the
// colour's mask: black tip, full colour inside, light grey at the left edge.
inline bool arrowAt(const std::string& path, unsigned x, unsigned y, Rgb full) {
  unsigned width = 0, height = 0;
  std::vector<uint8_t> rgb;
  if (!readRgb(path, width, height, rgb) || x + 5 >= width || y + 3 >= height) return false;
  auto at = [&](unsigned px, unsigned py) {
    const uint8_t* p = &rgb[(size_t(py) * width + px) * 3];
    return Rgb{p[0], p[1], p[2]};
  };
  const Rgb grey{uint8_t(full.r ? 192 : 0), uint8_t(full.g ? 192 : 0), uint8_t(full.b ? 192 : 0)};
  return at(x, y) == Rgb{0, 0, 0} && at(x + 5, y + 1) == full && at(x + 1, y + 3) == grey;
}

// "morvane-receive: snapshot PATH WxH rendered R frame F"
struct SnapshotLine {
  std::string path;
  unsigned width = 0, height = 0;
  uint32_t frame = 0;
};
inline bool parseSnapshot(const std::string& line, SnapshotLine& s) {
  static const std::regex re(R"(^morvane-receive: snapshot (\S+) (\d+)x(\d+) rendered \d+ frame (\d+)$)");
  std::smatch m;
  if (!std::regex_match(line, m, re)) return false;
  s.path = m[1];
  s.width = unsigned(std::stoul(m[2]));
  s.height = unsigned(std::stoul(m[3]));
  s.frame = uint32_t(std::stoul(m[4]));
  return true;
}

// The main frequency of the first channel of 16-bit stereo PCM, from its
// zero crossings.
inline double toneFrequency(const std::vector<uint8_t>& pcm, unsigned rate) {
  const size_t frames = pcm.size() / 4;
  if (frames < rate) return 0;
  auto sample = [&](size_t i) { return int16_t(pcm[i * 4] | pcm[i * 4 + 1] << 8); };
  // One second from the middle of what was played.
  const size_t from = frames / 2 - rate / 2;
  int rising = 0;
  for (size_t i = from + 1; i < from + rate; ++i)
    if (sample(i - 1) < 0 && sample(i) >= 0) ++rising;
  return rising;
}

inline bool isStatusChange(const std::string& line) {
  return line.find("Morvane: status change") != std::string::npos;
}

class EndToEndFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    NETLAB_REQUIRE();
    stations_ = netlab::stations();
    if (stations_.size() < 3) GTEST_SKIP() << "needs a lab with three stations";
    char tmpl[] = "/tmp/morvane_e2e_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    if (!dir_.empty() && !HasFailure())
      std::filesystem::remove_all(dir_);
    else if (!dir_.empty())
      std::printf("pictures kept in %s\n", dir_.c_str());
  }

  // A receiver in station i, under an X server of its own (its pointer,
  // which the others draw, stays where that server puts it: in the middle
  // of the screen, outside every picture).
  std::unique_ptr<netlab::StationProgram> startReceiver(int i, std::vector<std::string> extra = {},
                                                        std::vector<std::string> environment = {}) {
    const std::string out = dir_ + "/receiver" + std::to_string(i);
    std::vector<std::string> args = {"--snapshot", out, "--every", "0.4", "--quiet"};
    args.insert(args.end(), extra.begin(), extra.end());
    displays_.push_back(std::make_unique<XvfbServer>());
    if (displays_.back()->display().empty()) ADD_FAILURE() << "no Xvfb for receiver " << i;
    environment.push_back("DISPLAY=" + displays_.back()->display());
    return std::make_unique<netlab::StationProgram>(stations_[size_t(i)], MORVANE_RECEIVE, args, environment);
  }

  // After line `from`: a status change, then `count` snapshots whose frame
  // numbers (read from the pixels) rise. Returns the index after the last.
  // A picture squeezed by the zoom, or an image compound whose cut-out lies
  // over the number band, may not show its frame number: then pictures of
  // the expected size that keep coming are asked for, and the numbers that
  // can be read must rise.
  // A further status change on the way (a sender may announce a new state
  // in steps) starts the count anew.
  static size_t expectFollowing(netlab::StationProgram& r, size_t from, const char* what,
                                bool readable = true, unsigned width = 0, unsigned height = 0,
                                int count = 4) {
    long change = r.waitLine(from, isStatusChange, 15s);
    EXPECT_GE(change, 0) << what << ": no status change handled\n" << r.output();
    if (change < 0) return from;
    size_t at = size_t(change) + 1;
    if (!readable) {
      static const std::regex re(
          R"(^morvane-receive: snapshot \S+ (\d+)x(\d+) rendered (\d+)( frame \d+)?$)");
      unsigned long lastRendered = 0;
      const auto deadline = std::chrono::steady_clock::now() + 20s;
      long lastFrame = -1;
      for (int n = 0; n < count;) {
        std::smatch m;
        const long i = r.waitLine(
            at, [&](const std::string& l) { return isStatusChange(l) || std::regex_match(l, m, re); }, 15s);
        if (i < 0) {
          ADD_FAILURE() << what << ": pictures stopped coming\n" << r.output();
          return at;
        }
        at = size_t(i) + 1;
        const std::string l = r.line(size_t(i));
        if (isStatusChange(l)) {  // the sender changed again: count anew
          n = 0;
          lastRendered = 0;
          lastFrame = -1;
          continue;
        }
        std::regex_match(l, m, re);
        if (width) {
          EXPECT_EQ(std::stoul(m[1]), width) << what;
        }
        if (height) {
          EXPECT_EQ(std::stoul(m[2]), height) << what;
        }
        // Where a frame number can be read after all, it must not go back.
        SnapshotLine shot;
        if (parseSnapshot(l, shot)) {
          if (lastFrame >= 0) {
            // (the same number again: a picture standing still, see below)
            EXPECT_GE(long(shot.frame), lastFrame) << what << ": frames out of order";
          }
          lastFrame = long(shot.frame);
        }
        const unsigned long rendered = std::stoul(m[3]);
        if (n > 0 && rendered <= lastRendered) {
          // Standing still: a rebuild may be on the way (its line comes
          // when it is done); count anew, but not for ever.
          if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << what << ": the picture stands still\n" << r.output();
            return at;
          }
          n = 0;
        }
        lastRendered = rendered;
        ++n;
      }
      return at;
    }
    std::vector<SnapshotLine> shots;
    while (int(shots.size()) < count) {
      SnapshotLine s;
      const long i = r.waitLine(
          at, [&](const std::string& l) { return isStatusChange(l) || parseSnapshot(l, s); }, 15s);
      if (i < 0) {
        ADD_FAILURE() << what << ": only " << shots.size() << " pictures with frame numbers\n" << r.output();
        return at;
      }
      at = size_t(i) + 1;
      if (isStatusChange(r.line(size_t(i)))) {  // the sender changed again: count anew
        shots.clear();
        continue;
      }
      // A snapshot taken right after the rebuild may still show the last
      // picture of before; count from the first one that moved on.
      if (!shots.empty() && s.frame == shots.back().frame) continue;
      shots.push_back(s);
    }
    for (size_t k = 1; k < shots.size(); ++k)
      EXPECT_GT(shots[k].frame, shots[k - 1].frame) << what << ": frames out of order";
    // The last picture as saved: its pixels carry a frame number too.
    Picture p;
    EXPECT_TRUE(readPicture(shots.back().path, p)) << shots.back().path;
    EXPECT_EQ(p.width, shots.back().width);
    EXPECT_EQ(p.height, shots.back().height);
    EXPECT_TRUE(p.frameRead) << what << ": " << shots.back().path;
    return at;
  }

  // Whether one of the receiver's next pictures shows the arrow at (x, y).
  static bool seesArrow(netlab::StationProgram& r, size_t& at, unsigned x, unsigned y, Rgb colour) {
    for (int tries = 0; tries < 20; ++tries) {
      SnapshotLine s;
      const long i = r.waitLine(
          at, [&](const std::string& l) { return parseSnapshot(l, s); }, 10s);
      if (i < 0) return false;
      at = size_t(i) + 1;
      if (arrowAt(s.path, x, y, colour)) return true;
    }
    return false;
  }

  std::vector<std::string> stations_;
  std::string dir_;
  std::vector<std::unique_ptr<XvfbServer>> displays_;  // one per receiver, outliving it
};

}  // namespace e2e
