// The receiver program's tables: pointer shapes and pointer colours with
// their texts (codes as the engine takes them).
#pragma once

#include <QString>
#include <QStringList>

namespace receiver {

// Shapes 0..5 with the name of their action and their text.
struct PointerShape {
  const char* action;
  const char* label;
};
inline constexpr PointerShape kPointerShapes[] = {
    {"PointerShapeStandardAction", "標準"}, {"PointerShapeArrowAction", "矢"},
    {"PointerShapeCircleAction", "円"},     {"PointerShapeRectangleAction", "四角"},
    {"PointerShapeTargetAction", "照準"},   {"PointerShapeStarAction", "星"},
};
inline constexpr int kPointerShapeCount = 6;

// Colours 0..7; the colour boxes add a ninth, empty entry (index 8).
inline QStringList colourChoices() {
  return {QStringLiteral("黒"),   QStringLiteral("青"), QStringLiteral("緑"),
          QStringLiteral("水色"), QStringLiteral("赤"), QStringLiteral("紫"),
          QStringLiteral("黄色"), QStringLiteral("白"), QString()};
}

inline QStringList shapeChoices() {
  QStringList list;
  for (const PointerShape& s : kPointerShapes) list << QString::fromUtf8(s.label);
  return list;
}

}  // namespace receiver
