// The sender program with the real engine on a real X server, inside the
// network lab: every text of its windows, the execute and update rule of
// each action, the dialogs acting on the engine, window fitting, the live
// preview in the panel (its frame number read from the screen), and the
// orderly end.
#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include "gui/common/action_updater.h"
#include "gui/common/property_frame_dialog.h"
#include "gui/common/property_page_view.h"
#include "gui/common/tests/qt_test_support.h"
#include "gui/common/tests/widget_texts.h"
#include "gui/common/video_panel.h"
#include "gui/common/window_fitter.h"
#include "gui/sender/focus_display_setting_form.h"
#include "gui/sender/main_data_module.h"
#include "gui/sender/multicast_setting_form.h"
#include "gui/sender/send_monitor_form.h"
#include "gui/sender/sender_main_form.h"
#include "gui/sender/sender_program.h"
#include "gui/sender/sender_tables.h"
#include "netlab.h"
#include "platform/win/private_profile.h"
#include "talvex/Talvex.h"

using namespace guitest;

namespace {

QTemporaryDir* g_dir = nullptr;
constexpr const char* kTestCamera = "Test Pattern Camera";

sender::SenderProgram* g_program = nullptr;

class SenderUi : public ::testing::Test {
 protected:
  void SetUp() override {
    GUI_REQUIRE_DISPLAY();
    NETLAB_REQUIRE();
    app();
    if (!g_program) {
      g_dir = new QTemporaryDir;
      // The settings of a last run, read at start.
      const QString ini = g_dir->filePath(QStringLiteral("talvex-ui.ini"));
      // The camera is chosen by name: the order of the devices is the
      // registry's.
      platform::win::writeProfileString(ini.toStdString(), "VideoFormat", "VideoFormat", "CIF");
      platform::win::writeProfileString(ini.toStdString(), "Capture", "VideoCapture", kTestCamera);
      platform::win::writeProfileString(ini.toStdString(), "Capture", "AudioCapture", "Test Tone Microphone");
      g_program = new sender::SenderProgram(ini);
      ASSERT_TRUE(g_program->start());
    }
    ASSERT_TRUE(TalvexIsInitialized()) << "the program has ended";
    form = g_program->mainForm();
    data = g_program->dataModule();
    ASSERT_TRUE(waitUntil([&] { return form->isVisible(); }));
  }
  QMenu* menu(const QString& title) { return barMenu(form->menuBar(), title); }
  QAction* act(const QString& name) { return data->action(name); }
  void trigger(const QString& name) {
    QAction* a = act(name);
    ASSERT_NE(a, nullptr) << name.toStdString();
    a->trigger();
  }
  QSize video() {
    unsigned w = 0, h = 0;
    TalvexGetVideoWindowSize(&w, &h);
    return QSize(int(w), int(h));
  }
  QPoint videoPosition() {
    int32_t x = 0, y = 0;
    TalvexGetVideoWindowPosition(&x, &y);
    return QPoint(x, y);
  }
  // The panel holds the video, which sits centred in it.
  void expectFitted() {
    const QSize v = video();
    QWidget* panel = form->videoPanel();
    ASSERT_TRUE(waitUntil([&] { return panel->width() >= v.width() && panel->height() >= v.height(); }))
        << "panel " << panel->width() << "x" << panel->height() << ", video " << v.width() << "x"
        << v.height();
    EXPECT_EQ(videoPosition(), gui::WindowFitter::centredPosition(panel->size(), v));
  }
  sender::SenderMainForm* form = nullptr;
  sender::MainDataModule* data = nullptr;
};

TEST_F(SenderUi, MainWindowAndMenuTexts) {
  EXPECT_EQ(TalvexGetVideoFormat(), 2) << "the settings file is read at start";
  trigger("VideoFormat8Action");
  EXPECT_EQ(form->windowTitle(), QStringLiteral("着目点の遠隔共有ソフトウェア　（送信）"));
  EXPECT_EQ(form->videoPanel()->objectName(), QStringLiteral("VideoRenderPanel"));
  EXPECT_EQ(form->videoPanel()->palette().color(QPalette::Window), QColor(0, 0, 128));
  EXPECT_TRUE(form->videoPanel()->testAttribute(Qt::WA_NativeWindow));
  EXPECT_EQ(form->statusBar()->findChildren<QLabel*>().size(), 1);

  QStringList videoDevices, audioDevices;
  for (unsigned i = 0; i < TalvexGetNumVideoCaptures(); ++i)
    videoDevices << QString::fromUtf8(TalvexGetVideoCaptureFriendlyName(int(i)));
  for (unsigned i = 0; i < TalvexGetNumAudioCaptures(); ++i)
    audioDevices << QString::fromUtf8(TalvexGetAudioCaptureFriendlyName(int(i)));
  ASSERT_GE(videoDevices.size(), 2) << "the built-in cameras";

  EXPECT_EQ(menuTitles(form->menuBar()),
            (QStringList{"ファイル(&F)", "解像度(&R)", "フォーカス表示(&D)", "マルチキャスト(&M)",
                         "キャプチャ(&C)", "エンコーダ(&E)"}));
  struct MenuCase {
    QStringList path;
    QStringList items;
  } menus[] = {
      {{"ファイル(&F)"}, {"設定ファイルの読込み(&O)", "設定ファイルの保存(&S)", "-", "終了(&X)"}},
      {{"解像度(&R)"},
       {"SQCIF", "QCIF", "CIF", "160x120", "320x240", "360x240", "640x480", "720x480", "キャプチャの解像度"}},
      {{"フォーカス表示(&D)"},
       {"フォーカス表示なし(&N)", "非線形ズーミング(&L)", "低/高解像度の画像合成(&C)", "-", "詳細設定(&E)"}},
      {{"マルチキャスト(&M)"},
       {"転送速度(&T)>", "重複転送回数(&R)>", "-", "詳細設定(&E)", "-", "送信モニタの表示(&S)"}},
      {{"マルチキャスト(&M)", "転送速度(&T)"},
       {"100 Kbps", "300 Kbps", "1 Mbps", "10 Mbps", "30 Mbps", "100 Mbps", "無制限"}},
      {{"マルチキャスト(&M)", "重複転送回数(&R)"}, {"1回", "2回", "3回", "4回"}},
      {{"キャプチャ(&C)"},
       {"ビデオキャプチャ(&V)>", "オーディオキャプチャ(&A)>", "-", "ビデオキャプチャの設定",
        "オーディオキャプチャの設定"}},
      {{"キャプチャ(&C)", "ビデオキャプチャ(&V)"}, videoDevices},
      {{"キャプチャ(&C)", "オーディオキャプチャ(&A)"}, audioDevices},
      {{"エンコーダ(&E)"}, {"ビデオエンコーダ(&V)>", "オーディオエンコーダ(&A)>"}},
      {{"エンコーダ(&E)", "ビデオエンコーダ(&V)"}, {"使用しない", "MPEG-4 v2"}},
      {{"エンコーダ(&E)", "オーディオエンコーダ(&A)"}, {"使用しない"}},
  };
  for (const MenuCase& c : menus) {
    QMenu* m = menu(c.path[0]);
    for (int i = 1; m && i < c.path.size(); ++i) m = subMenu(m, c.path[i]);
    ASSERT_NE(m, nullptr) << c.path.join('/').toStdString();
    EXPECT_EQ(menuItems(m), c.items) << c.path.join('/').toStdString();
  }

  // The settings-file dialogs.
  struct FileDialogCase {
    QFileDialog* dialog;
    QString title;
    QFileDialog::AcceptMode mode;
  } dialogs[] = {{data->openDialog(), "設定ファイルを読込む", QFileDialog::AcceptOpen},
                 {data->saveDialog(), "現在の設定を保存", QFileDialog::AcceptSave}};
  for (const FileDialogCase& c : dialogs) {
    EXPECT_EQ(c.dialog->windowTitle(), c.title);
    EXPECT_EQ(c.dialog->nameFilters(), QStringList{"設定ファイル (*.ini)"});
    EXPECT_EQ(c.dialog->defaultSuffix(), QStringLiteral("ini"));
    EXPECT_EQ(c.dialog->acceptMode(), c.mode);
    EXPECT_FALSE(c.dialog->testOption(QFileDialog::DontConfirmOverwrite));
  }
}

TEST_F(SenderUi, StatusPanelAndPreviewShowTheRunningGraph) {
  EXPECT_TRUE(data->engineTimer()->isActive());
  EXPECT_EQ(data->engineTimer()->interval(), 1000);
  ASSERT_TRUE(waitUntil([&] { return form->statusPanel()->text() == QStringLiteral("状態： 実行中"); }, 3000))
      << form->statusPanel()->text().toStdString();
  // The test-pattern camera's frame number, read from the screen inside the
  // panel, advances.
  ASSERT_STREQ(TalvexGetVideoCaptureFriendlyName(TalvexGetVideoCapture()), kTestCamera);
  auto readFrame = [&](uint32_t* frame) {
    return readPanelFrame(form, form->videoPanel(), videoPosition(), video(), frame,
                          QStringLiteral("talvex-ui_main"));
  };
  uint32_t first = 0, later = 0;
  ASSERT_TRUE(waitUntil([&] { return readFrame(&first); }, 5000)) << "no test pattern inside the panel";
  ASSERT_TRUE(waitUntil([&] { return readFrame(&later) && later > first; }, 5000));
}

TEST_F(SenderUi, ResolutionActionsSetTheFormatMarkItAndFitTheWindow) {
  QMenu* m = menu("解像度(&R)");
  for (int code : {2, 7, 0, 8}) {
    trigger(QStringLiteral("VideoFormat%1Action").arg(code));
    EXPECT_EQ(TalvexGetVideoFormat(), code);
    emit m->aboutToShow();
    EXPECT_EQ(checkedItems(m), QStringList{sender::videoFormatLabel(code)});
    expectFitted();
  }
  // 720x480 made the window at least that large; it never shrinks after.
  EXPECT_GE(form->videoPanel()->width(), 720);
  EXPECT_GE(form->videoPanel()->height(), 480);
}

TEST_F(SenderUi, FocusDisplayAndEncoderActionsFollowTheEngine) {
  QMenu* focus = menu("フォーカス表示(&D)");
  const char* names[] = {"FocusDisplayNoneAction", "FocusDisplayLoupexAction",
                         "FocusDisplayImageCompoundAction"};
  trigger("FocusDisplayLoupexAction");
  EXPECT_EQ(TalvexGetFocusDisplay(), 1);
  emit focus->aboutToShow();
  EXPECT_EQ(checkedItems(focus), QStringList{"非線形ズーミング(&L)"});
  expectFitted();
  trigger("FocusDisplayNoneAction");
  EXPECT_EQ(TalvexGetFocusDisplay(), 0);

  // The DV camera without a video encoder cannot do the image compound.
  QMenu* cameras = subMenu(menu("キャプチャ(&C)"), "ビデオキャプチャ(&V)");
  QMenu* videoEncoders = subMenu(menu("エンコーダ(&E)"), "ビデオエンコーダ(&V)");
  const int camera = TalvexGetVideoCapture();
  int dv = -1;
  for (unsigned i = 0; i < TalvexGetNumVideoCaptures(); ++i)
    if (QString::fromUtf8(TalvexGetVideoCaptureFriendlyName(int(i))).contains("DV")) dv = int(i);
  ASSERT_GE(dv, 0);
  cameras->actions()[dv]->trigger();
  EXPECT_EQ(TalvexGetVideoCapture(), dv);
  EXPECT_EQ(checkedItems(cameras), QStringList{cameras->actions()[dv]->text()});
  trigger("VideoEncoderNoneAction");
  EXPECT_EQ(TalvexGetVideoEncoder(), 0);
  emit videoEncoders->aboutToShow();
  EXPECT_EQ(checkedItems(videoEncoders), QStringList{"使用しない"});
  emit focus->aboutToShow();
  for (int mode = 0; mode < 3; ++mode)
    EXPECT_EQ(act(names[mode])->isEnabled(), TalvexIsValidFocusDisplay(mode)) << mode;
  EXPECT_FALSE(act("FocusDisplayImageCompoundAction")->isEnabled());
  // Forced anyway, the graph cannot be built: the status panel says so.
  TalvexSetFocusDisplay(2);
  data->engineTick();
  EXPECT_EQ(form->statusPanel()->text(), QStringLiteral("状態： 構成に失敗しました。"));
  TalvexSetFocusDisplay(0);
  data->engineTick();
  EXPECT_EQ(form->statusPanel()->text(), QStringLiteral("状態： 実行中"));
  for (int n = 0; n < 2; ++n)
    EXPECT_EQ(videoEncoders->actions()[n]->isEnabled(), TalvexIsValidVideoEncoder(n));

  // Back to the test-pattern camera with the MPEG-4 encoder.
  trigger("VideoEncoderMPEG42Action");
  cameras->actions()[camera]->trigger();
  EXPECT_EQ(TalvexGetVideoCapture(), camera);
  EXPECT_EQ(TalvexGetVideoEncoder(), 1);
  emit focus->aboutToShow();
  EXPECT_TRUE(act("FocusDisplayImageCompoundAction")->isEnabled());
  QMenu* audioEncoders = subMenu(menu("エンコーダ(&E)"), "オーディオエンコーダ(&A)");
  emit audioEncoders->aboutToShow();
  EXPECT_EQ(checkedItems(audioEncoders), QStringList{"使用しない"});
  EXPECT_EQ(act("AudioCaptureSettingAction")->isEnabled(), TalvexGetNumAudioCapturePropertyPages() != 0);
}

TEST_F(SenderUi, MulticastDialogTextsAndRanges) {
  sender::MulticastSettingForm* dialog = g_program->multicastSettingForm();
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("マルチキャスト設定"));
  EXPECT_TRUE(dialog->windowFlags() & Qt::WindowStaysOnTopHint);
  const QStringList full{
      "マルチキャストアドレス", "ポート番号", "ホップカウント", "転送速度：", "重複転送回数：",
      "パケットサイズ：",       "byte"};
  const QStringList status{"マルチキャストアドレス", "ポート番号", "ホップカウント"};
  struct GroupCase {
    QString title;
    QStringList captions;
  } groups[] = {{"ビデオ送信（メイン）", full},
                {"ビデオ送信（サブ）", full},
                {"オーディオ送信", full},
                {"ポインタ送信", full},
                {"ステータス送信", status}};
  ASSERT_EQ(dialog->groups().size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    const auto& g = dialog->groups()[i];
    EXPECT_EQ(g.box->title(), groups[i].title);
    EXPECT_EQ(labelTexts(g.box), groups[i].captions) << i;
    EXPECT_EQ(g.port->minimum(), 8000);
    EXPECT_EQ(g.port->maximum(), 9000);
    EXPECT_EQ(g.timeToLive->minimum(), 1);
    EXPECT_EQ(g.timeToLive->maximum(), 10);
    int buttons = 0;
    for (QPushButton* b : g.box->findChildren<QPushButton*>()) buttons += b->text() == QStringLiteral("更新");
    EXPECT_EQ(buttons, i < 4 ? 4 : 3);
    if (i < 4) {
      EXPECT_EQ(comboItems(g.rate),
                (QStringList{"100 Kbps", "300 Kbps", "1 Mbps", "10 Mbps", "30 Mbps", "100 Mbps", "無制限"}));
      EXPECT_EQ(comboItems(g.count), (QStringList{"1回", "2回", "3回", "4回"}));
    } else {
      EXPECT_EQ(g.rate, nullptr);
    }
  }
}

