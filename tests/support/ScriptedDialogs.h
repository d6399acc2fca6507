#pragma once
// Message boxes for tests: every box shown is recorded, and answered from a queue of scripted
// answers (None when the queue is empty, as if the box was closed).

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "common/UserDialogs.h"

struct ShownBox {
    MsgType Type;
    std::string Title;
    std::string Text;
    MsgButtons Buttons;
};

class ScriptedDialogs : public UserDialogs {
  public:
    ScriptedDialogs() { SetDialogs(this); }
    ~ScriptedDialogs() override { SetDialogs(nullptr); }

    MsgResult Show(MsgType type, const std::string& title, const std::string& text,
                   MsgButtons buttons) override {
        Shown.push_back({type, title, text, buttons});
        if (OnShow)
            OnShow(Shown.back());
        if (Answers.empty())
            return MsgResult::None;
        MsgResult r = Answers.front();
        Answers.pop_front();
        return r;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& b : Shown)
            t.push_back(b.Text);
        return t;
    }

    std::deque<MsgResult> Answers;
    // Runs while a box is open, as the timer's refreshes do (another radio plugged in, say).
    std::function<void(const ShownBox&)> OnShow;
    std::vector<ShownBox> Shown;
};
