#pragma once
// A pair of arrow buttons, up over down, beside an edit or a label: the
// spin button of the classic toolkits, which Qt only has inside a spin box.
#include <QWidget>

class QToolButton;

namespace zevi {

class TSpinButton : public QWidget {
  Q_OBJECT

 public:
  explicit TSpinButton(QWidget* parent = nullptr);
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 signals:
  void upClick();
  void downClick();

 private:
  QToolButton* up_;
  QToolButton* down_;
};

}  // namespace zevi
