#pragma once
// Window positions are kept in twips, as the windows were designed: 15 twips
// a pixel on a 96-dpi screen, scaled by the screen's logical dpi.

#include <QRect>
#include <QWidget>

namespace tavrin {

// 1440 twips an inch: 15 twips a pixel at 96 dpi, 10 at 144 dpi.
inline int twipsToPixels(int twips, double dpi)
{
    return static_cast<int>(twips * dpi / 1440.0 + 0.5);
}

inline int twipsToPixels(int twips, const QWidget* w = nullptr)
{
    return twipsToPixels(twips, w ? static_cast<double>(w->logicalDpiX()) : 96.0);
}

inline QRect twipsRect(int left, int top, int width, int height, const QWidget* w = nullptr)
{
    return QRect(twipsToPixels(left, w), twipsToPixels(top, w), twipsToPixels(width, w),
                 twipsToPixels(height, w));
}

// A blue-green-red colour value as a QColor.
inline QColor colorFromBgr(unsigned bgr)
{
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

} // namespace tavrin
