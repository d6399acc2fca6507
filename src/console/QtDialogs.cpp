#include "console/QtDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <vector>

MsgResult TQtDialogs::Show(MsgType type, const std::string& title, const std::string& text,
                           MsgButtons buttons) {
    QMessageBox box(QApplication::activeWindow());
    switch (type) {
        case MsgType::Error:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgType::Warning:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgType::Information:
            box.setIcon(QMessageBox::Information);
            break;
        case MsgType::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgType::Plain:
            box.setIcon(QMessageBox::NoIcon);
            break;
    }
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text).replace("\r\n", "\n"));

    struct Choice {
        QAbstractButton* button;
        MsgResult result;
    };
    std::vector<Choice> choices;
    auto add = [&](QMessageBox::StandardButton b, MsgResult r) {
        choices.push_back({box.addButton(b), r});
    };
    QAbstractButton* escape = nullptr;
    switch (buttons) {
        case MsgButtons::OK:
            add(QMessageBox::Ok, MsgResult::OK);
            break;
        case MsgButtons::YesNo:
            add(QMessageBox::Yes, MsgResult::Yes);
            add(QMessageBox::No, MsgResult::No);
            escape = choices.back().button;
            break;
        case MsgButtons::OKCancel:
            add(QMessageBox::Ok, MsgResult::OK);
            add(QMessageBox::Cancel, MsgResult::Cancel);
            escape = choices.back().button;
            break;
        case MsgButtons::OKAbort:
            add(QMessageBox::Ok, MsgResult::OK);
            add(QMessageBox::Abort, MsgResult::Abort);
            escape = choices.back().button;
            break;
        case MsgButtons::ProgramCancel:
            choices.push_back({box.addButton("Program", QMessageBox::AcceptRole), MsgResult::OK});
            add(QMessageBox::Cancel, MsgResult::Cancel);
            escape = choices.back().button;
            break;
    }
    // Closing a box is never its OK: without a cancelling button it answers nothing.
    if (escape == nullptr) {
        escape = box.addButton(QMessageBox::Close);
        escape->hide();
    }
    box.setEscapeButton(escape);
    // Programming a radio is confirmed by choosing Program, never by Enter alone.
    box.setDefaultButton(qobject_cast<QPushButton*>(
        buttons == MsgButtons::ProgramCancel ? escape : choices.front().button));
    box.exec();
    for (const Choice& c : choices)
        if (box.clickedButton() == c.button)
            return c.result;
    return MsgResult::None;
}
