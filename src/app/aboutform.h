#pragma once
// TAboutFrm: the program's name, what it is for and a picture; OK closes it.
#include <QDialog>
#include <QPixmap>

namespace zevi {

// 96 x 96, drawn here rather than loaded: a globe with a track and a flag.
QPixmap AboutPicture();

class TAboutFrm : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutFrm(QWidget* parent = nullptr);

  // The close box gives OK as well.
  void reject() override { accept(); }
};

}  // namespace zevi
