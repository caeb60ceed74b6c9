// Where a program keeps its settings file, and how it saves it.
//
// The file is "--ini FILE" (or "--ini=FILE") when given, else
// $XDG_CONFIG_HOME/<program>/<program>.ini, with ~/.config in place of an
// unset or relative XDG_CONFIG_HOME.
//
// The engines write their files key by key; to keep the file whole even if
// the program dies half-way, saving lets the engine write a copy next to the
// file and then renames the copy over it in one step.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

namespace gui {

QString settingsFilePath(const QString& program, const QStringList& arguments);

// Copies the current file (when there is one) to a temporary file in the
// same folder, lets write() update that copy, and renames it over the file.
// The folder is made when missing. False (the old file left as it was) when
// the folder cannot be made, write() fails or the rename fails.
bool saveSettingsAtomically(const QString& path, const std::function<bool(const std::string& file)>& write);

}  // namespace gui
