#include "widgets/HelpWindow.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr const char* kMainWindowAnchor = "main-window";
constexpr const char* kContentsAnchor = "top";

constexpr THelpTopic kTopics[] = {
    {1, kMainWindowAnchor},   {1008, "frequencies"}, {1010, "save-to-flash"},
    {1011, "frequency-step"}, {12, "ctcss"},         {13, "ptt-timeout"},
    {1015, "tx-test"},        {1016, "advanced"},
};

QToolButton* MakeButton(QWidget* parent, const QString& text, QStyle::StandardPixmap icon,
                        const QKeySequence& key, const char* name) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setShortcut(key);
    button->setAccessibleName(text);
    return button;
}

}  // namespace

std::span<const THelpTopic> HelpTopics() {
    return kTopics;
}

QString HelpTopicAnchor(long context) {
    for (const THelpTopic& topic : kTopics) {
        if (topic.Context == context)
            return topic.Anchor;
    }
    return kMainWindowAnchor;
}

QString ManualFileFor(const QString& helpFile) {
    const QFileInfo info(helpFile.trimmed());
    return info.dir().filePath(info.completeBaseName() + ".html");
}

THelpWindow::THelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("HelpWindow");
    setWindowTitle("RM7UX Radio Config Help");
    Button_Back = MakeButton(this, "Back", QStyle::SP_ArrowBack, QKeySequence::Back, "Button_Back");
    Button_Forward = MakeButton(this, "Forward", QStyle::SP_ArrowForward, QKeySequence::Forward,
                                "Button_Forward");
    Button_Contents = MakeButton(this, "Contents", QStyle::SP_FileDialogContentsView,
                                 QKeySequence(Qt::ALT | Qt::Key_Home), "Button_Contents");
    Browser = new QTextBrowser(this);
    Browser->setObjectName("Browser");
    Browser->setOpenExternalLinks(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button_Back);
    buttons->addWidget(Button_Forward);
    buttons->addWidget(Button_Contents);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(Browser);

    Button_Back->setEnabled(false);
    Button_Forward->setEnabled(false);
    connect(Button_Back, &QToolButton::clicked, Browser, &QTextBrowser::backward);
    connect(Button_Forward, &QToolButton::clicked, Browser, &QTextBrowser::forward);
    connect(Button_Contents, &QToolButton::clicked, this, &THelpWindow::ShowContents);
    connect(Browser, &QTextBrowser::backwardAvailable, Button_Back, &QWidget::setEnabled);
    connect(Browser, &QTextBrowser::forwardAvailable, Button_Forward, &QWidget::setEnabled);
    // Wide enough for the manual's tables at the user's font, in text lines rather than pixels.
    const int line = fontMetrics().height();
    QSize size(line * 36, line * 40);
    if (const QScreen* s = screen(); s != nullptr)
        size = size.boundedTo(s->availableSize() * 9 / 10);
    resize(size);
}

void THelpWindow::ShowTopic(const QString& manualFile, const QString& anchor) {
    ManualFile = manualFile;
    if (QFileInfo(manualFile).isFile()) {
        QUrl url = QUrl::fromLocalFile(manualFile);
        url.setFragment(anchor.isEmpty() ? QString(kContentsAnchor) : anchor);
        Browser->setSource(url);
    } else {
        // Said in the window rather than not at all: a help key that does nothing looks broken.
        Browser->setHtml(
            QString("<h2>The manual is missing</h2><p>It should be at <code>%1</code>. "
                    "Reinstalling the program puts it back.</p>")
                .arg(manualFile.toHtmlEscaped()));
    }
    show();
    raise();
    activateWindow();
}

void THelpWindow::ShowContents() {
    ShowTopic(ManualFile, kContentsAnchor);
}
