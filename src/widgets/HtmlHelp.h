#pragma once
// Access to help: the Help button, and the help key on any control that carries a help context
// (the "helpContext" property of it or of its nearest ancestor). The compiled help file opens in
// a CHM viewer when both are present; otherwise the HTML manual beside it opens in our own help
// window, at the context's topic.

#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QWidget;
class THelpWindow;
struct THelpViewer;

// Command numbers as the help requests carry them.
constexpr unsigned HH_DISPLAY_TOPIC = 0;  // the file's default topic
constexpr unsigned HELP_CONTEXT = 1;      // data is a help context number

// What actually shows help: returns non-zero when help was shown (the viewer's process id, or 1
// for the help window), 0 on failure. Empty only when a test sets it so.
using THtmlHelpFunction = std::function<std::intptr_t(QWidget* owner, const std::string& file,
                                                      unsigned command, std::uintptr_t data)>;

// Finds the viewer (once; later calls do nothing). Done at program start.
void LoadHtmlHelp();
// Forgets the viewer and closes the help window.
void UnloadHtmlHelp();
// The entry LoadHtmlHelp installs: `viewer` when it is found and the file exists, otherwise the
// help window.
THtmlHelpFunction DefaultHtmlHelpFunction(const THelpViewer& viewer);
// Shows the manual that stands beside `helpFile` in the help window (created on first use, a
// child window of `owner`'s window), at the topic of `context` or the main window's topic.
std::intptr_t ShowManual(QWidget* owner, const std::string& helpFile, std::optional<long> context);
// The help window, or null when none is open.
THelpWindow* CurrentHelpWindow();
// Replaces the viewer entry (tests pass a stub; an empty function means no viewer).
void SetHtmlHelpFunction(THtmlHelpFunction function);

// Calls the viewer with the arguments unchanged; 0 when there is none.
std::intptr_t CallHtmlHelp(QWidget* owner, const std::string& file, unsigned command,
                           std::uintptr_t data);

// The application's help file: "HELP/CFG_RM7UX_Radio.chm" at start, relative.
constexpr const char* kRelativeHelpFile = "HELP/CFG_RM7UX_Radio.chm";
void SetApplicationHelpFile(const std::string& file);

// The application's help-request handler. Leaves the request to the framework (callHelp true)
// unless the help file ends in ".CHM" (any case); otherwise calls the viewer with the trimmed
// path. Always returns true.
bool ApplicationHelp(unsigned command, std::uintptr_t data, bool& callHelp);

// Window set-up: `mainWindow` becomes the help owner, the help key is routed to
// ApplicationHelp, and the help file is made absolute beside the executable. Finds the viewer
// if LoadHtmlHelp has not run.
void SetupApplicationHelp(QWidget* mainWindow);

// The Help button: the file's default topic.
void Button_HelpClick();

// Help contexts carried by controls (0: none).
void SetHelpContext(QWidget* widget, int context);
int HelpContext(const QWidget* widget);
// The context of `widget` or of its nearest ancestor that has one; 0 when none has.
int EffectiveHelpContext(const QWidget* widget);

// Turns the help key (F1) on a control into a context request; installed on the application by
// SetupApplicationHelp, public so tests and other windows can install it.
class THelpKeyFilter : public QObject {
    Q_OBJECT
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
