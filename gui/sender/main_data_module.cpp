#include "gui/sender/main_data_module.h"

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "gui/common/action_updater.h"
#include "gui/common/engine_modal.h"
#include "gui/common/video_panel.h"
#include "gui/sender/sender_main_form.h"
#include "gui/sender/sender_tables.h"
#include "talvex/Talvex.h"

namespace sender {

namespace {

// The four servers' rate setters and getters, in the order the menu calls them.
using RateSetter = void (*)(unsigned);
using RateGetter = unsigned (*)();
const RateSetter kRateSetters[] = {
    TalvexSetVideoServerMainMaxTransmittingRate, TalvexSetVideoServerSubMaxTransmittingRate,
    TalvexSetAudioServerMaxTransmittingRate, TalvexSetPointerServerMaxTransmittingRate};
const RateGetter kRateGetters[] = {
    TalvexGetVideoServerMainMaxTransmittingRate, TalvexGetVideoServerSubMaxTransmittingRate,
    TalvexGetAudioServerMaxTransmittingRate, TalvexGetPointerServerMaxTransmittingRate};
const RateSetter kCountSetters[] = {
    TalvexSetVideoServerMainTransmittingCount, TalvexSetVideoServerSubTransmittingCount,
    TalvexSetAudioServerTransmittingCount, TalvexSetPointerServerTransmittingCount};
const RateGetter kCountGetters[] = {
    TalvexGetVideoServerMainTransmittingCount, TalvexGetVideoServerSubTransmittingCount,
    TalvexGetAudioServerTransmittingCount, TalvexGetPointerServerTransmittingCount};

// The value the four servers share, or false when they differ.
bool sharedValue(const RateGetter (&getters)[4], unsigned* value) {
  *value = getters[0]();
  for (RateGetter g : getters)
    if (g() != *value) return false;
  return true;
}

}  // namespace

MainDataModule::MainDataModule(SenderMainForm* form)
    : ProgramDataModule(form, [] { return TalvexIsInitialized(); }, QStringLiteral("SenderTimer"),
                        QStringLiteral("SendMonitorTimer")),
      form_(form) {
  connect(engineTimer(), &QTimer::timeout, this, &MainDataModule::engineTick);
  buildMenus();
  rebuildCaptureMenus();
}

void MainDataModule::setDialogs(QWidget* multicastSetting, QWidget* focusDisplaySetting,
                                QWidget* sendMonitor) {
  multicastSetting_ = multicastSetting;
  focusDisplaySetting_ = focusDisplaySetting;
  sendMonitor_ = sendMonitor;
}

void MainDataModule::buildMenus() {
  QMenu* file = addMenu(nullptr, QStringLiteral("ファイル(&F)"), QStringLiteral("FileMenu"));
  addAction(file, QStringLiteral("設定ファイルの読込み(&O)"), QStringLiteral("ReadIniFileAction"),
            [this] { readIniFile(); });
  addAction(file, QStringLiteral("設定ファイルの保存(&S)"), QStringLiteral("WriteIniFileAction"),
            [this] { writeIniFile(); });
  file->addSeparator();
  addAction(file, QStringLiteral("終了(&X)"), QStringLiteral("ExitAction"), [this] { form_->close(); });

  QMenu* resolution = addMenu(nullptr, QStringLiteral("解像度(&R)"), QStringLiteral("ResolutionMenu"));
  for (int code = 0; code < kVideoFormatCount; ++code) {
    QAction* a = addAction(resolution, videoFormatLabel(code),
                           QStringLiteral("VideoFormat%1Action").arg(code), [this, code] {
                             TalvexSetVideoFormat(code);
                             form_->fit();
                           });
    a->setCheckable(true);
    updater()->add(a, [code](QAction* x) { x->setChecked(TalvexGetVideoFormat() == code); });
  }

  QMenu* focus = addMenu(nullptr, QStringLiteral("フォーカス表示(&D)"), QStringLiteral("FocusDisplayMenu"));
  const struct {
    const char* text;
    const char* name;
  } modes[] = {{"フォーカス表示なし(&N)", "FocusDisplayNoneAction"},
               {"非線形ズーミング(&L)", "FocusDisplayLoupexAction"},
               {"低/高解像度の画像合成(&C)", "FocusDisplayImageCompoundAction"}};
  for (int mode = 0; mode < 3; ++mode) {
    QAction* a = addAction(focus, QString::fromUtf8(modes[mode].text), QString::fromUtf8(modes[mode].name),
                           [this, mode] {
                             TalvexSetFocusDisplay(mode);
                             form_->fit();
                           });
    a->setCheckable(true);
    updater()->add(a, [mode](QAction* x) {
      x->setEnabled(TalvexIsValidFocusDisplay(mode));
      x->setChecked(TalvexGetFocusDisplay() == mode);
    });
  }
  focus->addSeparator();
  addAction(focus, QStringLiteral("詳細設定(&E)"), QStringLiteral("FocusDisplaySettingAction"), [this] {
    if (auto* d = qobject_cast<QDialog*>(focusDisplaySetting_)) d->exec();
  });

  QMenu* multicast = addMenu(nullptr, QStringLiteral("マルチキャスト(&M)"), QStringLiteral("MulticastMenu"));
  QMenu* rates = addMenu(multicast, QStringLiteral("転送速度(&T)"), QStringLiteral("TransmittingRateMenu"));
  for (size_t i = 0; i < kTransmissionRates.size(); ++i) {
    const unsigned value = kTransmissionRates[i].menuValue;
    QAction* a = addAction(rates, QString::fromUtf8(kTransmissionRates[i].label),
                           QStringLiteral("TransmittingRate%1Action").arg(i), [value] {
                             for (RateSetter set : kRateSetters) set(value);
                           });
    a->setCheckable(true);
    updater()->add(a, [i](QAction* x) {
      unsigned rate = 0;
      x->setChecked(sharedValue(kRateGetters, &rate) && rateIndex(rate) == static_cast<int>(i));
    });
  }
  QMenu* counts =
      addMenu(multicast, QStringLiteral("重複転送回数(&R)"), QStringLiteral("TransmittingCountMenu"));
  for (int n = 1; n <= kTransmissionCounts; ++n) {
    QAction* a = addAction(counts, countLabel(n), QStringLiteral("TransmittingCount%1Action").arg(n), [n] {
      for (RateSetter set : kCountSetters) set(static_cast<unsigned>(n));
    });
    a->setCheckable(true);
    updater()->add(a, [n](QAction* x) {
      unsigned count = 0;
      x->setChecked(sharedValue(kCountGetters, &count) && count == static_cast<unsigned>(n));
    });
  }
  multicast->addSeparator();
  addAction(multicast, QStringLiteral("詳細設定(&E)"), QStringLiteral("MulticastSettingAction"), [this] {
    if (auto* d = qobject_cast<QDialog*>(multicastSetting_)) d->exec();
  });
  multicast->addSeparator();
  addAction(multicast, QStringLiteral("送信モニタの表示(&S)"), QStringLiteral("DisplaySendMonitorAction"),
            [this] {
              if (sendMonitor_) {
                sendMonitor_->show();
                sendMonitor_->raise();
              }
            });

  QMenu* capture = addMenu(nullptr, QStringLiteral("キャプチャ(&C)"), QStringLiteral("CaptureMenu"));
  videoCaptureMenu_ =
      addMenu(capture, QStringLiteral("ビデオキャプチャ(&V)"), QStringLiteral("VideoCaptureMenu"));
  audioCaptureMenu_ =
      addMenu(capture, QStringLiteral("オーディオキャプチャ(&A)"), QStringLiteral("AudioCaptureMenu"));
  capture->addSeparator();
  addAction(capture, QStringLiteral("ビデオキャプチャの設定"), QStringLiteral("VideoCaptureSettingAction"),
            [this] {
              TalvexShowVideoCapturePropertyPage(static_cast<TalvexWindow>(form_->videoPanel()->winId()), 0);
              form_->fit();
            });
  QAction* audioSetting = addAction(capture, QStringLiteral("オーディオキャプチャの設定"),
                                    QStringLiteral("AudioCaptureSettingAction"), [this] {
                                      TalvexShowAudioCapturePropertyPage(
                                          static_cast<TalvexWindow>(form_->videoPanel()->winId()), 0);
                                      form_->fit();
                                    });
  updater()->add(audioSetting,
                [](QAction* x) { x->setEnabled(TalvexGetNumAudioCapturePropertyPages() != 0); });

  QMenu* encoder = addMenu(nullptr, QStringLiteral("エンコーダ(&E)"), QStringLiteral("EncoderMenu"));
  QMenu* videoEncoder =
      addMenu(encoder, QStringLiteral("ビデオエンコーダ(&V)"), QStringLiteral("VideoEncoderMenu"));
  const char* const videoEncoders[][2] = {{"使用しない", "VideoEncoderNoneAction"},
                                          {"MPEG-4 v2", "VideoEncoderMPEG42Action"}};
  for (int n = 0; n < 2; ++n) {
    QAction* a = addAction(videoEncoder, QString::fromUtf8(videoEncoders[n][0]),
                           QString::fromUtf8(videoEncoders[n][1]), [n] { TalvexSetVideoEncoder(n); });
    a->setCheckable(true);
    updater()->add(a, [n](QAction* x) {
      x->setEnabled(TalvexIsValidVideoEncoder(n));
      x->setChecked(TalvexGetVideoEncoder() == n);
    });
  }
  QMenu* audioEncoder =
      addMenu(encoder, QStringLiteral("オーディオエンコーダ(&A)"), QStringLiteral("AudioEncoderMenu"));
  QAction* noAudioEncoder =
      addAction(audioEncoder, QStringLiteral("使用しない"), QStringLiteral("AudioEncoderNoneAction"),
                [] { TalvexSetAudioEncoder(0); });
  noAudioEncoder->setCheckable(true);
  updater()->add(noAudioEncoder, [](QAction* x) {
    x->setEnabled(TalvexIsValidAudioEncoder(0));
    x->setChecked(TalvexGetAudioEncoder() == 0);
  });
}

void MainDataModule::fillCaptureMenu(QMenu* menu, bool video) {
  menu->clear();
  const unsigned count = video ? TalvexGetNumVideoCaptures() : TalvexGetNumAudioCaptures();
  const int selected = video ? TalvexGetVideoCapture() : TalvexGetAudioCapture();
  for (unsigned i = 0; i < count; ++i) {
    const int index = static_cast<int>(i);
    const char* name =
        video ? TalvexGetVideoCaptureFriendlyName(index) : TalvexGetAudioCaptureFriendlyName(index);
    QAction* a = menu->addAction(QString::fromUtf8(name ? name : ""));
    a->setObjectName(QStringLiteral("%1Capture%2Action").arg(video ? "Video" : "Audio").arg(i));
    a->setCheckable(true);
    a->setChecked(index == selected);
    connect(a, &QAction::triggered, this, [this, menu, a, index, video] {
      for (QAction* other : menu->actions()) other->setChecked(other == a);
      if (video)
        TalvexSetVideoCapture(index);
      else
        TalvexSetAudioCapture(index);
      form_->fit();
      updater()->updateAll();
    });
  }
}

void MainDataModule::rebuildCaptureMenus() {
  if (!TalvexIsInitialized()) return;
  fillCaptureMenu(videoCaptureMenu_, true);
  fillCaptureMenu(audioCaptureMenu_, false);
}

void MainDataModule::readIniFile() {
  if (openDialog()->exec() == QDialog::Accepted && !openDialog()->selectedFiles().isEmpty())
    TalvexReadIniFile(QFile::encodeName(openDialog()->selectedFiles().constFirst()).constData());
  // Also after a cancelled dialog.
  form_->fit();
  rebuildCaptureMenus();
}

void MainDataModule::writeIniFile() {
  if (saveDialog()->exec() == QDialog::Accepted && !saveDialog()->selectedFiles().isEmpty())
    TalvexWriteIniFile(QFile::encodeName(saveDialog()->selectedFiles().constFirst()).constData());
}

void MainDataModule::engineTick() {
  if (gui::engineModalOpen() || !TalvexIsInitialized()) return;
  TalvexTimerProcess();
  form_->statusPanel()->setText(TalvexIsValidGraph() ? QStringLiteral("状態： 実行中")
                                                     : QStringLiteral("状態： 構成に失敗しました。"));
}

QMenu* MainDataModule::menu(const QString& objectName) const {
  return form_->menuBar()->findChild<QMenu*>(objectName);
}

}  // namespace sender
