#pragma once
// The manual in a window of our own: the HTML manual installed beside the program, opened at the
// topic of a help context, with back, forward and contents. Used when no CHM viewer and file are
// at hand, which on Linux is the usual case.

#include <QString>
#include <QWidget>
#include <span>

class QTextBrowser;
class QToolButton;

// The help contexts the program's controls and windows carry.
namespace HelpContexts {
constexpr long MainWindow = 1;
constexpr long Ctcss = 12;
constexpr long PttTimeout = 13;
constexpr long ComPort = 1001;
constexpr long Connect = 1002;
constexpr long Modem = 1003;
constexpr long Frequencies = 1008;
constexpr long SaveToFlash = 1010;
constexpr long FrequencyStep = 1011;
constexpr long PowerLevel = 1012;
constexpr long TxTest = 1015;
constexpr long Advanced = 1016;
constexpr long Calibration = 1017;
constexpr long CutoutTemp = 1018;
constexpr long Band = 1019;
constexpr long Files = 1020;
constexpr long Alignment = 1021;
constexpr long History = 1022;
}  // namespace HelpContexts

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

    QTextBrowser* Browser = nullptr;
    QToolButton* Button_Back;
    QToolButton* Button_Forward;
    QToolButton* Button_Contents;

  protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(class QKeyEvent* event) override;

  private:
    // Links in a colour that reads on the palette's base.
    void ColourLinks();

    QString ManualFile;
};
