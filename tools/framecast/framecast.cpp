// framecast: frames on a multicast group from the command line.
//
//   framecast receive --group ADDR --port N [--interface IF] [--out DIR]
//                     [--count N] [--time SECONDS] [--buffer BYTES]
//                     [--max-frame BYTES]
//     Joins the group and writes each complete frame to DIR/frame-NNNNNN.bin
//     (or prints its length and first bytes), until N frames, SECONDS or
//     Ctrl-C; then prints the receiver's counters. --max-frame is 1 byte to
//     1 GiB (16 MiB by default); a frame announced larger than memory
//     allows is refused, with one line on standard error.
//
//   framecast send --group ADDR --port N [--interface IF] [--packet-size N]
//                  [--repeat N] [--rate BITS_PER_S] [--ttl N]
//                  [--interval MS] [--loop N] FILE...
//     Sends the bytes of each FILE as one frame (all files LOOP times), then
//     prints the sender's counters.
//
// Run it inside the network lab (tools/netlab/netlab -- framecast ...).
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "koBase/koMulticastReceiver.h"
#include "koBase/koMulticastSender.h"

namespace {

// The largest frame a receiver may be asked to hold (--max-frame): its
// buffer is allocated whole when such a frame is announced.
constexpr unsigned long long kMaxFrameLimit = 1ull << 30;

std::atomic<bool> g_interrupted{false};
void onSignal(int) { g_interrupted = true; }

int usage(const char* message) {
  std::fprintf(stderr, "framecast: %s\n", message);
  std::fprintf(stderr,
               "usage: framecast receive --group ADDR --port N [--interface IF] [--out DIR] [--count N]\n"
               "                         [--time SECONDS] [--buffer BYTES] [--max-frame BYTES]\n"
               "       framecast send --group ADDR --port N [--interface IF] [--packet-size N] [--repeat N]\n"
               "                      [--rate BITS_PER_S] [--ttl N] [--interval MS] [--loop N] FILE...\n");
  return 2;
}

bool parseNumber(const std::string& text, unsigned long long max, unsigned long long* value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 19) return false;
  *value = std::strtoull(text.c_str(), nullptr, 10);
  return *value <= max;
}

bool isMulticastGroup(const std::string& address) {
  addrinfo hints{}, *result = nullptr;
  hints.ai_flags = AI_NUMERICHOST;
  hints.ai_socktype = SOCK_DGRAM;
  if (getaddrinfo(address.c_str(), nullptr, &hints, &result) != 0) return false;
  bool ok = false;
  if (result->ai_family == AF_INET)
    ok = IN_MULTICAST(ntohl(reinterpret_cast<sockaddr_in*>(result->ai_addr)->sin_addr.s_addr));
  else if (result->ai_family == AF_INET6)
    ok = IN6_IS_ADDR_MULTICAST(&reinterpret_cast<sockaddr_in6*>(result->ai_addr)->sin6_addr);
  freeaddrinfo(result);
  return ok;
}

struct Options {
  std::string mode, group, interfaceName, out;
  std::map<std::string, unsigned long long> numbers;
  std::vector<std::string> files;
  bool havePort = false;
};

struct ReceiveState {
  std::string out;
  std::atomic<unsigned long long> frames{0};
  std::atomic<bool> writeFailed{false};
};

void onFrame(const uint8_t* data, uint32_t length, void* user) {
  auto* state = static_cast<ReceiveState*>(user);
  const unsigned long long n = ++state->frames;
  if (!state->out.empty()) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06llu.bin", n);
    std::ofstream file(state->out + name, std::ios::binary);
    file.write(reinterpret_cast<const char*>(data), length);
    if (!file) state->writeFailed = true;
    return;
  }
  std::printf("frame %llu: %u bytes:", n, length);
  for (uint32_t i = 0; i < length && i < 16; ++i) std::printf(" %02x", data[i]);
  std::printf("\n");
  std::fflush(stdout);
}

