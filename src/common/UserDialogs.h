#pragma once
// Modal message boxes. Core code that has to tell the user something (a file that cannot be
// opened, a device that is not a modem, a firmware text that cannot be read) calls these; the
// window answers them with real message boxes, tests script them, the command line prints them.

#include <string>

enum class MsgType { Error, Warning, Information, Question, Plain };
// ProgramCancel: a confirmation whose OK reads "Program" (answered OK or Cancel); Cancel is its
// default, so that Enter pressed in haste writes nothing.
enum class MsgButtons { OK, YesNo, OKCancel, OKAbort, ProgramCancel };
enum class MsgResult { None, OK, Cancel, Yes, No, Abort };

class UserDialogs {
  public:
    virtual ~UserDialogs() = default;
    // Shows the box and returns the button pressed; None when it was closed without one.
    virtual MsgResult Show(MsgType type, const std::string& title, const std::string& text,
                           MsgButtons buttons) = 0;
};

// The dialogs in force. Without any set, boxes are written to standard error and answered
// with None, so no question is ever taken as confirmed.
UserDialogs& Dialogs();
// Installs dialogs (not owned); nullptr returns to the default.
void SetDialogs(UserDialogs* dialogs);

// The usual boxes: icon, its title ("Error", "Warning", "Information", "Confirm"; a plain box
// has none).
MsgResult ShowErrorBox(const std::string& text, MsgButtons buttons = MsgButtons::OK);
MsgResult ShowWarningBox(const std::string& text, MsgButtons buttons = MsgButtons::OK);
MsgResult ShowInformationBox(const std::string& text, MsgButtons buttons = MsgButtons::OK);
MsgResult ShowQuestionBox(const std::string& text, MsgButtons buttons);
MsgResult ShowPlainBox(const std::string& text);
