#pragma once
// The manual in a window of our own: the HTML manual installed beside the program, opened at the
// topic of a help context, with back, forward and contents. Used when no CHM viewer and file are
// at hand, which on Linux is the usual case.

#include <QString>
#include <QWidget>
#include <span>

class QTextBrowser;
class QToolButton;

// Which part of the manual a help context opens (the anchor's name).
struct THelpTopic {
    long Context;
    const char* Anchor;
};
// One row per help context the window's controls carry.
std::span<const THelpTopic> HelpTopics();
// The anchor for `context`; the main window's topic for 0 and for contexts without a topic.
QString HelpTopicAnchor(long context);

// The manual that stands beside a compiled help file: the same folder and name, ".html".
QString ManualFileFor(const QString& helpFile);

class THelpWindow : public QWidget {
    Q_OBJECT
  public:
    explicit THelpWindow(QWidget* parent = nullptr);

    // Shows `manualFile` at `anchor` (the contents when empty), and the window in front. A missing
    // manual shows where it was looked for instead.
    void ShowTopic(const QString& manualFile, const QString& anchor);
    void ShowContents();

    QTextBrowser* Browser;
    QToolButton* Button_Back;
    QToolButton* Button_Forward;
    QToolButton* Button_Contents;

  private:
    QString ManualFile;
};
