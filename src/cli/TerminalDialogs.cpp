#include "cli/TerminalDialogs.h"

#include <string>

#include "cli/TerminalText.h"
#include "common/StrUtils.h"

namespace {

MsgResult Yes(MsgButtons buttons) {
    return buttons == MsgButtons::YesNo ? MsgResult::Yes : MsgResult::OK;
}

MsgResult No(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::YesNo:
            return MsgResult::No;
        case MsgButtons::OKAbort:
            return MsgResult::Abort;
        default:
            return MsgResult::Cancel;
    }
}

}  // namespace

TerminalDialogs::TerminalDialogs(std::istream& in, std::ostream& err, bool interactive,
                                 bool assumeYes)
    : in_(in), err_(err), interactive_(interactive), assumeYes_(assumeYes) {
    SetDialogs(this);
}

TerminalDialogs::~TerminalDialogs() {
    SetDialogs(nullptr);
}

MsgResult TerminalDialogs::Show(MsgType, const std::string& title, const std::string& text,
                                MsgButtons buttons) {
    err_ << (title.empty() ? "" : title + ": ") << TerminalSafeLines(text) << "\n";
    if (buttons == MsgButtons::OK) {
        err_.flush();
        return MsgResult::OK;
    }
    if (assumeYes_) {
        err_ << "(confirmed by --yes)\n";
        err_.flush();
        return Yes(buttons);
    }
    if (!interactive_) {
        unanswerable_ = true;
        err_ << "(no terminal to ask on: pass --yes to confirm)\n";
        err_.flush();
        return MsgResult::None;
    }
    err_ << (buttons == MsgButtons::YesNo ? "Yes or no? [y/N] " : "Proceed? [y/N] ");
    err_.flush();
    std::string answer;
    if (!std::getline(in_, answer))
        return MsgResult::None;
    answer = LowerCase(Trim(answer));
    return answer == "y" || answer == "yes" ? Yes(buttons) : No(buttons);
}
