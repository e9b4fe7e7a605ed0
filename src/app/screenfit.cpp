#include "screenfit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace zevi {

QSize BoundedToScreen(QSize size, const QWidget* near) {
  const QScreen* screen = near != nullptr ? near->screen() : QGuiApplication::primaryScreen();
  if (screen == nullptr) return size;
  return size.boundedTo(screen->availableGeometry().size() * 0.9);
}

}  // namespace zevi
