#pragma once
// Windows kept within a small or scaled screen (a 1280 by 800 one at scale
// two has room for 640 by 400).
#include <QSize>

class QWidget;

namespace zevi {

// `size` cut to the screen `near` is on (the primary one without it), with a
// tenth of it left for the window manager's frame.
QSize BoundedToScreen(QSize size, const QWidget* near);

}  // namespace zevi
