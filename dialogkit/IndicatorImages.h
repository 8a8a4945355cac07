#pragma once

#include <QColor>
#include <QPixmap>

// The alarm indicator pictures, 32 by 32 pixels. State 0 is enabled and
// off, 1 on, 2 disabled.
namespace indicator {

inline constexpr int Size = 32;

inline const QColor LightBlue{166, 202, 240};
inline const QColor Black{4, 4, 4};
inline const QColor Orange{255, 102, 0};
inline const QColor Red{255, 51, 102};
inline const QColor LightGrey{192, 192, 192};
inline const QColor DarkGrey{134, 134, 134};

QPixmap LedImage(int state);
QPixmap BeeperImage(int state);

} // namespace indicator
