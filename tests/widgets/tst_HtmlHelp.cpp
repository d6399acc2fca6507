#include <sys/stat.h>

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <fstream>
#include <sstream>

#include "TempDir.h"
#include "WaitFor.h"
#include "platform/HelpViewer.h"
#include "platform/UserFolders.h"
#include "widgets/HelpWindow.h"
#include "widgets/HtmlHelp.h"
#include "widgets/Readable.h"

namespace {

struct Call {
    std::string File;
    unsigned Command;
    std::uintptr_t Data;
};

// A stub viewer that records every request.
struct StubViewer {
    std::vector<Call> Calls;
    void Install() {
        SetHtmlHelpFunction([this](QWidget*, const std::string& file, unsigned command,
                                   std::uintptr_t data) -> std::intptr_t {
            Calls.push_back({file, command, data});
            return 42;
        });
    }
};

void WriteScript(const std::string& path, const std::string& body, bool executable = true) {
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), executable ? 0755 : 0644);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

class TestHtmlHelp : public QObject {
    Q_OBJECT
  private slots:
    void init() { SetApplicationHelpFile(kRelativeHelpFile); }
    void cleanupTestCase() { UnloadHtmlHelp(); }
    void applicationHelp_data();
    void applicationHelp();
    void noViewerDoesNothing();
    void helpButtonAndHelpKey();
    void findsViewerOnPath();
    void startsViewerDetached_data();
    void startsViewerDetached();
    void manualInOwnWindowWithoutViewer();
    void viewerOnlyWithItsFile();
    void escapeClosesAndLinksReadOnADarkPalette();
};

void TestHtmlHelp::applicationHelp_data() {
    QTest::addColumn<QString>("helpFile");
    QTest::addColumn<bool>("toViewer");
    QTest::addColumn<QString>("fileSent");
    QTest::newRow("lower-case extension")
        << "/opt/rm7ux/HELP/CFG_RM7UX_Radio.chm" << true << "/opt/rm7ux/HELP/CFG_RM7UX_Radio.chm";
    QTest::newRow("blanks trimmed") << "  /opt/h.Chm \t" << true << "/opt/h.Chm";
    QTest::newRow("five characters") << "a.chm" << true << "a.chm";
    QTest::newRow("only the extension") << ".chm" << false << "";
    QTest::newRow("other help format") << "/opt/help.hlp" << false << "";
    QTest::newRow("chm not at the end") << "/opt/help.chm.txt" << false << "";
    QTest::newRow("empty") << "" << false << "";
}

void TestHtmlHelp::applicationHelp() {
    QFETCH(QString, helpFile);
    QFETCH(bool, toViewer);
    QFETCH(QString, fileSent);
    StubViewer stub;
    stub.Install();
    SetApplicationHelpFile(helpFile.toStdString());
    bool callHelp = !toViewer;  // the handler must set it either way
    QVERIFY(ApplicationHelp(HELP_CONTEXT, 1015, callHelp));
    QCOMPARE(callHelp, !toViewer);
    QCOMPARE(stub.Calls.size(), toViewer ? size_t(1) : size_t(0));
    if (toViewer) {
        QCOMPARE(QString::fromStdString(stub.Calls[0].File), fileSent);
        QCOMPARE(stub.Calls[0].Command, HELP_CONTEXT);
        QCOMPARE(stub.Calls[0].Data, std::uintptr_t(1015));
    }
}

void TestHtmlHelp::noViewerDoesNothing() {
    SetHtmlHelpFunction({});
    SetApplicationHelpFile("/opt/help.chm");
    QCOMPARE(CallHtmlHelp(nullptr, "/opt/help.chm", HH_DISPLAY_TOPIC, 0), std::intptr_t(0));
    bool callHelp = true;
    QVERIFY(ApplicationHelp(HELP_CONTEXT, 12, callHelp));
    QVERIFY(!callHelp);
    Button_HelpClick();
}