TEST_F(SenderUi, RatesAndCountsFromTheMenuAndTheDialog) {
  QMenu* rates = subMenu(menu("マルチキャスト(&M)"), "転送速度(&T)");
  QMenu* counts = subMenu(menu("マルチキャスト(&M)"), "重複転送回数(&R)");
  sender::MulticastSettingForm* dialog = g_program->multicastSettingForm();
  const auto& main = dialog->groups()[0];
  const auto& sub = dialog->groups()[1];

  // The menu's "無制限" sends 1048576000 to all four servers.
  trigger("TransmittingRate6Action");
  EXPECT_EQ(TalvexGetVideoServerMainMaxTransmittingRate(), 1048576000u);
  EXPECT_EQ(TalvexGetVideoServerSubMaxTransmittingRate(), 1048576000u);
  EXPECT_EQ(TalvexGetAudioServerMaxTransmittingRate(), 1048576000u);
  EXPECT_EQ(TalvexGetPointerServerMaxTransmittingRate(), 1048576000u);
  emit rates->aboutToShow();
  EXPECT_EQ(checkedItems(rates), QStringList{"無制限"});

  // The dialog's "無制限" sends 1073741824 to one server; both read back as
  // "無制限", and with different rates no menu item is marked.
  whenModal([&](QWidget* w) {
    EXPECT_EQ(w, dialog);
    EXPECT_EQ(main.rate->currentText(), QStringLiteral("無制限"));
    main.rate->setCurrentIndex(0);  // a fill by program: no setter
    EXPECT_EQ(TalvexGetVideoServerMainMaxTransmittingRate(), 1048576000u);
    choose(main.rate, 6);
    screenshot(dialog, QStringLiteral("talvex-ui_multicast_setting"));
    dialog->reject();
  });
  trigger("MulticastSettingAction");
  EXPECT_EQ(TalvexGetVideoServerMainMaxTransmittingRate(), 1073741824u);
  EXPECT_EQ(TalvexGetVideoServerSubMaxTransmittingRate(), 1048576000u);
  emit rates->aboutToShow();
  EXPECT_TRUE(checkedItems(rates).isEmpty());
  dialog->fill();
  EXPECT_EQ(main.rate->currentText(), QStringLiteral("無制限"));
  EXPECT_EQ(sub.rate->currentText(), QStringLiteral("無制限"));

  // The same menu value everywhere marks its label; a dialog change to one
  // server clears the mark again.
  trigger("TransmittingRate2Action");
  emit rates->aboutToShow();
  EXPECT_EQ(checkedItems(rates), QStringList{"1 Mbps"});
  dialog->fill();
  choose(sub.rate, 0);
  EXPECT_EQ(TalvexGetVideoServerSubMaxTransmittingRate(), 102400u);
  emit rates->aboutToShow();
  EXPECT_TRUE(checkedItems(rates).isEmpty());

  // Counts: the menu sets all four; the dialog one (index + 1).
  trigger("TransmittingCount3Action");
  for (unsigned (*get)() :
       {TalvexGetVideoServerMainTransmittingCount, TalvexGetVideoServerSubTransmittingCount,
        TalvexGetAudioServerTransmittingCount, TalvexGetPointerServerTransmittingCount})
    EXPECT_EQ(get(), 3u);
  emit counts->aboutToShow();
  EXPECT_EQ(checkedItems(counts), QStringList{"3回"});
  dialog->fill();
  EXPECT_EQ(dialog->groups()[2].count->currentText(), QStringLiteral("3回"));
  choose(dialog->groups()[2].count, 1);
  EXPECT_EQ(TalvexGetAudioServerTransmittingCount(), 2u);
  emit counts->aboutToShow();
  EXPECT_TRUE(checkedItems(counts).isEmpty());
  trigger("TransmittingCount1Action");
  trigger("TransmittingRate5Action");
}

