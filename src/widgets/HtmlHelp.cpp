#include "widgets/HtmlHelp.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <optional>

#include "common/StrUtils.h"
#include "platform/HelpViewer.h"
#include "platform/UserFolders.h"

namespace {

const char* const kHelpContextProperty = "helpContext";

struct THelpState {
    bool Loaded = false;
    THtmlHelpFunction Entry;
    std::string HelpFile = kRelativeHelpFile;
    QPointer<QWidget> Owner;
    QPointer<THelpKeyFilter> KeyFilter;
};

THelpState& State() {
    static THelpState state;
    return state;
}

// The viewer is a separate program: context requests open the file at the context where the
// viewer can, everything else opens the file.
THtmlHelpFunction ViewerEntry(const THelpViewer& viewer) {
    return [viewer](QWidget*, const std::string& file, unsigned command,
                    std::uintptr_t data) -> std::intptr_t {
        std::optional<long> context;
        if (command == HELP_CONTEXT)
            context = static_cast<long>(data);
        return static_cast<std::intptr_t>(StartHelpViewer(viewer, file, context));
    };
}

}  // namespace

void LoadHtmlHelp() {
    THelpState& state = State();
    if (state.Loaded)
        return;
    state.Loaded = true;
    state.Entry = nullptr;
    const THelpViewer viewer = FindHelpViewer();
    if (viewer.Found())
        state.Entry = ViewerEntry(viewer);
}

void UnloadHtmlHelp() {
    State().Entry = nullptr;
    State().Loaded = false;
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
