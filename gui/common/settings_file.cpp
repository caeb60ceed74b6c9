#include "gui/common/settings_file.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

namespace gui {

QString settingsFilePath(const QString& program, const QStringList& arguments) {
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a == QLatin1String("--ini") && i + 1 < arguments.size()) return arguments[i + 1];
    if (a.startsWith(QLatin1String("--ini="))) return a.mid(6);
  }
  QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (base.isEmpty() || QDir::isRelativePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
  return base + QLatin1Char('/') + program + QLatin1Char('/') + program + QStringLiteral(".ini");
}

bool saveSettingsAtomically(const QString& path, const std::function<bool(const std::string& file)>& write) {
  const QFileInfo info(path);
  if (!QDir().mkpath(info.absolutePath())) return false;
  const QString temp = info.absolutePath() +
                       QStringLiteral("/.%1.%2.tmp").arg(info.fileName()).arg(static_cast<qint64>(getpid()));
  QFile::remove(temp);
  // Keys the engine does not know stay in the file.
  if (info.exists() && !QFile::copy(path, temp)) return false;
  const std::string tempName = QFile::encodeName(temp).toStdString();
  if (!write(tempName) || !QFile::exists(temp)) {
    QFile::remove(temp);
    return false;
  }
  if (std::rename(tempName.c_str(), QFile::encodeName(info.absoluteFilePath()).constData()) != 0) {
    QFile::remove(temp);
    return false;
  }
  return true;
}

}  // namespace gui
