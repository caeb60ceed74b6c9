#include "platform/filters/capture/v4l2_camera.h"

#include <dirent.h>
#include <fcntl.h>
#include <libv4l2.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/media/guids.h"
#include "platform/media/results.h"

namespace {

int retryIoctl(int fd, unsigned long request, void* arg, bool viaLibrary) {
  int r;
  do {
    r = viaLibrary ? v4l2_ioctl(fd, request, arg) : ioctl(fd, request, arg);
  } while (r < 0 && errno == EINTR);
  return r;
}

// Capture capability of an open node (plain ioctl, no conversion library).
bool isCaptureNode(int fd, std::string* card) {
  v4l2_capability cap{};
  if (retryIoctl(fd, VIDIOC_QUERYCAP, &cap, false) < 0) return false;
  uint32_t caps = cap.capabilities & V4L2_CAP_DEVICE_CAPS ? cap.device_caps : cap.capabilities;
  if (!(caps & V4L2_CAP_VIDEO_CAPTURE) || !(caps & (V4L2_CAP_STREAMING | V4L2_CAP_READWRITE))) return false;
  if (card) card->assign(reinterpret_cast<const char*>(cap.card), strnlen(reinterpret_cast<const char*>(cap.card), sizeof cap.card));
  return true;
}

std::string errorText(const char* what, int err) {
  return std::string(what) + ": " + std::strerror(err);
}

// Opens a capture node and hands it to libv4l2 (which then converts every
// camera format to BGR24); -1 with the reason otherwise.
int openCamera(const std::string& path, std::string* why) {
  int raw = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  if (raw < 0) {
    *why = errorText(path.c_str(), errno);
    return -1;
  }
  if (!isCaptureNode(raw, nullptr)) {
    ::close(raw);
    *why = path + " is not a video capture device";
    return -1;
  }
  int fd = v4l2_fd_open(raw, 0);
  if (fd < 0) {
    *why = errorText(path.c_str(), errno);
    ::close(raw);
    return -1;
  }
  return fd;
}

}  // namespace

std::vector<V4l2CameraInfo> listV4l2Cameras(const std::string& dir) {
  std::vector<std::pair<long, std::string>> nodes;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) {
      const char* n = e->d_name;
      if (std::strncmp(n, "video", 5) != 0 || !n[5]) continue;
      char* end = nullptr;
      long index = std::strtol(n + 5, &end, 10);
      if (*end || index < 0) continue;
      nodes.emplace_back(index, dir + "/" + n);
    }
    closedir(d);
  }
  std::sort(nodes.begin(), nodes.end());
  std::vector<V4l2CameraInfo> out;
  std::map<std::string, int> seen;
  for (const auto& [index, path] : nodes) {
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    std::string card;
    bool capture = isCaptureNode(fd, &card);
    ::close(fd);
    if (!capture) continue;
    if (card.empty()) card = "Video Capture";
    int count = ++seen[card];
    out.push_back({count == 1 ? card : card + " (" + std::to_string(count) + ")", path});
  }
  return out;
}

std::vector<PictureSize> V4l2Device::cameraSizes() {
  std::vector<PictureSize> sizes;
  if (path_.empty()) return sizes;
  std::string why;
  int fd = openCamera(path_, &why);
  if (fd < 0) return sizes;
  v4l2_frmsizeenum fs{};
  fs.pixel_format = V4L2_PIX_FMT_BGR24;
  for (fs.index = 0; retryIoctl(fd, VIDIOC_ENUM_FRAMESIZES, &fs, true) == 0 && fs.index < 64; ++fs.index) {
    if (fs.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
      sizes.push_back({int(fs.discrete.width), int(fs.discrete.height)});
    } else {
      sizes.push_back({int(fs.stepwise.max_width), int(fs.stepwise.max_height)});
      break;
    }
  }
  if (sizes.empty()) {
    // No size list: the size the driver has now.
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (retryIoctl(fd, VIDIOC_G_FMT, &fmt, true) == 0)
      sizes.push_back({int(fmt.fmt.pix.width), int(fmt.fmt.pix.height)});
  }
  v4l2_close(fd);
  // The largest size is the native one and is offered first.
  std::stable_sort(sizes.begin(), sizes.end(),
                   [](const PictureSize& a, const PictureSize& b) { return a.width * a.height > b.width * b.height; });
  return sizes;
}

std::vector<VideoFormat> V4l2Device::formats() {
  // The camera's own sizes first, then every format code size (scaled).
  std::vector<PictureSize> sizes = cameraSizes();
  sizes.insert(sizes.end(), std::begin(kFormatCodeSizes), std::end(kFormatCodeSizes));
  return formatsForSizes(sizes);
}