TEST_F(SenderUi, MulticastDialogUpdateButtonsApplyEditedFields) {
  sender::MulticastSettingForm* dialog = g_program->multicastSettingForm();
  dialog->fill();
  const auto& main = dialog->groups()[0];
  const auto& pointer = dialog->groups()[3];
  const auto& status = dialog->groups()[4];
  EXPECT_EQ(main.address->text(), QStringLiteral("234.5.6.7"));
  EXPECT_EQ(main.port->value(), 8190);
  EXPECT_EQ(status.port->value(), 8930);
  EXPECT_EQ(main.packetSize->text(), QStringLiteral("1024"));
  for (const auto& g : dialog->groups())
    for (QPushButton* b : g.box->findChildren<QPushButton*>()) EXPECT_FALSE(b->isEnabled());

  // Clearing an address disables its button; a new one is applied by it.
  main.address->clear();
  EXPECT_FALSE(main.addressButton->isEnabled());
  QTest::keyClicks(main.address, "234.5.6.8");
  EXPECT_TRUE(main.addressButton->isEnabled());
  EXPECT_STREQ(TalvexGetVideoServerMainAddress(), "234.5.6.7");  // editing alone changes nothing
  main.addressButton->click();
  EXPECT_STREQ(TalvexGetVideoServerMainAddress(), "234.5.6.8");
  EXPECT_FALSE(main.addressButton->isEnabled());

  struct Edit {
    QSpinBox* spin;
    QPushButton* button;
    int value;
    std::function<unsigned()> get;
  } edits[] = {
      {main.port, main.portButton, 8300, [] { return unsigned(TalvexGetVideoServerMainPort()); }},
      {pointer.port, pointer.portButton, 8393, [] { return unsigned(TalvexGetPointerServerClientPort()); }},
      {pointer.timeToLive, pointer.timeToLiveButton, 3,
       [] { return TalvexGetPointerServerClientTimeToLive(); }},
      {status.port, status.portButton, 8931, [] { return unsigned(TalvexGetStatusSenderPort()); }},
  };
  for (const Edit& e : edits) {
    e.spin->setValue(e.value);
    EXPECT_TRUE(e.button->isEnabled());
    e.button->click();
    EXPECT_EQ(e.get(), unsigned(e.value));
    EXPECT_FALSE(e.button->isEnabled());
  }
  main.packetSize->selectAll();
  QTest::keyClicks(main.packetSize, "2048");
  main.packetSizeButton->click();
  EXPECT_EQ(TalvexGetVideoServerMainPacketSize(), 2048u);

  // Back to the defaults the other tests expect.
  TalvexSetVideoServerMainAddress("234.5.6.7");
  TalvexSetVideoServerMainPort(8190);
  TalvexSetPointerServerClientPort(8193);
  TalvexSetPointerServerClientTimeToLive(1);
  TalvexSetStatusSenderPort(8930);
  TalvexSetVideoServerMainPacketSize(1024);
}

