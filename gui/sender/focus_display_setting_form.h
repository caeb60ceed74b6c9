// FocusDisplaySettingForm ("フォーカス表示の詳細設定"): the parameters of the
// non-linear zoom and of the image compound. Showing it sets every control
// from the engine while the control is disabled, and a control acts only
// while enabled, so filling calls no setter.
#pragma once

#include <QDialog>
#include <functional>

class QComboBox;
class QSpinBox;

namespace sender {

class FocusDisplaySettingForm : public QDialog {
  Q_OBJECT
 public:
  // fit: the main window's fitting, run after a compound format change.
  FocusDisplaySettingForm(std::function<void()> fit, QWidget* parent = nullptr);

  QComboBox* loupexVideoFormat() const { return loupexFormat_; }
  QComboBox* loupexMaskType() const { return loupexMask_; }
  QSpinBox* maskWidth() const { return maskWidth_; }
  QSpinBox* maskHeight() const { return maskHeight_; }
  QComboBox* baseVideoFormat() const { return baseFormat_; }
  QComboBox* additionalVideoFormat() const { return additionalFormat_; }
  QComboBox* compoundMaskType() const { return compoundMask_; }
  QComboBox* blendingType() const { return blending_; }

  void fill();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QComboBox* combo(const QStringList& items, std::function<void(int)> changed);
  std::function<void()> fit_;
  QComboBox* loupexFormat_;
  QComboBox* loupexMask_;
  QSpinBox* maskWidth_;
  QSpinBox* maskHeight_;
  QComboBox* baseFormat_;
  QComboBox* additionalFormat_;
  QComboBox* compoundMask_;
  QComboBox* blending_;
};

}  // namespace sender