void TestHtmlHelp::helpButtonAndHelpKey() {
    StubViewer stub;
    stub.Install();
    QWidget main;
    SetHelpContext(&main, 1);
    auto* panel = new QWidget(&main);
    auto* edit = new QLineEdit(panel);
    auto* plain = new QLineEdit(panel);
    SetHelpContext(edit, 1008);
    SetupApplicationHelp(&main);

    QTest::keyClick(edit, Qt::Key_F1);
    QTest::keyClick(plain, Qt::Key_F1);
    QTest::keyClick(plain, Qt::Key_F1, Qt::ShiftModifier);  // not the help key
    QTest::keyClick(plain, Qt::Key_F2);
    QCOMPARE(stub.Calls.size(), size_t(2));
    QCOMPARE(stub.Calls[0].Command, HELP_CONTEXT);
    QCOMPARE(stub.Calls[0].Data, std::uintptr_t(1008));
    QCOMPARE(stub.Calls[1].Data, std::uintptr_t(1));
    QCOMPARE(stub.Calls[1].File, ExecutableFolder() + "HELP/CFG_RM7UX_Radio.chm");

    Button_HelpClick();
    QCOMPARE(stub.Calls.size(), size_t(3));
    QCOMPARE(stub.Calls[2].Command, HH_DISPLAY_TOPIC);
    QCOMPARE(stub.Calls[2].Data, std::uintptr_t(0));

    // With a help file the viewer cannot show, the key goes on to the control.
    SetApplicationHelpFile("/opt/help.hlp");
    QTest::keyClick(edit, Qt::Key_F1);
    QCOMPARE(stub.Calls.size(), size_t(3));
}

void TestHtmlHelp::findsViewerOnPath() {
    TempDir a, b;
    WriteScript(a.File("kchmviewer"), "exit 0\n");
    WriteScript(b.File("xchm"), "exit 0\n");
    WriteScript(a.File("xchm"), "exit 0\n", false);  // not executable: skipped

    THelpViewer v = FindHelpViewer(a.Path() + ":" + b.Path());
    QCOMPARE(int(v.Kind), int(THelpViewerKind::XChm));
    QCOMPARE(v.Program, b.File("xchm"));
    v = FindHelpViewer(a.Path() + "::relative/dir");
    QCOMPARE(int(v.Kind), int(THelpViewerKind::KChmViewer));
    QCOMPARE(v.Program, a.File("kchmviewer"));
    QVERIFY(!FindHelpViewer("").Found());
    QVERIFY(!FindHelpViewer("::relative").Found());
}

void TestHtmlHelp::startsViewerDetached_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("command");
    QTest::addColumn<QString>("expectedArgs");
    QTest::newRow("xchm at a context")
        << int(THelpViewerKind::XChm) << int(HELP_CONTEXT) << "--contextid|1015|/h/a b.chm|";
    QTest::newRow("xchm default topic")
        << int(THelpViewerKind::XChm) << int(HH_DISPLAY_TOPIC) << "/h/a b.chm|";
    QTest::newRow("kchmviewer has no contexts")
        << int(THelpViewerKind::KChmViewer) << int(HELP_CONTEXT) << "/h/a b.chm|";
}

void TestHtmlHelp::startsViewerDetached() {
    QFETCH(int, kind);
    QFETCH(int, command);
    QFETCH(QString, expectedArgs);
    TempDir dir;
    const std::string out = dir.File("args");
    // Written to a side file and renamed, so the test never reads it half written.
    WriteScript(dir.File("viewer"), "for a in \"$@\"; do printf '%s|' \"$a\"; done > '" + out +
                                        ".tmp'\nmv '" + out + ".tmp' '" + out + "'\n");
    const THelpViewer viewer{THelpViewerKind(kind), dir.File("viewer")};
    const std::optional<long> context =
        command == int(HELP_CONTEXT) ? std::optional<long>(1015) : std::nullopt;
    QVERIFY(StartHelpViewer(viewer, "/h/a b.chm", context) > 0);
    QVERIFY(WaitFor([&] { return std::ifstream(out).good(); }));
    QCOMPARE(QString::fromStdString(ReadAll(out)), expectedArgs);

    QCOMPARE(StartHelpViewer({THelpViewerKind::XChm, dir.File("missing")}, "/h/a.chm", {}), 0L);
    QCOMPARE(StartHelpViewer({}, "/h/a.chm", {}), 0L);
}

namespace {

QString Topic() {
    THelpWindow* w = CurrentHelpWindow();
    return w != nullptr && w->isVisible() ? w->Browser->source().fragment() : QString();
}

}  // namespace

