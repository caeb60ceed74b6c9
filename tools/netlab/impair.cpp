// netlab-impair: a user-space link between one station of the network lab
// and the lab's bridge, with loss, duplication, reordering and delay on the
// station's outgoing side, for kernels that have no netem queueing
// discipline.
//
//   netlab-impair --station NETNS_PATH --hub-if NAME --station-if NAME
//                 --ready FILE [--seed N] [-- IMPAIRMENT...]
//
// It creates a TAP device NAME (hub-if) in its own namespace (the lab's hub)
// and a TAP device (station-if) inside the station's namespace, writes FILE
// once both exist, and then copies Ethernet frames between the two until it
// is killed or its parent ends. IMPAIRMENT takes netem's words:
//   loss P%  duplicate P%  reorder P%  delay Tms [Jms]
// applied, as netem on the station's interface would, to frames the station
// sends. Frames towards the station pass unchanged.
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <optional>
#include <queue>
#include <random>
#include <string>
#include <vector>

namespace {

struct Impairment {
  double loss = 0, duplicate = 0, reorder = 0;  // probabilities 0..1
  int64_t delayUs = 0, jitterUs = 0;
};

bool parsePercent(const std::string& word, double& out) {
  char* end = nullptr;
  double v = std::strtod(word.c_str(), &end);
  if (end == word.c_str() || (*end != '%' && *end != '\0') || v < 0 || v > 100) return false;
  out = v / 100.0;
  return true;
}

bool parseTime(const std::string& word, int64_t& us) {
  char* end = nullptr;
  double v = std::strtod(word.c_str(), &end);
  if (end == word.c_str() || v < 0) return false;
  std::string unit(end);
  if (unit == "ms") us = static_cast<int64_t>(v * 1000);
  else if (unit == "us") us = static_cast<int64_t>(v);
  else if (unit == "s") us = static_cast<int64_t>(v * 1e6);
  else return false;
  return true;
}

bool isPercent(const std::string& word) { return !word.empty() && word.back() == '%'; }

std::optional<Impairment> parseImpairment(const std::vector<std::string>& words) {
  Impairment imp;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    auto next = [&](std::string& out) {
      if (i + 1 >= words.size()) return false;
      out = words[++i];
      return true;
    };
    std::string v;
    if (w == "loss" || w == "duplicate" || w == "reorder") {
      double* target = w == "loss" ? &imp.loss : w == "duplicate" ? &imp.duplicate : &imp.reorder;
      if (!next(v) || !parsePercent(v, *target)) return std::nullopt;
      if (i + 1 < words.size() && isPercent(words[i + 1])) ++i;  // correlation: not modelled
    } else if (w == "delay") {
      if (!next(v) || !parseTime(v, imp.delayUs)) return std::nullopt;
      if (i + 1 < words.size() && parseTime(words[i + 1], imp.jitterUs)) ++i;
    } else {
      return std::nullopt;
    }
  }
  return imp;
}

