// Reading the texts of menus and dialogs for the table-driven text tests.
#pragma once

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStringList>

namespace guitest {

// The items of a menu in order: the text, "-" for a separator, a submenu as
// its title followed by ">".
inline QStringList menuItems(const QMenu* menu) {
  QStringList items;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator())
      items << QStringLiteral("-");
    else if (a->menu())
      items << a->text() + QStringLiteral(">");
    else
      items << a->text();
  }
  return items;
}

inline QStringList menuTitles(const QMenuBar* bar) {
  QStringList titles;
  for (QAction* a : bar->actions()) titles << a->text();
  return titles;
}

inline QMenu* subMenu(const QMenu* menu, const QString& title) {
  for (QAction* a : menu->actions())
    if (a->menu() && a->text() == title) return a->menu();
  return nullptr;
}

inline QMenu* barMenu(const QMenuBar* bar, const QString& title) {
  for (QAction* a : bar->actions())
    if (a->menu() && a->text() == title) return a->menu();
  return nullptr;
}

inline QStringList comboItems(const QComboBox* box) {
  QStringList items;
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items;
}

// The texts of the labels directly inside a widget, in layout order.
inline QStringList labelTexts(const QWidget* w) {
  QStringList texts;
  for (QLabel* l : w->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) texts << l->text();
  return texts;
}

inline QStringList groupTitles(const QWidget* w) {
  QStringList titles;
  for (QGroupBox* g : w->findChildren<QGroupBox*>()) titles << g->title();
  return titles;
}

// Picks an entry of a combo box as the user does (the box shows it, then
// reports the choice).
inline void choose(QComboBox* box, int index) {
  box->setCurrentIndex(index);
  emit box->activated(index);
}

// The checked items of a menu.
inline QStringList checkedItems(const QMenu* menu) {
  QStringList items;
  for (QAction* a : menu->actions())
    if (a->isChecked()) items << a->text();
  return items;
}

}  // namespace guitest
