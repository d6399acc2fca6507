#include "widgets/HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "widgets/Readable.h"

namespace {

constexpr const char* kMainWindowAnchor = "main-window";
constexpr const char* kContentsAnchor = "top";

using namespace HelpContexts;

constexpr THelpTopic kTopics[] = {
    {MainWindow, kMainWindowAnchor},
    {ComPort, "ports"},
    {Connect, "connect"},
    {Modem, "modem"},
    {Frequencies, "frequencies"},
    {FrequencyStep, "frequency-step"},
    {PowerLevel, "power-level"},
    {PttTimeout, "ptt-timeout"},
    {Ctcss, "ctcss"},
    {TxTest, "tx-test"},
    {SaveToFlash, "save-to-flash"},
    {Advanced, "advanced"},
    {Calibration, "calibration"},
    {CutoutTemp, "cutout"},
    {Band, "band"},
    {Files, "files"},
    {Alignment, "align"},
    {History, "history"},
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
    ColourLinks();
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

void THelpWindow::ColourLinks() {
    // The style's link blue is for a white page: on a dark one it hardly reads. The page takes
    // its link colour when it is parsed, so it is set for the page as well as the palette.
    QPalette p = Browser->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor base = p.color(group, QPalette::Base);
        for (QPalette::ColorRole role : {QPalette::Link, QPalette::LinkVisited})
            p.setColor(group, role, ReadableOn(QApplication::palette().color(group, role), base));
    }
    Browser->setPalette(p);
    const QString sheet =
        QString("a { color: %1; }").arg(p.color(QPalette::Active, QPalette::Link).name());
    if (Browser->document()->defaultStyleSheet() != sheet) {
        Browser->document()->setDefaultStyleSheet(sheet);
        if (!Browser->source().isEmpty())
            Browser->reload();
    }
}

void THelpWindow::keyPressEvent(QKeyEvent* event) {
    // Escape closes the help window, as it does a dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void THelpWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange && Browser != nullptr)
        ColourLinks();
    QWidget::changeEvent(event);
}
