#include "fbform.h"

#include <algorithm>

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "cp1252.h"
#include "screenfit.h"
#include "source/breaks.h"

namespace zevi {
namespace {

constexpr const char* kRulerTens =
    "0        1         2         3         4         5         6         7         8";
// A frameless line edit draws its text this far in; the labels above and
// below are indented the same, so a mark stands under its character.
constexpr int kLineEditTextIndent = 2;

// What matters is that every character is as wide as every other, so a mark
// stands under its character; the fonts' own pitch flags are not reliable.
bool AllCharactersAlike(const QFont& font) {
  QFontMetrics metrics(font);
  return metrics.horizontalAdvance(QChar('i')) == metrics.horizontalAdvance(QChar('W'));
}

QFont FixedPitchFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (const char* family : {"DejaVu Sans Mono", "Liberation Mono", "Courier New", "monospace"}) {
    if (AllCharactersAlike(font)) break;
    font.setFamily(QString::fromLatin1(family));
    font.setStyleHint(QFont::TypeWriter);
  }
  return font;
}

QLabel* FixedPitchLabel(const QString& text, const QFont& font, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setTextFormat(Qt::PlainText);
  label->setFont(font);
  label->setIndent(0);
  label->setMargin(0);
  label->setContentsMargins(kLineEditTextIndent, 0, 0, 0);
  return label;
}

}  // namespace

Tfbform::Tfbform(const BreakTable& breaks, std::string sample, QWidget* parent)
    : QDialog(parent), breaks_(breaks), sample_(std::move(sample)) {
  setObjectName(QStringLiteral("fbform"));
  setWindowTitle(QStringLiteral("Column Position Break Dialog"));
  QFont fixed = FixedPitchFont();

  auto* hint = new QLabel(
      QStringLiteral("To break line at set column positions add '^' characters to edit box"), this);
  hint->setWordWrap(true);

  auto* sheet = new QWidget;
  sampletxt_ = FixedPitchLabel(QString(), fixed, sheet);
  sampletxt_->setObjectName(QStringLiteral("sampletxt"));
  ebbreaks_ = new QLineEdit(sheet);
  ebbreaks_->setObjectName(QStringLiteral("ebbreaks"));
  ebbreaks_->setFont(fixed);
  ebbreaks_->setFrame(false);
  ebbreaks_->setTextMargins(0, 0, 0, 0);
  auto* tens = FixedPitchLabel(QString::fromLatin1(kRulerTens), fixed, sheet);
  auto* units = FixedPitchLabel(QString::fromLatin1(kRulerDigits), fixed, sheet);

  // Wide enough for the whole mark line and some room to type, so the edit
  // never scrolls its text away from the sample above it.
  int characters = std::max<int>(static_cast<int>(sample_.size()) + 1, 80) + 8;
  int width = QFontMetrics(fixed).horizontalAdvance(QChar('0')) * characters + 2 * kLineEditTextIndent;
  ebbreaks_->setFixedWidth(width);
  auto* column = new QVBoxLayout(sheet);
  column->setSpacing(0);
  column->setContentsMargins(4, 4, 4, 4);
  column->addWidget(sampletxt_);
  column->addWidget(ebbreaks_);
  column->addSpacing(2);
  column->addWidget(tens);
  column->addWidget(units);
  sheet->setFixedWidth(width + 8);

  auto* scroll = new QScrollArea(this);
  scroll->setWidget(sheet);
  scroll->setWidgetResizable(false);
  scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // No wider than the screen leaves room for, a small or scaled one too: the
  // sheet scrolls instead.
  const int widest = BoundedToScreen(QSize(760, 0), parent).width() - 24;
  scroll->setMinimumWidth(std::max(std::min(width + 12, widest), 120));
  scroll->setFixedHeight(sheet->sizeHint().height() + 24);

  okbtn_ = new QPushButton(QStringLiteral("OK"), this);
  okbtn_->setObjectName(QStringLiteral("OKbtn"));
  okbtn_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okbtn_);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(hint);
  layout->addWidget(scroll);
  layout->addLayout(buttons);

  connect(ebbreaks_, &QLineEdit::textEdited, this, &Tfbform::ebbreaksChange);
  connect(okbtn_, &QPushButton::clicked, this, &Tfbform::OKbtnClick);
  FormShow();
}

void Tfbform::FormShow() {
  sampletxt_->setText(FromCp1252(sample_));
  ebbreaks_->setText(FromCp1252(BuildMarkLine(breaks_, sample_.size())));
  ebbreaks_->setCursorPosition(0);
  changed_ = false;
}

void Tfbform::ebbreaksChange() { changed_ = true; }

std::string Tfbform::MarkLine() const { return ToCp1252(ebbreaks_->text()); }

void Tfbform::OKbtnClick() { accept(); }

}  // namespace zevi
