#pragma once
// What the files of the main window share: running a command, the names of
// kind items and the sizes of the option panel.
#include <QString>
#include <exception>
#include <string>

#include "mainform.h"
#include "qtui.h"
#include "settings/userinterface.h"

namespace zevi {

inline constexpr int kFontPixels = 12;

inline QString ObjectNameOfCode(const char* prefix, const std::string& code) {
  QString name = QString::fromLatin1(prefix);
  for (char c : code) name += c == ' ' ? QChar('_') : QChar::fromLatin1(c);
  return name;
}

template <class Command>
void TFileconvForm::Run(Command&& command) {
  try {
    command();
  } catch (const std::exception& failure) {
    ui_->ShowMessage(failure.what());
  }
  if (ownUi_) ownUi_->EndProgress();
  ShowAll();
}

}  // namespace zevi