TEST_F(SenderUi, FocusDisplayDialogFillsWithoutSettingAndActsOnChange) {
  sender::FocusDisplaySettingForm* dialog = g_program->focusDisplaySettingForm();
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("フォーカス表示の詳細設定"));
  EXPECT_EQ(groupTitles(dialog), (QStringList{"非線形ズーミング", "低／高解像度の合成"}));
  const QStringList formats{"SQCIF", "QCIF", "CIF", "160x120", "320x240", "360x240", "640x480", "720x480"};
  struct ComboCase {
    QComboBox* box;
    QStringList items;
  } combos[] = {
      {dialog->loupexVideoFormat(), formats},
      {dialog->loupexMaskType(), {"矩形", "楕円"}},
      {dialog->baseVideoFormat(), formats},
      {dialog->additionalVideoFormat(), formats},
      {dialog->compoundMaskType(), {"矩形", "楕円", "市松模様"}},
      {dialog->blendingType(), {"単純", "曖昧"}},
  };
  for (const ComboCase& c : combos) EXPECT_EQ(comboItems(c.box), c.items);
  const auto groups = dialog->findChildren<QGroupBox*>();
  ASSERT_EQ(groups.size(), 2);
  EXPECT_EQ(labelTexts(groups[0]), (QStringList{"表示解像度", "マスク形状", "マスクサイズ"}));
  EXPECT_EQ(labelTexts(dialog->maskWidth()->parentWidget()), (QStringList{"幅：", "高さ："}));
  EXPECT_EQ(labelTexts(groups[1]),
            (QStringList{"ベース画像の解像度", "付加画像の解像度", "マスク形状", "合成方式"}));
  for (QSpinBox* s : {dialog->maskWidth(), dialog->maskHeight()}) {
    EXPECT_EQ(s->minimum(), 10);
    EXPECT_EQ(s->maximum(), 720);
  }

  // Filling sets every control and calls no setter: a mask of 200 x 150
  // stays 200 x 150 (setting the width alone would pass the old height).
  TalvexSetLoupexMaskSize(200, 150);
  TalvexSetLoupexVideoFormat(6);
  TalvexSetImageCompoundBlendingType(0);
  whenModal([&](QWidget* w) {
    EXPECT_EQ(w, dialog);
    EXPECT_EQ(dialog->maskWidth()->value(), 200);
    EXPECT_EQ(dialog->maskHeight()->value(), 150);
    EXPECT_EQ(dialog->loupexVideoFormat()->currentIndex(), 6);
    unsigned mw = 0, mh = 0;
    TalvexGetLoupexMaskSize(&mw, &mh);
    EXPECT_EQ(mw, 200u);
    EXPECT_EQ(mh, 150u);
    screenshot(dialog, QStringLiteral("talvex-ui_focus_display_setting"));
    // Changes act at once with both current sizes.
    dialog->maskHeight()->setValue(160);
    TalvexGetLoupexMaskSize(&mw, &mh);
    EXPECT_EQ(mw, 200u);
    EXPECT_EQ(mh, 160u);
    dialog->blendingType()->setCurrentIndex(1);
    dialog->compoundMaskType()->setCurrentIndex(2);
    dialog->additionalVideoFormat()->setCurrentIndex(2);
    dialog->reject();
  });
  trigger("FocusDisplaySettingAction");
  EXPECT_EQ(TalvexGetImageCompoundBlendingType(), 1);
  EXPECT_EQ(TalvexGetImageCompoundMaskType(), 2);
  EXPECT_EQ(TalvexGetImageCompoundAdditionalVideoFormat(), 2);
  EXPECT_EQ(TalvexGetLoupexVideoFormat(), 6);
}

