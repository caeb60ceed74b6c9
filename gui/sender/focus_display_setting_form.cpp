#include "gui/sender/focus_display_setting_form.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/sender/sender_tables.h"
#include "talvex/Talvex.h"

namespace sender {

namespace {
QStringList formatsZeroToSeven() {
  QStringList list;
  for (int code = 0; code < 8; ++code) list << videoFormatLabel(code);
  return list;
}

// Sets a control from the engine with the control disabled.
template <typename Set>
void fillDisabled(QWidget* control, Set set) {
  control->setEnabled(false);
  set();
  control->setEnabled(true);
}
}  // namespace

QComboBox* FocusDisplaySettingForm::combo(const QStringList& items, std::function<void(int)> changed) {
  auto* box = new QComboBox(this);
  box->addItems(items);
  connect(box, &QComboBox::currentIndexChanged, this, [box, changed = std::move(changed)](int index) {
    if (box->isEnabled() && index >= 0) changed(index);
  });
  return box;
}

FocusDisplaySettingForm::FocusDisplaySettingForm(std::function<void()> fit, QWidget* parent)
    : QDialog(parent), fit_(std::move(fit)) {
  setObjectName(QStringLiteral("FocusDisplaySettingForm"));
  setWindowTitle(QStringLiteral("フォーカス表示の詳細設定"));
  setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
  auto* layout = new QVBoxLayout(this);

  auto* loupex = new QGroupBox(QStringLiteral("非線形ズーミング"), this);
  loupex->setObjectName(QStringLiteral("LoupexGroup"));
  auto* lf = new QFormLayout(loupex);
  loupexFormat_ = combo(formatsZeroToSeven(), [](int i) { TalvexSetLoupexVideoFormat(i); });
  lf->addRow(QStringLiteral("表示解像度"), loupexFormat_);
  loupexMask_ =
      combo({QStringLiteral("矩形"), QStringLiteral("楕円")}, [](int i) { TalvexSetLoupexMaskType(i); });
  lf->addRow(QStringLiteral("マスク形状"), loupexMask_);
  auto* size = new QWidget(loupex);
  auto* sl = new QHBoxLayout(size);
  sl->setContentsMargins(0, 0, 0, 0);
  auto makeSpin = [&] {
    auto* spin = new QSpinBox(size);
    spin->setRange(10, 720);
    spin->setValue(100);
    connect(spin, &QSpinBox::valueChanged, this, [this, spin] {
      if (spin->isEnabled())
        TalvexSetLoupexMaskSize(static_cast<unsigned>(maskWidth_->value()),
                                static_cast<unsigned>(maskHeight_->value()));
    });
    return spin;
  };
  maskWidth_ = makeSpin();
  maskHeight_ = makeSpin();
  sl->addWidget(new QLabel(QStringLiteral("幅："), size));
  sl->addWidget(maskWidth_);
  sl->addWidget(new QLabel(QStringLiteral("高さ："), size));
  sl->addWidget(maskHeight_);
  lf->addRow(QStringLiteral("マスクサイズ"), size);
  layout->addWidget(loupex);

  auto* compound = new QGroupBox(QStringLiteral("低／高解像度の合成"), this);
  compound->setObjectName(QStringLiteral("ImageCompoundGroup"));
  auto* cf = new QFormLayout(compound);
  baseFormat_ = combo(formatsZeroToSeven(), [this](int i) {
    TalvexSetImageCompoundBaseVideoFormat(i);
    if (fit_) fit_();
  });
  cf->addRow(QStringLiteral("ベース画像の解像度"), baseFormat_);
  additionalFormat_ = combo(formatsZeroToSeven(), [this](int i) {
    TalvexSetImageCompoundAdditionalVideoFormat(i);
    if (fit_) fit_();
  });
  cf->addRow(QStringLiteral("付加画像の解像度"), additionalFormat_);
  compoundMask_ = combo({QStringLiteral("矩形"), QStringLiteral("楕円"), QStringLiteral("市松模様")},
                        [](int i) { TalvexSetImageCompoundMaskType(i); });
  cf->addRow(QStringLiteral("マスク形状"), compoundMask_);
  blending_ = combo({QStringLiteral("単純"), QStringLiteral("曖昧")},
                    [](int i) { TalvexSetImageCompoundBlendingType(i); });
  cf->addRow(QStringLiteral("合成方式"), blending_);
  layout->addWidget(compound);
}

void FocusDisplaySettingForm::fill() {
  fillDisabled(loupexFormat_, [&] { loupexFormat_->setCurrentIndex(TalvexGetLoupexVideoFormat()); });
  fillDisabled(loupexMask_, [&] { loupexMask_->setCurrentIndex(TalvexGetLoupexMaskType()); });
  unsigned w = 0, h = 0;
  TalvexGetLoupexMaskSize(&w, &h);
  fillDisabled(maskWidth_, [&] { maskWidth_->setValue(static_cast<int>(std::min(w, 720u))); });
  fillDisabled(maskHeight_, [&] { maskHeight_->setValue(static_cast<int>(std::min(h, 720u))); });
  fillDisabled(baseFormat_, [&] { baseFormat_->setCurrentIndex(TalvexGetImageCompoundBaseVideoFormat()); });
  fillDisabled(additionalFormat_,
               [&] { additionalFormat_->setCurrentIndex(TalvexGetImageCompoundAdditionalVideoFormat()); });
  fillDisabled(compoundMask_, [&] { compoundMask_->setCurrentIndex(TalvexGetImageCompoundMaskType()); });
  fillDisabled(blending_, [&] { blending_->setCurrentIndex(TalvexGetImageCompoundBlendingType()); });
}

void FocusDisplaySettingForm::showEvent(QShowEvent* event) {
  fill();
  QDialog::showEvent(event);
}

}  // namespace sender