void TestHtmlHelp::manualInOwnWindowWithoutViewer() {
    SetHtmlHelpFunction(DefaultHtmlHelpFunction(THelpViewer{}));
    QWidget main;
    SetHelpContext(&main, 1);
    auto* ptt = new QLineEdit(&main);
    SetHelpContext(ptt, 13);
    SetupApplicationHelp(&main);

    // Every control's topic is in the manual the build put beside the program.
    const std::string manual = ExecutableFolder() + "HELP/CFG_RM7UX_Radio.html";
    const std::string html = ReadAll(manual);
    for (const THelpTopic& topic : HelpTopics())
        QVERIFY2(html.find("name=\"" + std::string(topic.Anchor) + "\"") != std::string::npos,
                 topic.Anchor);

    QTest::keyClick(ptt, Qt::Key_F1);
    QCOMPARE(Topic(), QString("ptt-timeout"));
    THelpWindow* w = CurrentHelpWindow();
    QCOMPARE(w->Browser->source().toLocalFile().toStdString(), manual);
    QVERIFY(w->Browser->toPlainText().contains("PTT time-out"));
    QVERIFY(w->Browser->verticalScrollBar()->value() > 0);  // the anchor was found

    Button_HelpClick();
    QCOMPARE(Topic(), QString("main-window"));
    QCOMPARE(CurrentHelpWindow(), w);
    QVERIFY(w->Button_Back->isEnabled());
    w->Button_Back->click();
    QCOMPARE(Topic(), QString("ptt-timeout"));
    w->Button_Contents->click();
    QCOMPARE(Topic(), QString("top"));
    // The help key in the help window leaves the topic being read.
    QTest::keyClick(w->Browser, Qt::Key_F1);
    QCOMPARE(Topic(), QString("top"));

    // A manual that is missing is said so, not left as a window that does nothing.
    SetApplicationHelpFile("/nonexistent/HELP/CFG_RM7UX_Radio.chm");
    QTest::keyClick(ptt, Qt::Key_F1);
    QVERIFY(w->Browser->toPlainText().contains("/nonexistent/HELP/CFG_RM7UX_Radio.html"));
    UnloadHtmlHelp();
    QVERIFY(CurrentHelpWindow() == nullptr);
}

void TestHtmlHelp::viewerOnlyWithItsFile() {
    TempDir dir;
    const std::string out = dir.File("args");
    WriteScript(dir.File("xchm"),
                "printf '%s ' \"$@\" > '" + out + ".tmp'\nmv '" + out + ".tmp' '" + out + "'\n");
    const THtmlHelpFunction entry =
        DefaultHtmlHelpFunction(THelpViewer{THelpViewerKind::XChm, dir.File("xchm")});
    std::ofstream(dir.File("h.chm")) << "ITSF";
    QVERIFY(entry(nullptr, dir.File("h.chm"), HELP_CONTEXT, 13) > 1);
    QVERIFY(WaitFor([&] { return std::ifstream(out).good(); }));
    QCOMPARE(ReadAll(out), "--contextid 13 " + dir.File("h.chm") + " ");
    QVERIFY(CurrentHelpWindow() == nullptr);

    // Without the compiled file the viewer would only complain: the manual opens instead.
    QCOMPARE(entry(nullptr, ExecutableFolder() + kRelativeHelpFile, HELP_CONTEXT, 1015), 1);
    QCOMPARE(Topic(), QString("tx-test"));
    UnloadHtmlHelp();
}

// Esc closes the help window; on a dark palette its links are drawn in a colour that reads
// (4.5:1 against the page), as the page's own text does.
void TestHtmlHelp::escapeClosesAndLinksReadOnADarkPalette() {
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    for (auto [role, colour] : {std::pair{QPalette::Window, QColor(0x30, 0x30, 0x30)},
                                {QPalette::Base, QColor(0x20, 0x20, 0x20)},
                                {QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0)},
                                {QPalette::Text, QColor(0xE0, 0xE0, 0xE0)},
                                {QPalette::Link, QColor(0x00, 0x00, 0xFF)}})
        dark.setColor(role, colour);
    QApplication::setPalette(dark);
    SetHtmlHelpFunction(DefaultHtmlHelpFunction(THelpViewer{}));
    QWidget main;
    SetupApplicationHelp(&main);
    Button_HelpClick();
    THelpWindow* w = CurrentHelpWindow();
    QVERIFY(w != nullptr && w->isVisible());

    // The first link of the contents, as the page draws it.
    QTextCursor link = w->Browser->document()->find("The main window");
    QVERIFY(!link.isNull());
    QVERIFY(link.charFormat().isAnchor());
    const QColor drawn = link.charFormat().foreground().color();
    const QColor page = w->Browser->palette().color(QPalette::Base);
    QVERIFY2(ContrastRatio(drawn, page) >= 4.5, qPrintable(drawn.name() + " on " + page.name()));

    QTest::keyClick(w->Browser, Qt::Key_Escape);
    QVERIFY(!w->isVisible());
    QApplication::setPalette(light);
    UnloadHtmlHelp();
}

QTEST_MAIN(TestHtmlHelp)
#include "tst_HtmlHelp.moc"
