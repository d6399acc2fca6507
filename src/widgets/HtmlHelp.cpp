#include "widgets/HtmlHelp.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <optional>

#include <sys/stat.h>

#include "common/StrUtils.h"
#include "platform/HelpViewer.h"
#include "platform/UserFolders.h"
#include "widgets/HelpWindow.h"

namespace {

const char* const kHelpContextProperty = "helpContext";

struct THelpState {
    bool Loaded = false;
    THtmlHelpFunction Entry;
    std::string HelpFile = kRelativeHelpFile;
    QPointer<QWidget> Owner;
    QPointer<THelpKeyFilter> KeyFilter;
    QPointer<THelpWindow> Window;
};

THelpState& State() {
    static THelpState state;
    return state;
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::intptr_t ShowManual(QWidget* owner, const std::string& helpFile, std::optional<long> context) {
    THelpState& state = State();
    // A modal dialog (the password dialog, a message box) would block a help window that is not
    // its own.
    QWidget* parent = QApplication::activeModalWidget();
    if (parent == nullptr && owner != nullptr)
        parent = owner->window();
    // One help window, kept with its history while its owner lives.
    if (state.Window.isNull() || state.Window->parentWidget() != parent) {
        delete state.Window;
        state.Window = new THelpWindow(parent);
    }
    state.Window->ShowTopic(ManualFileFor(QString::fromStdString(helpFile)),
                            HelpTopicAnchor(context.value_or(0)));
    return 1;
}

THelpWindow* CurrentHelpWindow() {
    return State().Window;
}

// The CHM viewer is a separate program and needs the compiled file; without either, the manual
// opens in our own window. Context requests go to the context's topic, everything else to the
// main window's.
THtmlHelpFunction DefaultHtmlHelpFunction(const THelpViewer& viewer) {
    return [viewer](QWidget* owner, const std::string& file, unsigned command,
                    std::uintptr_t data) -> std::intptr_t {
        std::optional<long> context;
        if (command == HELP_CONTEXT)
            context = static_cast<long>(data);
        if (viewer.Found() && IsFile(file)) {
            if (const long pid = StartHelpViewer(viewer, file, context); pid != 0)
                return static_cast<std::intptr_t>(pid);
        }
        return ShowManual(owner, file, context);
    };
}

void LoadHtmlHelp() {
    THelpState& state = State();
    if (state.Loaded)
        return;
    state.Loaded = true;
    state.Entry = DefaultHtmlHelpFunction(FindHelpViewer());
}

void UnloadHtmlHelp() {
    State().Entry = nullptr;
    State().Loaded = false;
    delete State().Window;
}

void SetHtmlHelpFunction(THtmlHelpFunction function) {
    State().Loaded = true;
    State().Entry = std::move(function);
}

std::intptr_t CallHtmlHelp(QWidget* owner, const std::string& file, unsigned command,
                           std::uintptr_t data) {
    const THtmlHelpFunction& entry = State().Entry;
    return entry ? entry(owner, file, command, data) : 0;
}

void SetApplicationHelpFile(const std::string& file) {
    State().HelpFile = file;
}

bool ApplicationHelp(unsigned command, std::uintptr_t data, bool& callHelp) {
    const std::string file = Trim(State().HelpFile);
    if (file.size() < 5 || !EndsWith(UpperCase(file), ".CHM")) {
        callHelp = true;
        return true;
    }
    callHelp = false;
    // The extension is compared in upper case, but the path keeps its case: file names here
    // are case-sensitive, and an upper-cased path would name a file that does not exist.
    CallHtmlHelp(State().Owner, file, command, data);
    return true;
}

void SetupApplicationHelp(QWidget* mainWindow) {
    LoadHtmlHelp();
    THelpState& state = State();
    state.Owner = mainWindow;
    if (state.KeyFilter.isNull() && qApp != nullptr) {
        state.KeyFilter = new THelpKeyFilter(qApp);
        qApp->installEventFilter(state.KeyFilter);
    }
    state.HelpFile = ExecutableFolder() + kRelativeHelpFile;
}

void Button_HelpClick() {
    CallHtmlHelp(State().Owner, State().HelpFile, HH_DISPLAY_TOPIC, 0);
}

void SetHelpContext(QWidget* widget, int context) {
    widget->setProperty(kHelpContextProperty, context);
}

int HelpContext(const QWidget* widget) {
    return widget->property(kHelpContextProperty).toInt();
}

int EffectiveHelpContext(const QWidget* widget) {
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (const int context = HelpContext(widget); context != 0)
            return context;
    }
    return 0;
}

bool THelpKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return QObject::eventFilter(watched, event);
    // The help window has its own keys; the main window's topic would replace the one read.
    if (qobject_cast<THelpWindow*>(static_cast<QWidget*>(watched)->window()) != nullptr)
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() != Qt::Key_F1 && key->key() != Qt::Key_Help) ||
        key->modifiers() != Qt::NoModifier)
        return QObject::eventFilter(watched, event);
    const int context = EffectiveHelpContext(static_cast<QWidget*>(watched));
    if (context == 0)
        return QObject::eventFilter(watched, event);
    bool callHelp = true;
    ApplicationHelp(HELP_CONTEXT, static_cast<std::uintptr_t>(context), callHelp);
    return !callHelp;
}