int openTap(const std::string& name) {
  int fd = open("/dev/net/tun", O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  ifreq req{};
  req.ifr_flags = IFF_TAP | IFF_NO_PI;
  std::snprintf(req.ifr_name, IFNAMSIZ, "%s", name.c_str());
  if (ioctl(fd, TUNSETIFF, &req) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

int64_t nowUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

struct Pending {
  int64_t due;
  uint64_t order;  // keeps equal due times in arrival order
  std::vector<uint8_t> frame;
  bool operator>(const Pending& o) const { return due != o.due ? due > o.due : order > o.order; }
};

// The station's outgoing side: frames wait here until they are due.
class Impairer {
 public:
  Impairer(Impairment imp, uint32_t seed) : imp_(imp), rng_(seed) {}

  void accept(const uint8_t* data, size_t size, int64_t now) {
    if (chance(imp_.loss)) return;
    int copies = chance(imp_.duplicate) ? 2 : 1;
    for (int c = 0; c < copies; ++c) {
      std::vector<uint8_t> frame(data, data + size);
      if (chance(imp_.reorder)) {
        if (imp_.delayUs > 0) {
          // As netem does: a reordered frame skips the delay and overtakes.
          queue_.push({now, seq_++, std::move(frame)});
        } else {
          // Without delay, hold it back until the next frame has gone.
          held_.push_back(std::move(frame));
          heldSince_ = now;
        }
        continue;
      }
      int64_t jitter = 0;
      if (imp_.jitterUs > 0) {
        std::uniform_int_distribution<int64_t> d(-imp_.jitterUs, imp_.jitterUs);
        jitter = d(rng_);
      }
      queue_.push({now + std::max<int64_t>(0, imp_.delayUs + jitter), seq_++, std::move(frame)});
      releaseHeld_ = !held_.empty();
    }
  }

  // Writes every frame that is due; returns the time of the next one, or -1.
  int64_t flush(int fd, int64_t now) {
    while (!queue_.empty() && queue_.top().due <= now) {
      const auto& f = queue_.top().frame;
      (void)!write(fd, f.data(), f.size());
      queue_.pop();
      if (releaseHeld_) releaseHeld(fd);
    }
    // A held frame never waits more than 20 ms for a follower.
    if (!held_.empty() && now - heldSince_ > 20000) releaseHeld(fd);
    int64_t next = queue_.empty() ? -1 : queue_.top().due;
    if (!held_.empty()) {
      int64_t heldDue = heldSince_ + 20000;
      next = next < 0 ? heldDue : std::min(next, heldDue);
    }
    return next;
  }

 private:
  bool chance(double p) { return p > 0 && std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  void releaseHeld(int fd) {
    for (auto& f : held_) (void)!write(fd, f.data(), f.size());
    held_.clear();
    releaseHeld_ = false;
  }

  Impairment imp_;
  std::mt19937 rng_;
  std::priority_queue<Pending, std::vector<Pending>, std::greater<Pending>> queue_;
  std::deque<std::vector<uint8_t>> held_;
  int64_t heldSince_ = 0;
  bool releaseHeld_ = false;
  uint64_t seq_ = 0;
};

int usage(const char* why) {
  std::fprintf(stderr, "netlab-impair: %s\n", why);
  std::fprintf(stderr,
               "usage: netlab-impair --station NETNS_PATH --hub-if NAME --station-if NAME --ready FILE "
               "[--seed N] [-- loss P%% duplicate P%% reorder P%% delay Tms [Jms]]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string station, hubIf, stationIf, ready;
  uint32_t seed = std::random_device{}();
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--station") station = value();
    else if (a == "--hub-if") hubIf = value();
    else if (a == "--station-if") stationIf = value();
    else if (a == "--ready") ready = value();
    else if (a == "--seed") seed = static_cast<uint32_t>(std::strtoul(value().c_str(), nullptr, 10));
    else if (a == "--") {
      for (++i; i < argc; ++i) {
        // Accept the impairment both as separate words and as one quoted text.
        std::string text = argv[i], word;
        for (char c : text + " ") {
          if (c == ' ') {
            if (!word.empty()) words.push_back(word);
            word.clear();
          } else {
            word += c;
          }
        }
      }
    } else return usage(("unknown option " + a).c_str());
  }
  if (station.empty() || hubIf.empty() || stationIf.empty() || ready.empty()) return usage("missing option");
  auto imp = parseImpairment(words);
  if (!imp) return usage("cannot read the impairment");

  // End with the lab: the parent is the lab's shell, which runs the command.
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() == 1) return 0;

  int hub = openTap(hubIf);
  if (hub < 0) {
    std::fprintf(stderr, "netlab-impair: cannot create TAP %s: %s\n", hubIf.c_str(), std::strerror(errno));
    return 1;
  }
  int ns = open(station.c_str(), O_RDONLY | O_CLOEXEC);
  if (ns < 0 || setns(ns, CLONE_NEWNET) != 0) {
    std::fprintf(stderr, "netlab-impair: cannot enter %s: %s\n", station.c_str(), std::strerror(errno));
    return 1;
  }
  close(ns);
  int sta = openTap(stationIf);
  if (sta < 0) {
    std::fprintf(stderr, "netlab-impair: cannot create TAP %s in %s: %s\n", stationIf.c_str(), station.c_str(),
                 std::strerror(errno));
    return 1;
  }
  std::fprintf(stderr,
               "netlab-impair: %s <-> %s: loss %.1f%% duplicate %.1f%% reorder %.1f%% delay %lld us "
               "(jitter %lld us), seed %u\n",
               hubIf.c_str(), stationIf.c_str(), imp->loss * 100, imp->duplicate * 100, imp->reorder * 100,
               static_cast<long long>(imp->delayUs), static_cast<long long>(imp->jitterUs), seed);
  { std::ofstream(ready) << "ready\n"; }

  Impairer outgoing(*imp, seed);
  std::vector<uint8_t> buf(65536);
  pollfd fds[2] = {{sta, POLLIN, 0}, {hub, POLLIN, 0}};
  for (;;) {
    int64_t next = outgoing.flush(hub, nowUs());
    int timeout = next < 0 ? 1000 : static_cast<int>(std::max<int64_t>(0, (next - nowUs() + 999) / 1000));
    if (poll(fds, 2, timeout) < 0 && errno != EINTR) return 1;
    if (fds[0].revents & POLLIN) {
      for (ssize_t n; (n = read(sta, buf.data(), buf.size())) > 0;) outgoing.accept(buf.data(), n, nowUs());
    }
    if (fds[1].revents & POLLIN) {
      for (ssize_t n; (n = read(hub, buf.data(), buf.size())) > 0;) (void)!write(sta, buf.data(), n);
    }
    if (getppid() == 1) return 0;
  }
}