bool V4l2Device::open(const VideoFormat& format, REFERENCE_TIME interval, std::string* error) {
  close();
  if (path_.empty()) {
    *error = "no device path";
    return false;
  }
  std::string why;
  fd_ = openCamera(path_, &why);
  if (fd_ < 0) {
    *error = why;
    return false;
  }
  v4l2_format fmt{};
  fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  fmt.fmt.pix.width = static_cast<uint32_t>(format.width);
  fmt.fmt.pix.height = static_cast<uint32_t>(format.height);
  fmt.fmt.pix.pixelformat = V4L2_PIX_FMT_BGR24;
  fmt.fmt.pix.field = V4L2_FIELD_NONE;
  if (retryIoctl(fd_, VIDIOC_S_FMT, &fmt, true) < 0) {
    *error = "the device refuses " + describeVideoFormat(format) + " (" + std::strerror(errno) + ")";
    close();
    return false;
  }
  if (fmt.fmt.pix.pixelformat != V4L2_PIX_FMT_BGR24 || fmt.fmt.pix.width == 0 || fmt.fmt.pix.height == 0 ||
      fmt.fmt.pix.width > 16384 || fmt.fmt.pix.height > 16384) {
    *error = "the device refuses " + describeVideoFormat(format);
    close();
    return false;
  }
  // A different size from the driver is fine: the converter scales.
  width_ = int(fmt.fmt.pix.width);
  height_ = int(fmt.fmt.pix.height);
  stride_ = std::max<size_t>(fmt.fmt.pix.bytesperline, size_t(width_) * 3);
  buffer_.assign(std::max<size_t>(fmt.fmt.pix.sizeimage, stride_ * size_t(height_)), 0);
  // The frame rate is a wish; cameras keep their own if they must.
  v4l2_streamparm parm{};
  parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  parm.parm.capture.timeperframe.numerator = static_cast<uint32_t>(interval);
  parm.parm.capture.timeperframe.denominator = 10000000;
  retryIoctl(fd_, VIDIOC_S_PARM, &parm, true);
  converter_.clear();
  return true;
}

void V4l2Device::close() {
  if (fd_ >= 0) v4l2_close(fd_);
  fd_ = -1;
}

GrabResult V4l2Device::grab(uint64_t, std::string* error) {
  if (fd_ < 0) {
    *error = "device not open";
    return GrabResult::Lost;
  }
  pollfd p{fd_, POLLIN, 0};
  int r = poll(&p, 1, 100);
  if (r == 0 || (r < 0 && errno == EINTR)) return GrabResult::NoFrame;
  if (r < 0 || ((p.revents & (POLLERR | POLLHUP | POLLNVAL)) && !(p.revents & POLLIN))) {
    *error = path_ + " disappeared";
    return GrabResult::Lost;
  }
  ssize_t n = v4l2_read(fd_, buffer_.data(), buffer_.size());
  if (n < 0) {
    if (errno == EAGAIN || errno == EINTR) return GrabResult::NoFrame;
    *error = errno == ENODEV || errno == EIO ? path_ + " disappeared" : errorText(path_.c_str(), errno);
    return GrabResult::Lost;
  }
  if (size_t(n) < stride_ * size_t(height_)) return GrabResult::NoFrame;  // a short frame is skipped
  converter_.store(FrameConverter::Layout::Bgr24, width_, height_, stride_, buffer_.data());
  return GrabResult::Frame;
}

bool V4l2Device::copyFrame(uint64_t, const VideoFormat& f, uint8_t* dst, size_t size) {
  return converter_.convert(f, dst, size);
}

V4l2Camera::V4l2Camera() : CaptureFilter(CLSID_V4l2Camera, std::make_unique<V4l2Device>(), "V4L2 Camera") {
  device_ = static_cast<V4l2Device*>(device());
}

HRESULT V4l2Camera::nonDelegatingQueryInterface(REFIID iid, void** object) {
  if (iid == IID_IPersistPropertyBag) return getInterface(static_cast<IPersistPropertyBag*>(this), object);
  return CaptureFilter::nonDelegatingQueryInterface(iid, object);
}

HRESULT V4l2Camera::Load(IPropertyBag* bag, void*) {
  if (!bag) return E_POINTER;
  std::lock_guard<std::recursive_mutex> g(lock_);
  if (state_ != State_Stopped) return VFW_E_WRONG_STATE;
  char text[1024];
  if (SUCCEEDED(bag->Read("DevicePath", text, sizeof text))) {
    device_->setPath(text);
    invalidateFormats();
  }
  if (SUCCEEDED(bag->Read("FriendlyName", text, sizeof text)) && text[0]) setDeviceName(text);
  return S_OK;
}
