#pragma once

// The pictures of the start-up windows, drawn by the program itself: a schematic sewer
// for the splash window and a sketch of each window layout for the layout choice.

#include <QImage>

namespace kanvio {

inline constexpr int SplashPictureWidth = 227;
inline constexpr int SplashPictureHeight = 197;
inline constexpr int LayoutPictureSize = 112;

QImage SplashPicture();
// 0 three windows, 1 single window with the structure graphic, 2 single window with the
// observation list; any other value gives an empty image.
QImage LayoutPicture(int layoutMode);

} // namespace kanvio
