#include "aboutform.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

#include "export/format.h"

namespace zevi {

QPixmap AboutPicture() {
  QPixmap picture(96, 96);
  picture.fill(QColor(0xC0, 0xC0, 0xC0));
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  // Globe with a grid of latitudes and meridians.
  QRectF globe(8, 10, 72, 72);
  p.setPen(QPen(QColor(0x00, 0x00, 0x80), 2));
  p.setBrush(QColor(0x00, 0x80, 0x80));
  p.drawEllipse(globe);
  p.setPen(QPen(QColor(0x00, 0xFF, 0xFF), 1));
  p.setBrush(Qt::NoBrush);
  for (int w : {24, 48}) p.drawEllipse(QRectF(44 - w / 2.0, 10, w, 72));
  p.drawLine(QPointF(44, 10), QPointF(44, 82));
  for (int dy : {-22, 0, 22}) {
    double half = std::sqrt(36.0 * 36.0 - dy * dy);
    p.drawLine(QPointF(44 - half, 46 + dy), QPointF(44 + half, 46 + dy));
  }
  // A track of fixes across it.
  QPainterPath track;
  track.moveTo(20, 66);
  track.cubicTo(30, 40, 52, 70, 66, 30);
  p.setPen(QPen(QColor(0xFF, 0xFF, 0x00), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawPath(track);
  p.setPen(QPen(QColor(0x80, 0x00, 0x00), 1));
  p.setBrush(QColor(0xFF, 0x00, 0x00));
  for (QPointF fix : {QPointF(20, 66), QPointF(36, 54), QPointF(52, 50)}) p.drawEllipse(fix, 3, 3);
  // The waypoint flag at the end of the track.
  p.setPen(QPen(Qt::black, 2));
  p.drawLine(QPointF(66, 30), QPointF(66, 6));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xFF, 0x00, 0x00));
  p.drawPolygon(QPolygonF({QPointF(67, 6), QPointF(88, 12), QPointF(67, 19)}));
  return picture;
}

TAboutFrm::TAboutFrm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("AboutFrm"));
  setWindowTitle(QStringLiteral("About"));
  auto* heading = new QLabel(QStringLiteral("Vozirado Import File Converter"), this);
  QFont bold = heading->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.2);
  heading->setFont(bold);
  heading->setAlignment(Qt::AlignCenter);
  auto* name = new QLabel(QStringLiteral("ZEVI Import File Converter"), this);
  name->setObjectName(QStringLiteral("lblProgramName"));
  name->setAlignment(Qt::AlignCenter);
  auto* version = new QLabel(QStringLiteral("Version ") + QString::fromLatin1(kProgramVersion), this);
  version->setObjectName(QStringLiteral("lblVersion"));
  version->setAlignment(Qt::AlignCenter);
  auto* line = new QLabel(QStringLiteral("A program to help with the import of GPS data into Vozirado"), this);
  line->setAlignment(Qt::AlignCenter);
  line->setWordWrap(true);
  line->setFixedWidth(220);
  auto* picture = new QLabel(this);
  picture->setObjectName(QStringLiteral("Image1"));
  picture->setPixmap(AboutPicture());
  picture->setFixedSize(96, 96);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(heading);
  texts->addSpacing(8);
  texts->addWidget(line);
  texts->addSpacing(8);
  texts->addWidget(name);
  texts->addWidget(version);
  texts->addStretch();
  auto* top = new QHBoxLayout;
  top->addWidget(picture, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(10);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace zevi
