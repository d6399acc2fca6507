#include "common/UserDialogs.h"

#include <cstdio>

namespace {

class StderrDialogs : public UserDialogs {
  public:
    MsgResult Show(MsgType, const std::string& title, const std::string& text,
                   MsgButtons) override {
        std::fprintf(stderr, "%s%s%s\n", title.c_str(), title.empty() ? "" : ": ", text.c_str());
        return MsgResult::None;
    }
};

StderrDialogs g_stderrDialogs;
UserDialogs* g_dialogs = nullptr;

}  // namespace

UserDialogs& Dialogs() {
    return g_dialogs != nullptr ? *g_dialogs : g_stderrDialogs;
}

void SetDialogs(UserDialogs* dialogs) {
    g_dialogs = dialogs;
}

MsgResult ShowErrorBox(const std::string& text, MsgButtons buttons) {
    return Dialogs().Show(MsgType::Error, "Error", text, buttons);
}

MsgResult ShowWarningBox(const std::string& text, MsgButtons buttons) {
    return Dialogs().Show(MsgType::Warning, "Warning", text, buttons);
}

MsgResult ShowInformationBox(const std::string& text, MsgButtons buttons) {
    return Dialogs().Show(MsgType::Information, "Information", text, buttons);
}

MsgResult ShowQuestionBox(const std::string& text, MsgButtons buttons) {
    return Dialogs().Show(MsgType::Question, "Confirm", text, buttons);
}

MsgResult ShowPlainBox(const std::string& text) {
    return Dialogs().Show(MsgType::Plain, "", text, MsgButtons::OK);
}
