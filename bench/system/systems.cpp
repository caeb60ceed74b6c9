#include "bench/system/systems.h"

#include "bench/system/ffmpeg_runner.h"
#include "bench/system/gstreamer_runner.h"
#include "bench/system/ours_runner.h"

std::vector<std::unique_ptr<SystemRunner>> makeSystems() {
  std::vector<std::unique_ptr<SystemRunner>> list;
  list.push_back(std::make_unique<OursRunner>());
  list.push_back(std::make_unique<FfmpegRunner>(FfmpegRunner::Flags::Defaults));
  list.push_back(std::make_unique<FfmpegRunner>(FfmpegRunner::Flags::LowLatency));
  list.push_back(std::make_unique<GstreamerRunner>());
  return list;
}

std::unique_ptr<SystemRunner> makeSystem(const std::string& name) {
  for (auto& s : makeSystems())
    if (s->name() == name) return std::move(s);
  return nullptr;
}

std::string systemNames() {
  std::string names;
  for (const auto& s : makeSystems()) names += (names.empty() ? "" : ",") + s->name();
  return names;
}
