// StreamMonitorForm: a monitor window of the three streams (main video, sub
// video, audio), a row each, with a value column under each heading. It is
// refreshed on the data module's monitor timer (500 ms), which runs while
// the window is shown.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>
#include <vector>

class QLabel;
class QTimer;

namespace gui {

class StreamMonitorForm : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kRows = 3;

  // Value cell of row r (0 main, 1 sub, 2 audio), column c.
  QLabel* cell(int r, int c) const { return cells_[r][size_t(c)]; }
  // Refreshes the cells, unless the engine is not ready or shows a modal
  // window from inside one of its calls.
  void tick();

 protected:
  StreamMonitorForm(QTimer* timer, std::function<bool()> engineReady, const QString& objectName,
                    const QString& title, const QStringList& headings, QWidget* parent);
  // Reads the engine's figures into the cells.
  virtual void refresh() = 0;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QTimer* timer_;
  std::function<bool()> engineReady_;
  std::vector<QLabel*> cells_[kRows];
};

}  // namespace gui
