#pragma once
// The window's message boxes: QMessageBox with the icon and buttons asked for.

#include "common/UserDialogs.h"

class QWidget;

class TQtDialogs : public UserDialogs {
  public:
    MsgResult Show(MsgType type, const std::string& title, const std::string& text,
                   MsgButtons buttons) override;
};
