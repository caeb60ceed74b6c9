// The receiver program with the real engine on a real X server, receiving a
// sending station that runs as a second process in the same network lab:
// every text of its windows, the file actions before and after the first
// status, the live picture in the panel (frame number read from the
// screen), fitting after the sender changes its picture size, pointer and
// multicast dialogs acting on the engine, the monitor, and the orderly end.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

#include "gui/common/action_updater.h"
#include "gui/common/tests/qt_test_support.h"
#include "gui/common/tests/widget_texts.h"
#include "gui/common/video_panel.h"
#include "gui/common/window_fitter.h"
#include "gui/receiver/main_data_module.h"
#include "gui/receiver/multicast_setting_form.h"
#include "gui/receiver/pointer_setting_form.h"
#include "gui/receiver/receive_monitor_form.h"
#include "gui/receiver/receiver_main_form.h"
#include "gui/receiver/receiver_program.h"
#include "morvane/Morvane.h"
#include "netlab.h"
#include "platform/win/private_profile.h"

using namespace guitest;

namespace {

QTemporaryDir* g_dir = nullptr;

receiver::ReceiverProgram* g_program = nullptr;
QProcess* g_station = nullptr;

// Sends a command to the sending station and waits for its answer.
bool station(const QByteArray& command) {
  if (!g_station) return false;
  g_station->write(command + "\n");
  return waitUntil([] { return g_station->canReadLine(); }, 20000) && g_station->readLine().trimmed() == "ok";
}

class ReceiverUi : public ::testing::Test {
 protected:
  void SetUp() override {
    GUI_REQUIRE_DISPLAY();
    NETLAB_REQUIRE();
    app();
    if (!g_program) {
      g_dir = new QTemporaryDir;
      // The settings of a last run, read at start.
      const QString ini = g_dir->filePath(QStringLiteral("morvane-ui.ini"));
      platform::win::writeProfileString(ini.toStdString(), "Tracion", "PointerShape", "Target");
      g_program = new receiver::ReceiverProgram(ini);
      ASSERT_TRUE(g_program->start());
    }
    ASSERT_TRUE(MorvaneIsInitialized()) << "the program has ended";
    form = g_program->mainForm();
    data = g_program->dataModule();
    ASSERT_TRUE(waitUntil([&] { return form->isVisible(); }));
  }
  // Starts the sending station once and waits until its picture is received.
  void requireSender() {
    if (!g_station) {
      g_station = new QProcess;
      g_station->setProcessChannelMode(QProcess::ForwardedErrorChannel);
      g_station->start(QString::fromLocal8Bit(std::getenv("PROJECT_BINARY_DIR")) + "/bin/talvex_station", {});
      ASSERT_TRUE(g_station->waitForStarted(10000));
      ASSERT_TRUE(waitUntil([] { return g_station->canReadLine(); }, 30000));
      ASSERT_EQ(g_station->readLine().trimmed(), "ready");
    }
    ASSERT_TRUE(waitUntil([] { return MorvaneReceiveSenderData(); }, 20000)) << "no status from the sender";
  }
  QAction* act(const QString& name) { return data->action(name); }
  QSize video() {
    uint32_t w = 0, h = 0;
    MorvaneGetVideoWindowSize(&w, &h);
    return QSize(int(w), int(h));
  }
  QPoint videoPosition() {
    int32_t x = 0, y = 0;
    MorvaneGetVideoWindowPosition(&x, &y);
    return QPoint(x, y);
  }
  receiver::ReceiverMainForm* form = nullptr;
  receiver::MainDataModule* data = nullptr;
};

TEST_F(ReceiverUi, TextsAndTheStateBeforeAnySenderStatus) {
  EXPECT_EQ(MorvaneGetTracionPointerShape(), 4) << "the settings file is read at start";
  EXPECT_EQ(form->windowTitle(), QStringLiteral("着目点の遠隔共有ソフトウェア　（受信）"));
  EXPECT_EQ(form->videoPanel()->objectName(), QStringLiteral("VideoRenderPanel"));
  EXPECT_TRUE(form->videoPanel()->testAttribute(Qt::WA_NativeWindow));
  EXPECT_EQ(menuTitles(form->menuBar()), (QStringList{"ファイル(&F)", "ポインタ(&P)", "マルチキャスト(&M)"}));
  struct MenuCase {
    QString title;
    QStringList items;
  } menus[] = {
      {"ファイル(&F)", {"設定ファイルの読込み(&O)", "設定ファイルの保存(&S)", "-", "終了(&X)"}},
      {"ポインタ(&P)", {"標準", "矢", "円", "四角", "照準", "星", "-", "ポインタの詳細設定(&P)"}},
      {"マルチキャスト(&M)", {"詳細設定", "-", "受信モニタの表示(&R)"}},
  };
  for (const MenuCase& c : menus) EXPECT_EQ(menuItems(barMenu(form->menuBar(), c.title)), c.items);
  for (QFileDialog* d : {data->openDialog(), data->saveDialog()}) {
    EXPECT_EQ(d->nameFilters(), QStringList{"設定ファイル (*.ini)"});
    EXPECT_EQ(d->defaultSuffix(), QStringLiteral("ini"));
  }
  EXPECT_EQ(data->openDialog()->windowTitle(), QStringLiteral("設定ファイルを読込む"));
  EXPECT_EQ(data->saveDialog()->windowTitle(), QStringLiteral("現在の設定を保存"));

  // Pointer dialog: four groups, their captions, ranges and choices.
  receiver::PointerSettingForm* pointer = g_program->pointerSettingForm();
  EXPECT_EQ(pointer->windowTitle(), QStringLiteral("ポインタの詳細設定"));
  const QStringList colours{"黒", "青", "緑", "水色", "赤", "紫", "黄色", "白", ""};
  struct GroupCase {
    QString title, choiceCaption;
    QStringList choices;
  } groups[] = {{"ポインタ送信", "ポインタ形状", {"標準", "矢", "円", "四角", "照準", "星"}},
                {"ポインタ受信 ①", "ポインタの表示色", colours},
                {"ポインタ受信 ②", "ポインタの表示色", colours},
                {"ポインタ受信 ③", "ポインタの表示色", colours}};
  ASSERT_EQ(pointer->groups().size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const auto& g = pointer->groups()[i];
    EXPECT_EQ(g.box->title(), groups[i].title);
    EXPECT_EQ(labelTexts(g.box),
              (QStringList{"マルチキャストアドレス", "ポート番号", groups[i].choiceCaption}));
    EXPECT_EQ(comboItems(g.choice), groups[i].choices);
    EXPECT_EQ(g.port->minimum(), 8000);
    EXPECT_EQ(g.port->maximum(), 9000);
    EXPECT_EQ(g.addressButton->text(), QStringLiteral("更新"));
    EXPECT_EQ(g.portButton->text(), QStringLiteral("更新"));
  }

  // Multicast dialog, filled at creation.
  receiver::MulticastSettingForm* multicast = g_program->multicastSettingForm();
  EXPECT_EQ(multicast->windowTitle(), QStringLiteral("マルチキャスト設定"));
  EXPECT_EQ(multicast->group()->title(), QStringLiteral("ステータス受信"));
  EXPECT_EQ(labelTexts(multicast->group()), (QStringList{"マルチキャストアドレス", "ポート番号"}));
  EXPECT_EQ(multicast->port()->value(), 8930);
  EXPECT_EQ(multicast->address()->text(), QString::fromUtf8(MorvaneGetStatusReceiverAddress()));
  EXPECT_FALSE(multicast->addressButton()->isEnabled());

  // Monitor: 3 rows by 5 columns.
  receiver::ReceiveMonitorForm* monitor = g_program->receiveMonitorForm();
  EXPECT_EQ(monitor->windowTitle(), QStringLiteral("受信モニタ"));
  EXPECT_EQ(monitorCaptions(monitor),
            (QStringList{"受信レート (kbit/sec)", "フレームレート (fr/sec)", "ドロップパケット数",
                         "ドロップフレーム数", "パケットサイズ (byte)", "ビデオ（メイン）", "ビデオ（サブ）",
                         "オーディオ："}));

  // No sender yet: files disabled, "停止中".
  ASSERT_FALSE(MorvaneReceiveSenderData());
  emit barMenu(form->menuBar(), "ファイル(&F)")->aboutToShow();
  EXPECT_FALSE(act("ReadIniFileAction")->isEnabled());
  EXPECT_FALSE(act("WriteIniFileAction")->isEnabled());
  EXPECT_EQ(data->engineTimer()->interval(), 1000);
  ASSERT_TRUE(
      waitUntil([&] { return form->statusPanel()->text() == QStringLiteral("状態： 停止中"); }, 3000));
  screenshot(form, QStringLiteral("morvane-ui_main_waiting"));
}

TEST_F(ReceiverUi, ReceivesTheSendersPictureAndEnablesTheFiles) {
  requireSender();
  ASSERT_TRUE(
      waitUntil([&] { return form->statusPanel()->text() == QStringLiteral("状態： 受信中"); }, 3000));
  emit barMenu(form->menuBar(), "ファイル(&F)")->aboutToShow();
  EXPECT_TRUE(act("ReadIniFileAction")->isEnabled());
  EXPECT_TRUE(act("WriteIniFileAction")->isEnabled());

  auto readFrame = [&](uint32_t* frame) {
    return readPanelFrame(form, form->videoPanel(), videoPosition(), video(), frame,
                          QStringLiteral("morvane-ui_main"));
  };
  uint32_t first = 0, later = 0;
  ASSERT_TRUE(waitUntil([&] { return readFrame(&first); }, 15000)) << "no picture inside the panel";
  ASSERT_TRUE(waitUntil([&] { return readFrame(&later) && later > first; }, 5000));
}

TEST_F(ReceiverUi, FitsWhenTheSenderChangesItsPictureSize) {
  requireSender();
  ASSERT_TRUE(station("format 7"));  // 720x480
  QWidget* panel = form->videoPanel();
  ASSERT_TRUE(waitUntil([&] { return video() == QSize(720, 480); }, 20000))
      << video().width() << "x" << video().height();
  ASSERT_TRUE(waitUntil([&] { return panel->width() >= 720 && panel->height() >= 480; }, 5000))
      << panel->width() << "x" << panel->height();
  EXPECT_TRUE(waitUntil(
      [&] { return videoPosition() == gui::WindowFitter::centredPosition(panel->size(), video()); }, 3000));
  ASSERT_TRUE(station("format 2"));  // CIF: the window keeps its size, the video is centred
  ASSERT_TRUE(waitUntil([&] { return video() == QSize(352, 288); }, 20000));
  EXPECT_TRUE(waitUntil(
      [&] { return videoPosition() == gui::WindowFitter::centredPosition(panel->size(), QSize(352, 288)); },
      5000));
  EXPECT_GE(panel->width(), 720);
}

TEST_F(ReceiverUi, ShapeActionsMarkOnlyTheChosenShape) {
  QMenu* pointer = barMenu(form->menuBar(), "ポインタ(&P)");
  act("PointerShapeStarAction")->trigger();
  EXPECT_EQ(MorvaneGetTracionPointerShape(), 5);
  emit pointer->aboutToShow();
  EXPECT_EQ(checkedItems(pointer), QStringList{"星"});
  act("PointerShapeCircleAction")->trigger();
  emit pointer->aboutToShow();
  EXPECT_EQ(checkedItems(pointer), QStringList{"円"});
}

TEST_F(ReceiverUi, PointerDialogActsOnTheEngine) {
  requireSender();
  receiver::PointerSettingForm* dialog = g_program->pointerSettingForm();
  whenModal([&](QWidget* w) {
    EXPECT_EQ(w, dialog);
    const auto& own = dialog->groups()[0];
    const auto& p1 = dialog->groups()[1];
    const auto& p2 = dialog->groups()[2];
    EXPECT_EQ(own.port->value(), 8200);
    EXPECT_EQ(p1.port->value(), 8200);
    EXPECT_EQ(p2.port->value(), 8201);
    EXPECT_EQ(dialog->groups()[3].port->value(), 8202);
    EXPECT_EQ(own.choice->currentIndex(), MorvaneGetTracionPointerShape());
    for (int n = 0; n < 3; ++n)
      EXPECT_EQ(dialog->groups()[size_t(n + 1)].choice->currentIndex(), MorvaneGetBlendorPointerColor(n));
    screenshot(dialog, QStringLiteral("morvane-ui_pointer_setting"));
    // Shape and colour boxes act at once.
    choose(own.choice, 4);
    EXPECT_EQ(MorvaneGetTracionPointerShape(), 4);
    choose(p1.choice, 4);
    EXPECT_EQ(MorvaneGetBlendorPointerColor(0), 4);
    // Address and port through their buttons; an empty address cannot be applied.
    p2.address->clear();
    EXPECT_FALSE(p2.addressButton->isEnabled());
    QTest::keyClicks(p2.address, "234.5.6.9");
    p2.addressButton->click();
    EXPECT_STREQ(MorvaneGetPointerP2ClientAddress(), "234.5.6.9");
    p2.port->setValue(8301);
    p2.portButton->click();
    EXPECT_EQ(MorvaneGetPointerP2ClientPort(), 8301);
    own.port->setValue(8210);
    own.portButton->click();
    EXPECT_EQ(MorvaneGetPointerServerPort(), 8210);
    dialog->reject();
  });
  act("PointerSettingAction")->trigger();

  // The empty ninth colour entry passes 8; the mixer then keeps its colour.
  dialog->fill();
  const int before = MorvaneGetBlendorPointerColor(2);
  choose(dialog->groups()[3].choice, 8);
  EXPECT_EQ(dialog->groups()[3].choice->currentIndex(), 8);
  const int after = MorvaneGetBlendorPointerColor(2);
  EXPECT_TRUE(after == 8 || after == before) << after;
  MorvaneSetPointerP2ClientAddress("234.5.6.7");
  MorvaneSetPointerP2ClientPort(8201);
  MorvaneSetPointerServerPort(8200);
}

TEST_F(ReceiverUi, MulticastDialogReopensTheListenerAndReportsAFailure) {
  receiver::MulticastSettingForm* dialog = g_program->multicastSettingForm();
  QString failure;
  whenModal([&](QWidget* w) {
    EXPECT_EQ(w, dialog);
    screenshot(dialog, QStringLiteral("morvane-ui_multicast_setting"));
    dialog->port()->setValue(8931);
    dialog->portButton()->click();
    EXPECT_EQ(MorvaneGetStatusReceiverPort(), 8931);
    // An address the listener cannot join: the failure is shown.
    whenModal(
        [&](QWidget* box) {
          auto* message = qobject_cast<QMessageBox*>(box);
          ASSERT_NE(message, nullptr);
          failure = message->text();
          message->accept();
        },
        dialog);
    dialog->address()->setText(QStringLiteral("no.such.group"));
    dialog->addressButton()->click();
    // Back to the sender's channel.
    dialog->address()->setText(QStringLiteral("234.5.6.7"));
    dialog->addressButton()->click();
    dialog->port()->setValue(8930);
    dialog->portButton()->click();
    dialog->reject();
  });
  act("MulticastSettingAction")->trigger();
  EXPECT_FALSE(failure.isEmpty());
  EXPECT_EQ(MorvaneGetStatusReceiverPort(), 8930);
  EXPECT_STREQ(MorvaneGetStatusReceiverAddress(), "234.5.6.7");
  // Showing the dialog later does not refill it.
  MorvaneSetStatusReceiverPort(8930);
}

TEST_F(ReceiverUi, ReceiveMonitorShowsStatisticsWhileOpen) {
  requireSender();
  receiver::ReceiveMonitorForm* monitor = g_program->receiveMonitorForm();
  EXPECT_FALSE(data->monitorTimer()->isActive());
  act("DisplayReceiveMonitorAction")->trigger();
  EXPECT_TRUE(data->monitorTimer()->isActive());
  EXPECT_EQ(data->monitorTimer()->interval(), 500);
  ASSERT_TRUE(waitUntil([&] { return monitor->cell(0, 0)->text().toDouble() > 0; }, 8000));
  expectMonitorCells(monitor, 5);
  EXPECT_GT(monitor->cell(0, 4)->text().toUInt(), 0u);
  screenshot(monitor, QStringLiteral("morvane-ui_receive_monitor"));
  monitor->close();
  EXPECT_FALSE(data->monitorTimer()->isActive());
}

TEST_F(ReceiverUi, SettingsFilesThroughTheDialogs) {
  requireSender();
  QTemporaryDir dir;
  const QString path = dir.filePath("station.ini");
  whenModal([&](QWidget* w) {
    EXPECT_EQ(w, data->saveDialog());
    screenshot(w, QStringLiteral("morvane-ui_save_settings"));
    chooseFile(data->saveDialog(), path);
  });
  act("WriteIniFileAction")->trigger();
  EXPECT_EQ(platform::win::readProfileString(path.toStdString(), "PointerP2Client", "Port"), "8201");
  platform::win::writeProfileString(path.toStdString(), "PointerP3Client", "Port", "8303");
  whenModal([&](QWidget* w) {
    EXPECT_EQ(w, data->openDialog());
    screenshot(w, QStringLiteral("morvane-ui_open_settings"));
    chooseFile(data->openDialog(), path);
  });
  act("ReadIniFileAction")->trigger();
  EXPECT_EQ(MorvaneGetPointerP3ClientPort(), 8303);
  MorvaneSetPointerP3ClientPort(8202);
}

TEST_F(ReceiverUi, EngineProblemsFromTheStatusThreadShowWithoutBlockingIt) {
  // The program's callback, called as the engine calls it: on its status
  // thread. A problem text becomes a box on the GUI thread while the
  // calling thread goes on at once; other texts are ignored.
  QMessageBox* shown = nullptr;
  std::atomic<bool> returned{false};
  std::thread status([&] {
    receiver::ReceiverMainForm::engineCallback("Cannot Connect Filters.", 1, form->fitter());
    receiver::ReceiverMainForm::engineCallback("Something Else", 0, form->fitter());
    returned = true;
  });
  status.join();
  EXPECT_TRUE(returned);
  ASSERT_TRUE(waitUntil([&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) shown = box;
    return shown != nullptr;
  }));
  EXPECT_EQ(shown->text(), QStringLiteral("Cannot Connect Filters."));
  int boxes = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) boxes += qobject_cast<QMessageBox*>(w) && w->isVisible();
  EXPECT_EQ(boxes, 1);
  screenshot(shown, QStringLiteral("morvane-ui_message_box"));
  shown->close();
}

// Last: closing stops every timer, saves the settings and ends the engine.
TEST_F(ReceiverUi, ExitStopsTimersSavesSettingsAndShutsTheEngineDown) {
  act("DisplayReceiveMonitorAction")->trigger();
  act("PointerShapeStarAction")->trigger();
  act("ExitAction")->trigger();
  EXPECT_FALSE(MorvaneIsInitialized());
  EXPECT_FALSE(data->engineTimer()->isActive());
  EXPECT_FALSE(data->monitorTimer()->isActive());
  EXPECT_FALSE(data->updater()->running());
  const std::string file = g_dir->filePath("morvane-ui.ini").toStdString();
  EXPECT_EQ(platform::win::readProfileString(file, "Tracion", "PointerShape"), "Star");
  pump(1500);
  if (g_station) {
    station("quit");
    g_station->waitForFinished(20000);
  }
}

}  // namespace
