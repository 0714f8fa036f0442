#pragma once

// The 32 x 32 pictures of the player control buttons, drawn by the program itself, by
// image number: 0 play, 1 pause, 2 stop, 3 skip back, 4 skip forward, 5 save image,
// 6 print image, 7 time correction, 8 picture adjustment, 9 off.

#include <QIcon>

namespace kanvio {

constexpr int kSteeringIconCount = 10;
QIcon SteeringIcon(int imageNumber);

} // namespace kanvio
