#include "gui/receiver/main_data_module.h"

#include <QAction>
#include <QDialog>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "gui/common/action_updater.h"
#include "gui/common/engine_modal.h"
#include "gui/receiver/receiver_main_form.h"
#include "gui/receiver/receiver_tables.h"
#include "morvane/Morvane.h"

namespace receiver {

namespace {
QFileDialog* makeFileDialog(QWidget* parent, const QString& title, QFileDialog::AcceptMode mode) {
  auto* dialog = new QFileDialog(parent, title);
  dialog->setObjectName(mode == QFileDialog::AcceptOpen ? QStringLiteral("OpenIniFileDialog")
                                                        : QStringLiteral("SaveIniFileDialog"));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setAcceptMode(mode);
  dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  dialog->setNameFilter(QStringLiteral("設定ファイル (*.ini)"));
  dialog->setDefaultSuffix(QStringLiteral("ini"));
  dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
  return dialog;
}
}  // namespace

MainDataModule::MainDataModule(ReceiverMainForm* form)
    : QObject(form),
      form_(form),
      updater_(new gui::ActionUpdater([] { return MorvaneIsInitialized(); }, this)) {
  setObjectName(QStringLiteral("MainDataModule"));
  engineTimer_.setObjectName(QStringLiteral("ReceiverTimer"));
  engineTimer_.setInterval(1000);
  connect(&engineTimer_, &QTimer::timeout, this, &MainDataModule::engineTick);
  monitorTimer_.setObjectName(QStringLiteral("ReceiveMonitorTimer"));
  monitorTimer_.setInterval(500);
  openDialog_ = makeFileDialog(form, QStringLiteral("設定ファイルを読込む"), QFileDialog::AcceptOpen);
  saveDialog_ = makeFileDialog(form, QStringLiteral("現在の設定を保存"), QFileDialog::AcceptSave);
  buildMenus();
}

MainDataModule::~MainDataModule() {
  stopTimers();
}

void MainDataModule::setDialogs(QWidget* pointerSetting, QWidget* receiveMonitor, QWidget* multicastSetting) {
  pointerSetting_ = pointerSetting;
  receiveMonitor_ = receiveMonitor;
  multicastSetting_ = multicastSetting;
}

QAction* MainDataModule::addAction(QMenu* menu, const QString& text, const QString& name,
                                   std::function<void()> execute) {
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  connect(action, &QAction::triggered, this, [this, execute = std::move(execute)] {
    execute();
    updater_->updateAll();
  });
  menu->addAction(action);
  return action;
}

void MainDataModule::buildMenus() {
  QMenuBar* bar = form_->menuBar();
  auto addMenu = [&](const QString& title, const QString& name) {
    QMenu* m = bar->addMenu(title);
    m->setObjectName(name);
    updater_->watch(m);
    return m;
  };
  auto senderData = [](QAction* a) { a->setEnabled(MorvaneReceiveSenderData()); };

  QMenu* file = addMenu(QStringLiteral("ファイル(&F)"), QStringLiteral("FileMenu"));
  QAction* read = addAction(
      file, QStringLiteral("設定ファイルの読込み(&O)"), QStringLiteral("ReadIniFileAction"), [this] {
        if (openDialog_->exec() == QDialog::Accepted && !openDialog_->selectedFiles().isEmpty())
          MorvaneReadIniFile(QFile::encodeName(openDialog_->selectedFiles().constFirst()).constData());
      });
  updater_->add(read, senderData);
  QAction* write =
      addAction(file, QStringLiteral("設定ファイルの保存(&S)"), QStringLiteral("WriteIniFileAction"), [this] {
        if (saveDialog_->exec() == QDialog::Accepted && !saveDialog_->selectedFiles().isEmpty())
          MorvaneWriteIniFile(QFile::encodeName(saveDialog_->selectedFiles().constFirst()).constData());
      });
  updater_->add(write, senderData);
  // Nothing to read or save before the engine is ready.
  read->setEnabled(false);
  write->setEnabled(false);
  file->addSeparator();
  addAction(file, QStringLiteral("終了(&X)"), QStringLiteral("ExitAction"), [this] { form_->close(); });

  QMenu* pointer = addMenu(QStringLiteral("ポインタ(&P)"), QStringLiteral("PointerMenu"));
  for (int shape = 0; shape < kPointerShapeCount; ++shape) {
    QAction* a = addAction(pointer, QString::fromUtf8(kPointerShapes[shape].label),
                           QString::fromUtf8(kPointerShapes[shape].action),
                           [shape] { MorvaneSetTracionPointerShape(shape); });
    a->setCheckable(true);
    updater_->add(a, [shape](QAction* x) { x->setChecked(MorvaneGetTracionPointerShape() == shape); });
  }
  pointer->addSeparator();
  addAction(pointer, QStringLiteral("ポインタの詳細設定(&P)"), QStringLiteral("PointerSettingAction"),
            [this] {
              if (auto* d = qobject_cast<QDialog*>(pointerSetting_)) d->exec();
            });

  QMenu* multicast = addMenu(QStringLiteral("マルチキャスト(&M)"), QStringLiteral("MulticastMenu"));
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

void MainDataModule::start() {
  engineTimer_.start();
  updater_->start();
  updater_->updateAll();
}

void MainDataModule::stopTimers() {
  engineTimer_.stop();
  monitorTimer_.stop();
  updater_->stop();
}

void MainDataModule::engineTick() {
  if (gui::engineModalOpen() || !MorvaneIsInitialized()) return;
  MorvaneTimerProcess();
  form_->statusPanel()->setText(MorvaneReceiveSenderData() ? QStringLiteral("状態： 受信中")
                                                           : QStringLiteral("状態： 停止中"));
}

QAction* MainDataModule::action(const QString& objectName) const {
  return findChild<QAction*>(objectName);
}

}  // namespace receiver
