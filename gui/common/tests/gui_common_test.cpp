// The shared GUI pieces on a real X server: message boxes from the GUI thread
// and from other threads, the property frame over a real filter's pages,
// centring, the idle action updates and the settings file.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

#include "filters/ingrel/IIngrelControl.h"
#include "gui/common/action_updater.h"
#include "gui/common/engine_modal.h"
#include "gui/common/message_box_bridge.h"
#include "gui/common/property_frame_dialog.h"
#include "gui/common/property_page_view.h"
#include "gui/common/settings_file.h"
#include "gui/common/tests/qt_test_support.h"
#include "gui/common/window_fitter.h"
#include "netlab.h"
#include "platform/com/runtime.h"
#include "platform/media/guids.h"
#include "platform/win/private_profile.h"

using namespace guitest;
using platform::win::MessageBoxResult;
using platform::win::MessageBoxType;

namespace {

class GuiCommon : public ::testing::Test {
 protected:
  void SetUp() override {
    GUI_REQUIRE_DISPLAY();
    app();
  }
};

TEST_F(GuiCommon, MessageBoxesShowOnTheGuiThreadAndNeverBlockOtherThreads) {
  gui::MessageBoxBridge bridge;
  // From the GUI thread: a modal box with the engine's text and caption;
  // its answer is returned, and the engine counts as busy meanwhile.
  struct Case {
    MessageBoxType type;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton press;
    MessageBoxResult answer;
  } cases[] = {
      {MessageBoxType::Warning, QMessageBox::Warning, QMessageBox::Ok, MessageBoxResult::Ok},
      {MessageBoxType::Error, QMessageBox::Critical, QMessageBox::Ok, MessageBoxResult::Ok},
      {MessageBoxType::Question, QMessageBox::Question, QMessageBox::No, MessageBoxResult::No},
  };
  for (const Case& c : cases) {
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool busy = false;
    whenModal([&](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      ASSERT_NE(box, nullptr);
      text = box->text();
      title = box->windowTitle();
      icon = box->icon();
      busy = gui::engineModalOpen();
      box->button(c.press)->click();
    });
    EXPECT_EQ(platform::win::showMessageBox("Talvex", "Cannot Create Video Renderer.", c.type), c.answer);
    EXPECT_EQ(text, QStringLiteral("Cannot Create Video Renderer."));
    EXPECT_EQ(title, QStringLiteral("Talvex"));
    EXPECT_EQ(icon, c.icon);
    EXPECT_TRUE(busy);
    EXPECT_FALSE(gui::engineModalOpen());
  }

  // From another thread: the call returns at once, before the GUI thread has
  // run a single event; the box appears afterwards on the GUI thread.
  QMessageBox* shown = nullptr;
  QObject::connect(&bridge, &gui::MessageBoxBridge::boxShown, [&](QMessageBox* b) { shown = b; });
  std::atomic<bool> returned{false};
  MessageBoxResult answer = MessageBoxResult::Cancel;
  std::thread engineThread([&] {
    answer = platform::win::showMessageBox("Morvane", "Cannot Connect Filters.", MessageBoxType::Warning);
    returned = true;
  });
  engineThread.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(answer, MessageBoxResult::Ok);
  ASSERT_TRUE(waitUntil([&] { return shown != nullptr; }));
  EXPECT_EQ(shown->text(), QStringLiteral("Cannot Connect Filters."));
  EXPECT_TRUE(shown->isVisible());
  EXPECT_FALSE(gui::engineModalOpen());
  shown->close();
}

TEST_F(GuiCommon, PropertyFrameShowsAndAppliesTheFilterPages) {
  NETLAB_REQUIRE();
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  {
    gui::PropertyFrameBridge frames;
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(CoCreateInstance(CLSID_IngrelFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               filter.putVoid()),
              S_OK);
    ComPtr<IIngrelControl> control = filter.as<IIngrelControl>();
    ComPtr<ISpecifyPropertyPages> specify = filter.as<ISpecifyPropertyPages>();
    ASSERT_TRUE(control && specify);
    CAUUID pages{};
    ASSERT_EQ(specify->GetPages(&pages), S_OK);
    IUnknown* objects[] = {filter.get()};

    // Edit through every kind of field, then cancel: nothing reaches the filter.
    QStringList tabs;
    whenModal([&](QWidget* w) {
      auto* dialog = qobject_cast<gui::PropertyFrameDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      for (int i = 0; i < dialog->pageCount(); ++i) tabs << dialog->pageView(i)->title();
      auto* port = qobject_cast<QLineEdit*>(dialog->pageView(0)->editor(2));
      ASSERT_NE(port, nullptr);
      EXPECT_EQ(port->text(), QStringLiteral("8190"));
      port->selectAll();
      QTest::keyClicks(port, "8555");
      QPushButton* apply = dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Apply);
      EXPECT_TRUE(apply->isEnabled());
      screenshot(dialog, QStringLiteral("property_frame"));
      dialog->reject();
    });
    ASSERT_EQ(OleCreatePropertyFrame(0, 30, 30, "VideoClient(Main)", 1, objects, pages.cElems, pages.pElems),
              S_OK);
    EXPECT_EQ(tabs, (QStringList{QStringLiteral("通信設定"), QStringLiteral("出力メディアタイプ設定"),
                                 QStringLiteral("フレーム制御"), QStringLiteral("付加情報")}));
    uint16_t port = 0;
    control->GetPort(&port);
    EXPECT_EQ(port, 8190);

    // Edit text, radio and check fields and press OK: applied.
    BOOL resetBefore = FALSE;
    control->GetTimestampReset(&resetBefore);
    whenModal([&](QWidget* w) {
      auto* dialog = qobject_cast<gui::PropertyFrameDialog*>(w);
      ASSERT_NE(dialog, nullptr);
      auto* portEdit = qobject_cast<QLineEdit*>(dialog->pageView(0)->editor(2));
      portEdit->selectAll();
      QTest::keyClicks(portEdit, "8555");
      QWidget* kinds = dialog->pageView(1)->editor(1);
      auto radios = kinds->findChildren<QRadioButton*>();
      ASSERT_GE(radios.size(), 2);
      radios[1]->click();
      auto* check = qobject_cast<QCheckBox*>(dialog->pageView(2)->editor(1));
      ASSERT_NE(check, nullptr);
      check->click();
      // Monitors are refreshed by the page's timer.
      auto* streaming = qobject_cast<QLabel*>(dialog->pageView(0)->editor(6));
      ASSERT_NE(streaming, nullptr);
      EXPECT_TRUE(waitUntil([&] { return !streaming->text().isEmpty(); }));
      dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_EQ(OleCreatePropertyFrame(0, 30, 30, nullptr, 1, objects, pages.cElems, pages.pElems), S_OK);
    control->GetPort(&port);
    EXPECT_EQ(port, 8555);
    int kind = 0;
    control->GetOutputMediaKind(&kind);
    EXPECT_EQ(kind, 1);
    BOOL reset = FALSE;
    control->GetTimestampReset(&reset);
    EXPECT_NE(bool(reset), bool(resetBefore));

    // Off the GUI thread the frame is refused, never shown.
    HRESULT offThread = S_OK;
    std::thread([&] {
      offThread = OleCreatePropertyFrame(0, 30, 30, nullptr, 1, objects, pages.cElems, pages.pElems);
    }).join();
    EXPECT_EQ(offThread, E_UNEXPECTED);
    CoTaskMemFree(pages.pElems);
  }
  CoUninitialize();
}

TEST_F(GuiCommon, FittingCentresTheVideo) {
  // Centring, from the rule: half the spare room, 0 when the video is larger.
  struct Centre {
    QSize panel, video;
    QPoint at;
  } centres[] = {
      {{640, 480}, {320, 240}, {160, 120}}, {{641, 480}, {320, 241}, {160, 119}},
      {{320, 240}, {320, 240}, {0, 0}},     {{100, 100}, {320, 240}, {0, 0}},
      {{400, 100}, {320, 240}, {40, 0}},
  };
  for (const Centre& c : centres) EXPECT_EQ(gui::WindowFitter::centredPosition(c.panel, c.video), c.at);

  // The window's growth is checked through the engines in the programs' tests.
}

TEST_F(GuiCommon, ActionsUpdateBeforeMenusOpenAndOnTheIdleTimer) {
  QMainWindow window;
  QMenu* menu = window.menuBar()->addMenu(QStringLiteral("解像度(&R)"));
  QAction* action = menu->addAction(QStringLiteral("CIF"));
  action->setCheckable(true);
  bool ready = false, marked = true;
  int updates = 0;
  gui::ActionUpdater updater([&] { return ready; });
  updater.add(action, [&](QAction* a) {
    ++updates;
    a->setChecked(marked);
  });
  updater.watch(menu);
  window.show();
  // Not before the engine is ready.
  emit menu->aboutToShow();
  EXPECT_EQ(updates, 0);
  ready = true;
  emit menu->aboutToShow();
  EXPECT_EQ(updates, 1);
  EXPECT_TRUE(action->isChecked());
  // Not while the engine shows a modal window from inside a call.
  {
    gui::EngineModalScope modal;
    updater.updateAll();
    EXPECT_EQ(updates, 1);
  }
  marked = false;
  updater.start(20);
  EXPECT_TRUE(waitUntil([&] { return !action->isChecked(); }));
  updater.stop();
}

TEST_F(GuiCommon, SettingsFileIsFoundAndSavedWhole) {
  QTemporaryDir dir;
  qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
  struct PathCase {
    QStringList args;
    QString path;
  } paths[] = {
      {{"talvex-ui"}, dir.path() + "/talvex-ui/talvex-ui.ini"},
      {{"talvex-ui", "--ini", "/tmp/a.ini"}, "/tmp/a.ini"},
      {{"talvex-ui", "--ini=/tmp/b.ini"}, "/tmp/b.ini"},
  };
  for (const PathCase& c : paths) EXPECT_EQ(gui::settingsFilePath("talvex-ui", c.args), c.path);
  qputenv("XDG_CONFIG_HOME", "relative/dir");
  EXPECT_EQ(gui::settingsFilePath("morvane-ui", {"morvane-ui"}),
            QDir::homePath() + "/.config/morvane-ui/morvane-ui.ini");

  // The folder is made; keys the writer does not touch stay; a failing
  // writer leaves the old file as it was and no temporary file behind.
  const QString path = dir.path() + "/talvex-ui/talvex-ui.ini";
  const std::string file = path.toStdString();
  ASSERT_TRUE(gui::saveSettingsAtomically(path, [](const std::string& f) {
    return platform::win::writeProfileString(f, "Other", "Key", "kept");
  }));
  ASSERT_TRUE(gui::saveSettingsAtomically(path, [](const std::string& f) {
    return platform::win::writeProfileString(f, "VideoFormat", "VideoFormat", "CIF");
  }));
  EXPECT_EQ(platform::win::readProfileString(file, "Other", "Key"), "kept");
  EXPECT_EQ(platform::win::readProfileString(file, "VideoFormat", "VideoFormat"), "CIF");
  EXPECT_FALSE(gui::saveSettingsAtomically(path, [](const std::string& f) {
    platform::win::writeProfileString(f, "VideoFormat", "VideoFormat", "QCIF");
    return false;
  }));
  EXPECT_EQ(platform::win::readProfileString(file, "VideoFormat", "VideoFormat"), "CIF");
  EXPECT_EQ(QDir(dir.path() + "/talvex-ui").entryList(QDir::Files | QDir::Hidden).size(), 1);
}

}  // namespace
