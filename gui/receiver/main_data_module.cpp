#include "gui/receiver/main_data_module.h"

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>

#include "gui/common/action_updater.h"
#include "gui/common/engine_modal.h"
#include "gui/receiver/receiver_main_form.h"
#include "gui/receiver/receiver_tables.h"
#include "morvane/Morvane.h"

namespace receiver {

MainDataModule::MainDataModule(ReceiverMainForm* form)
    : ProgramDataModule(form, [] { return MorvaneIsInitialized(); }, QStringLiteral("ReceiverTimer"),
                        QStringLiteral("ReceiveMonitorTimer")),
      form_(form) {
  connect(engineTimer(), &QTimer::timeout, this, &MainDataModule::engineTick);
  buildMenus();
}

void MainDataModule::setDialogs(QWidget* pointerSetting, QWidget* receiveMonitor, QWidget* multicastSetting) {
  pointerSetting_ = pointerSetting;
  receiveMonitor_ = receiveMonitor;
  multicastSetting_ = multicastSetting;
}

void MainDataModule::buildMenus() {
  auto senderData = [](QAction* a) { a->setEnabled(MorvaneReceiveSenderData()); };

  QMenu* file = addMenu(nullptr, QStringLiteral("ファイル(&F)"), QStringLiteral("FileMenu"));
  QAction* read = addAction(
      file, QStringLiteral("設定ファイルの読込み(&O)"), QStringLiteral("ReadIniFileAction"), [this] {
        if (openDialog()->exec() == QDialog::Accepted && !openDialog()->selectedFiles().isEmpty())
          MorvaneReadIniFile(QFile::encodeName(openDialog()->selectedFiles().constFirst()).constData());
      });
  updater()->add(read, senderData);
  QAction* write =
      addAction(file, QStringLiteral("設定ファイルの保存(&S)"), QStringLiteral("WriteIniFileAction"), [this] {
        if (saveDialog()->exec() == QDialog::Accepted && !saveDialog()->selectedFiles().isEmpty())
          MorvaneWriteIniFile(QFile::encodeName(saveDialog()->selectedFiles().constFirst()).constData());
      });
  updater()->add(write, senderData);
  // Nothing to read or save before the engine is ready.
  read->setEnabled(false);
  write->setEnabled(false);
  file->addSeparator();
  addAction(file, QStringLiteral("終了(&X)"), QStringLiteral("ExitAction"), [this] { form_->close(); });

  QMenu* pointer = addMenu(nullptr, QStringLiteral("ポインタ(&P)"), QStringLiteral("PointerMenu"));
  for (int shape = 0; shape < kPointerShapeCount; ++shape) {
    QAction* a = addAction(pointer, QString::fromUtf8(kPointerShapes[shape].label),
                           QString::fromUtf8(kPointerShapes[shape].action),
                           [shape] { MorvaneSetTracionPointerShape(shape); });
    a->setCheckable(true);
    updater()->add(a, [shape](QAction* x) { x->setChecked(MorvaneGetTracionPointerShape() == shape); });
  }
  pointer->addSeparator();
  addAction(pointer, QStringLiteral("ポインタの詳細設定(&P)"), QStringLiteral("PointerSettingAction"),
            [this] {
              if (auto* d = qobject_cast<QDialog*>(pointerSetting_)) d->exec();
            });

  QMenu* multicast = addMenu(nullptr, QStringLiteral("マルチキャスト(&M)"), QStringLiteral("MulticastMenu"));
  addAction(multicast, QStringLiteral("詳細設定"), QStringLiteral("MulticastSettingAction"), [this] {
    if (auto* d = qobject_cast<QDialog*>(multicastSetting_)) d->exec();
  });
  multicast->addSeparator();
  addAction(multicast, QStringLiteral("受信モニタの表示(&R)"), QStringLiteral("DisplayReceiveMonitorAction"),
            [this] {
              if (receiveMonitor_) {
                receiveMonitor_->show();
                receiveMonitor_->raise();
              }
            });
}

void MainDataModule::engineTick() {
  if (gui::engineModalOpen() || !MorvaneIsInitialized()) return;
  MorvaneTimerProcess();
  form_->statusPanel()->setText(MorvaneReceiveSenderData() ? QStringLiteral("状態： 受信中")
                                                           : QStringLiteral("状態： 停止中"));
}

}  // namespace receiver