TEST_F(SenderUi, SendMonitorShowsRatesWhileOpen) {
  sender::SendMonitorForm* monitor = g_program->sendMonitorForm();
  EXPECT_EQ(monitor->windowTitle(), QStringLiteral("送信モニタ"));
  EXPECT_TRUE(monitor->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(monitorCaptions(monitor), (QStringList{"送信レート (kbit/sec)", "フレームレート (fr/sec)",
                                                   "ビデオ（メイン）", "ビデオ（サブ）", "オーディオ："}));
  EXPECT_FALSE(data->monitorTimer()->isActive());
  trigger("DisplaySendMonitorAction");
  EXPECT_FALSE(monitor->isModal());
  EXPECT_TRUE(data->monitorTimer()->isActive());
  EXPECT_EQ(data->monitorTimer()->interval(), 500);
  ASSERT_TRUE(waitUntil([&] { return monitor->cell(0, 0)->text().toDouble() > 0; }, 4000));
  expectMonitorCells(monitor, 2);
  EXPECT_GT(monitor->cell(0, 1)->text().toUInt(), 0u);
  screenshot(monitor, QStringLiteral("talvex-ui_send_monitor"));
  monitor->close();
  EXPECT_FALSE(data->monitorTimer()->isActive());
}

TEST_F(SenderUi, CapturePropertyPagesOpenTheDevicesPages) {
  QString title;
  int pages = 0;
  whenModal([&](QWidget* w) {
    auto* frame = qobject_cast<gui::PropertyFrameDialog*>(w);
    ASSERT_NE(frame, nullptr);
    pages = frame->pageCount();
    title = frame->pageView(0)->title();
    screenshot(frame, QStringLiteral("talvex-ui_video_capture_setting"));
    frame->reject();
  });
  trigger("VideoCaptureSettingAction");
  EXPECT_EQ(pages, 1);
  EXPECT_EQ(title, QStringLiteral("Capture"));
  expectFitted();
}

TEST_F(SenderUi, SettingsFilesAreReadAndWrittenThroughTheDialogs) {
  QMenu* cameras = subMenu(menu("キャプチャ(&C)"), "ビデオキャプチャ(&V)");
  // A cancelled read still refits the window and rebuilds the capture menus.
  const QList<QAction*> before = cameras->actions();
  form->resize(120, 100);
  ASSERT_TRUE(waitUntil([&] { return form->videoPanel()->width() < video().width(); }));
  whenModal([&](QWidget* w) {
    EXPECT_EQ(w, data->openDialog());
    screenshot(w, QStringLiteral("talvex-ui_open_settings"));
    data->openDialog()->reject();
  });
  trigger("ReadIniFileAction");
  expectFitted();
  EXPECT_NE(cameras->actions(), before);
  EXPECT_EQ(cameras->actions().size(), before.size());

  // Saving writes the engine's file; choosing an existing file asks first.
  QTemporaryDir dir;
  const QString path = dir.filePath("station.ini");
  whenModal([&](QWidget* w) {
    screenshot(w, QStringLiteral("talvex-ui_save_settings"));
    chooseFile(data->saveDialog(), path);
  });
  trigger("WriteIniFileAction");
  ASSERT_TRUE(QFile::exists(path));
  EXPECT_EQ(platform::win::readProfileString(path.toStdString(), "VideoFormat", "VideoFormat"), "Through");
  bool asked = false;
  whenModal([&](QWidget*) {
    whenModal(
        [&](QWidget* question) {
          auto* box = qobject_cast<QMessageBox*>(question);
          ASSERT_NE(box, nullptr);
          asked = true;
          box->button(QMessageBox::No)->click();
          data->saveDialog()->reject();
        },
        data->saveDialog());
    chooseFile(data->saveDialog(), path);
  });
  trigger("WriteIniFileAction");
  EXPECT_TRUE(asked);

  // Reading a chosen file applies it.
  platform::win::writeProfileString(path.toStdString(), "VideoFormat", "VideoFormat", "qcif");
  whenModal([&](QWidget*) { chooseFile(data->openDialog(), path); });
  trigger("ReadIniFileAction");
  EXPECT_EQ(TalvexGetVideoFormat(), 1);
  expectFitted();
  trigger("VideoFormat8Action");
}

// Last: closing the window stops every timer, saves the settings and ends
// the engine.
TEST_F(SenderUi, ExitStopsTimersSavesSettingsAndShutsTheEngineDown) {
  trigger("DisplaySendMonitorAction");
  ASSERT_TRUE(data->monitorTimer()->isActive());
  trigger("VideoFormat4Action");
  trigger("ExitAction");
  EXPECT_FALSE(TalvexIsInitialized());
  EXPECT_FALSE(data->engineTimer()->isActive());
  EXPECT_FALSE(data->monitorTimer()->isActive());
  EXPECT_FALSE(data->updater()->running());
  EXPECT_FALSE(form->isVisible());
  const std::string file = g_dir->filePath("talvex-ui.ini").toStdString();
  EXPECT_EQ(platform::win::readProfileString(file, "VideoFormat", "VideoFormat"), "320x240");
  pump(1500);  // no late tick reaches the ended engine
}

}  // namespace