int receive(const Options& o) {
  ReceiveState state;
  state.out = o.out;
  if (!o.out.empty()) {
    struct stat st {};
    if (stat(o.out.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      std::fprintf(stderr, "framecast: output directory \"%s\" does not exist\n", o.out.c_str());
      return 1;
    }
  }
  koMulticastReceiver receiver;
  receiver.setAddress(o.group);
  receiver.setPort(static_cast<uint16_t>(o.numbers.at("port")));
  receiver.setInterface(o.interfaceName);
  if (o.numbers.count("buffer")) receiver.setSocketBufferSize(static_cast<uint32_t>(o.numbers.at("buffer")));
  if (o.numbers.count("max-frame")) receiver.setMaxFrameLength(static_cast<uint32_t>(o.numbers.at("max-frame")));
  receiver.setFrameCallback(onFrame, &state);
  if (!receiver.open()) {
    std::fprintf(stderr, "framecast: cannot join %s port %llu\n", o.group.c_str(), o.numbers.at("port"));
    return 1;
  }
  receiver.getReceiveRate();
  receiver.getFrameRate();
  const auto start = std::chrono::steady_clock::now();
  const unsigned long long count = o.numbers.count("count") ? o.numbers.at("count") : 0;
  const unsigned long long seconds = o.numbers.count("time") ? o.numbers.at("time") : 0;
  while (!g_interrupted) {
    if (count && state.frames >= count) break;
    if (seconds && std::chrono::steady_clock::now() - start >= std::chrono::seconds(seconds)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const uint32_t rate = receiver.getReceiveRate(), frameRate = receiver.getFrameRate();
  std::printf(
      "frames received %u\nfragments received %u\ndropped frames %u\ndropped fragments %u\n"
      "refused frames %u\nduplicate frames %u\ninvalid fragments %u\nforeign fragments %u\ninvalid datagrams "
      "%u\n"
      "kernel dropped datagrams %u\npacket size %u\nreceive rate %u bit/s\nframe rate %u frames/s\n",
      receiver.getFramesReceived(), receiver.getFragmentsReceived(), receiver.getDroppedFrames(),
      receiver.getDroppedFragments(), receiver.getRefusedFrames(), receiver.getDuplicateFrames(),
      receiver.getInvalidFragments(), receiver.getForeignFragments(), receiver.getInvalidDatagrams(),
      receiver.getKernelDroppedDatagrams(), receiver.getPacketSize(), rate, frameRate);
  receiver.close();
  if (state.writeFailed) {
    std::fprintf(stderr, "framecast: writing frames to \"%s\" failed\n", o.out.c_str());
    return 1;
  }
  return 0;
}

int send(const Options& o) {
  if (o.files.empty()) return usage("send needs at least one FILE");
  std::vector<std::vector<uint8_t>> frames;
  for (const auto& path : o.files) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "framecast: cannot read \"%s\": %s\n", path.c_str(), std::strerror(errno));
      return 1;
    }
    frames.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (frames.back().size() > 0xFFFFFFFFull) {
      std::fprintf(stderr, "framecast: \"%s\" is larger than a frame can be\n", path.c_str());
      return 1;
    }
  }
  koMulticastSender sender;
  sender.setAddress(o.group);
  sender.setPort(static_cast<uint16_t>(o.numbers.at("port")));
  sender.setInterface(o.interfaceName);
  if (o.numbers.count("ttl")) sender.setTimeToLive(static_cast<uint32_t>(o.numbers.at("ttl")));
  if (o.numbers.count("packet-size")) sender.setPacketSize(static_cast<uint32_t>(o.numbers.at("packet-size")));
  if (o.numbers.count("repeat")) sender.setRepeatCount(static_cast<uint32_t>(o.numbers.at("repeat")));
  if (o.numbers.count("rate")) sender.setMaximumRate(static_cast<uint32_t>(o.numbers.at("rate")));
  if (!sender.open()) {
    std::fprintf(stderr, "framecast: cannot open %s port %llu for sending\n", o.group.c_str(), o.numbers.at("port"));
    return 1;
  }
  sender.getTransmittingRate();
  const unsigned long long loops = o.numbers.count("loop") ? o.numbers.at("loop") : 1;
  const unsigned long long interval = o.numbers.count("interval") ? o.numbers.at("interval") : 0;
  for (unsigned long long l = 0; l < loops && !g_interrupted; ++l)
    for (const auto& f : frames) {
      if (g_interrupted) break;
      sender.send(f.data(), static_cast<uint32_t>(f.size()));
      if (interval) std::this_thread::sleep_for(std::chrono::milliseconds(interval));
    }
  std::printf("frames sent %u\nfragments sent %u\nfailed datagrams %u\npacket size %u\nrepeat count %u\n"
              "maximum rate %u bit/s\ntransmitting rate %u bit/s\n",
              sender.getFramesSent(), sender.getFragmentsSent(), sender.getFailedDatagrams(),
              sender.getPacketSize(), sender.getRepeatCount(), sender.getMaximumRate(),
              sender.getTransmittingRate());
  sender.close();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage("no mode given (receive or send)");
  Options o;
  o.mode = argv[1];
  if (o.mode != "receive" && o.mode != "send") return usage(("unknown mode \"" + o.mode + "\"").c_str());
  const std::map<std::string, unsigned long long> limits = {{"port", 65535},
                                                            {"count", ~0ull},
                                                            {"time", 1ull << 32},
                                                            {"buffer", 0x7FFFFFFF},
                                                            {"max-frame", kMaxFrameLimit},
                                                            {"packet-size", 0xFFFFFFFFull},
                                                            {"repeat", 0xFFFFFFFFull},
                                                            {"rate", 0xFFFFFFFFull},
                                                            {"ttl", 255},
                                                            {"interval", 3600000},
                                                            {"loop", ~0ull}};
  const std::map<std::string, bool> receiveOnly = {{"out", true}, {"count", true}, {"time", true},
                                                   {"buffer", true}, {"max-frame", true}};
  for (int i = 2; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg.rfind("--", 0) != 0) {
      if (o.mode == "receive") return usage(("unexpected argument \"" + arg + "\"").c_str());
      o.files.push_back(arg);
      continue;
    }
    std::string name = arg.substr(2), value;
    if (auto eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    } else {
      if (i + 1 >= argc) return usage(("option --" + name + " needs a value").c_str());
      value = argv[++i];
    }
    const bool forReceive = receiveOnly.count(name) > 0;
    const bool known = name == "group" || name == "interface" || name == "out" || limits.count(name);
    if (!known) return usage(("unknown option --" + name).c_str());
    if (o.mode == "send" && forReceive) return usage(("--" + name + " is for receive").c_str());
    if (o.mode == "receive" && (name == "packet-size" || name == "repeat" || name == "rate" || name == "ttl" ||
                                name == "interval" || name == "loop"))
      return usage(("--" + name + " is for send").c_str());
    if (name == "group") {
      if (!isMulticastGroup(value))
        return usage(("\"" + value + "\" is not a numeric IPv4 or IPv6 multicast group address").c_str());
      o.group = value;
    } else if (name == "interface") {
      o.interfaceName = value;
    } else if (name == "out") {
      o.out = value;
    } else {
      unsigned long long n = 0;
      if (!parseNumber(value, limits.at(name), &n) || ((name == "port" || name == "max-frame") && n == 0))
        return usage(("bad value \"" + value + "\" for --" + name).c_str());
      o.numbers[name] = n;
    }
  }
  if (o.group.empty()) return usage("--group is required");
  if (!o.numbers.count("port")) return usage("--port is required");

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  return o.mode == "receive" ? receive(o) : send(o);
}
