#include "gui/common/action_updater.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include "gui/common/engine_modal.h"

namespace gui {

ActionUpdater::ActionUpdater(std::function<bool()> engineReady, QObject* parent)
    : QObject(parent), engineReady_(std::move(engineReady)) {
  connect(&timer_, &QTimer::timeout, this, &ActionUpdater::updateAll);
}

void ActionUpdater::add(QAction* action, std::function<void(QAction*)> update) {
  entries_.push_back({action, std::move(update)});
  connect(action, &QObject::destroyed, this, [this, action] {
    std::erase_if(entries_, [action](const Entry& e) { return e.action == action; });
  });
}

void ActionUpdater::watch(QMenu* menu) {
  connect(menu, &QMenu::aboutToShow, this, &ActionUpdater::updateAll);
}

void ActionUpdater::updateAll() {
  if (engineModalOpen() || (engineReady_ && !engineReady_())) return;
  for (Entry& e : entries_) e.update(e.action);
}

void ActionUpdater::start(int intervalMs) {
  timer_.start(intervalMs);
}

void ActionUpdater::stop() {
  timer_.stop();
}

}  // namespace gui
