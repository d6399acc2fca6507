#pragma once
// Message boxes on a terminal: every box goes to standard error; a question is answered by
// --yes, or by the user at the terminal. With neither, nothing is taken as confirmed.

#include <istream>
#include <ostream>

#include "common/UserDialogs.h"

class TerminalDialogs : public UserDialogs {
  public:
    // interactive: `in` is a terminal the user can answer on.
    TerminalDialogs(std::istream& in, std::ostream& err, bool interactive, bool assumeYes);
    ~TerminalDialogs() override;

    MsgResult Show(MsgType type, const std::string& title, const std::string& text,
                   MsgButtons buttons) override;

    // Whether a question went unanswered for want of a terminal (so the caller can say why).
    bool Unanswerable() const { return unanswerable_; }

  private:
    std::istream& in_;
    std::ostream& err_;
    bool interactive_;
    bool assumeYes_;
    bool unanswerable_ = false;
};
