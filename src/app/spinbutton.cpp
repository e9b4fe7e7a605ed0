#include "spinbutton.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace zevi {

TSpinButton::TSpinButton(QWidget* parent) : QWidget(parent) {
  up_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_ = new QToolButton(this);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    button->setIconSize(QSize(7, 7));
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(up_);
  layout->addWidget(down_);
  connect(up_, &QToolButton::clicked, this, &TSpinButton::upClick);
  connect(down_, &QToolButton::clicked, this, &TSpinButton::downClick);
}

}  // namespace zevi
