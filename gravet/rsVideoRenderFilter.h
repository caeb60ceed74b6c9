// rsVideoRenderFilter: the platform's video renderer and its video window.
// Without the renderer (or its window interface) the setters do nothing and
// the getters return position 1, 1, size 1, 1, not visible, no owner and
// style 0.
#pragma once
#include "gravet/rsFilter.h"

struct IVideoWindow;

class rsVideoRenderFilter : public rsFilter {
  MX_OBJECT_DECLARE(rsVideoRenderFilter, rsFilter)

 public:
  explicit rsVideoRenderFilter(const mxString& name);

  void setVideoWindowPosition(int left, int top);
  void getVideoWindowPosition(int& left, int& top) const;
  void setVideoWindowSize(unsigned width, unsigned height);
  void getVideoWindowSize(unsigned& width, unsigned& height) const;
  void setVisible(bool visible);
  bool getVisible() const;
  void setWindowOwner(OAHWND owner);
  OAHWND getWindowOwner() const;
  void setWindowStyle(long style);
  long getWindowStyle() const;

 protected:
  ~rsVideoRenderFilter() override;

 private:
  IVideoWindow* window_ = nullptr;
};
