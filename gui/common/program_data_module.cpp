#include "gui/common/program_data_module.h"

#include <QAction>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

#include "gui/common/action_updater.h"

namespace gui {

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
  // Saving over an existing file asks first (the dialog's own question).
  dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
  return dialog;
}

}  // namespace

ProgramDataModule::ProgramDataModule(QMainWindow* window, std::function<bool()> engineReady,
                                     const QString& engineTimerName, const QString& monitorTimerName)
    : QObject(window), window_(window), updater_(new ActionUpdater(std::move(engineReady), this)) {
  setObjectName(QStringLiteral("MainDataModule"));
  engineTimer_.setObjectName(engineTimerName);
  engineTimer_.setInterval(1000);
  monitorTimer_.setObjectName(monitorTimerName);
  monitorTimer_.setInterval(500);
  openDialog_ = makeFileDialog(window, QStringLiteral("設定ファイルを読込む"), QFileDialog::AcceptOpen);
  saveDialog_ = makeFileDialog(window, QStringLiteral("現在の設定を保存"), QFileDialog::AcceptSave);
}

ProgramDataModule::~ProgramDataModule() {
  stopTimers();
}

void ProgramDataModule::start() {
  engineTimer_.start();
  updater_->start();
  updater_->updateAll();
}

void ProgramDataModule::stopTimers() {
  engineTimer_.stop();
  monitorTimer_.stop();
  updater_->stop();
}

QAction* ProgramDataModule::action(const QString& objectName) const {
  return findChild<QAction*>(objectName);
}

QMenu* ProgramDataModule::addMenu(QMenu* parent, const QString& title, const QString& name) {
  QMenu* m = parent ? parent->addMenu(title) : window_->menuBar()->addMenu(title);
  m->setObjectName(name);
  updater_->watch(m);
  return m;
}

QAction* ProgramDataModule::addAction(QMenu* menu, const QString& text, const QString& name,
                                      std::function<void()> execute) {
  auto* action = new QAction(text, this);
  action->setObjectName(name);
  connect(action, &QAction::triggered, this, [this, execute = std::move(execute)] {
    execute();
    // The marks follow the engine right away, not only at the next idle tick.
    updater_->updateAll();
  });
  menu->addAction(action);
  return action;
}

}  // namespace gui
