#pragma once
// The compiled-help viewer: a CHM viewer program found on PATH at start, started on its own for
// every request. Without one, help requests do nothing.

#include <optional>
#include <string>
#include <vector>

enum class THelpViewerKind { None, XChm, KChmViewer };

struct THelpViewer {
    THelpViewerKind Kind = THelpViewerKind::None;
    std::string Program;  // absolute path of the viewer's executable
    bool Found() const { return Kind != THelpViewerKind::None; }
};

// The first of xchm, kchmviewer that is an executable file in a folder of `searchPath` (a
// colon-separated list as in PATH; empty entries and relative folders are skipped).
THelpViewer FindHelpViewer(const std::string& searchPath);
// The same, searching the process's PATH.
THelpViewer FindHelpViewer();

// The argument list (program first) that opens `file`, at `context` where the viewer can.
std::vector<std::string> HelpViewerArguments(const THelpViewer& viewer, const std::string& file,
                                             std::optional<long> context);

// Starts the viewer detached from this process (no shell, no zombie left behind). Returns the
// viewer's process id, or 0 when there is no viewer or it could not be started.
long StartHelpViewer(const THelpViewer& viewer, const std::string& file,
                     std::optional<long> context);
