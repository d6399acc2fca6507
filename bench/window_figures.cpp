// Figures of the real window program (CFG_RM7UX_Radio beside this benchmark):
//   start to window shown, median of 5 starts          target < 400 ms
//   resident memory after a time connected             target < 80 MB
//   CPU while connected and idle, 1000 ms refresh       target < 2 % of one core
// The radio is rm7ux-sim at 9600-baud pace. Without $DISPLAY the window runs on Qt's offscreen
// platform.
//   window_figures [seconds connected, default 60]

#include <unistd.h>

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchSupport.h"

namespace {

using bench::Clock;

// Reads the process's output until a line starting with `prefix` arrives; the line, or empty
// after the deadline or when the process ends.
QString WaitForLine(QProcess& p, const QString& prefix, int timeoutMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < end) {
        while (p.canReadLine()) {
            const QString line = QString::fromUtf8(p.readLine()).trimmed();
            if (line.startsWith(prefix))
                return line;
        }
        if (p.state() == QProcess::NotRunning)
            return {};
        p.waitForReadyRead(50);
    }
    return {};
}

void Stop(QProcess& p) {
    if (p.state() == QProcess::NotRunning)
        return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(5000);
    }
}

// utime + stime of a process, in clock ticks.
long long CpuTicks(qint64 pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name, which is in parentheses and may hold blanks.
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::vector<std::string> f;
    for (std::string s; rest >> s;)
        f.push_back(s);
    return f.size() > 12 ? std::stoll(f[11]) + std::stoll(f[12]) : -1;
}

double ResidentMB(qint64 pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;  // kB
    }
    return -1;
}

void Row(const char* name, double value, const char* unit, double target) {
    std::printf("%-44s %9.2f %-3s (target < %g %s) %s\n", name, value, unit, target, unit,
                value >= 0 && value < target ? "ok" : "OVER");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int seconds = 60;
    if (argc > 1 && (seconds = std::atoi(argv[1])) <= 0) {
        std::fprintf(stderr, "usage: window_figures [seconds connected, default 60]\n");
        return 2;
    }
    const std::string config = bench::PrivateConfigFolder();
    const QString bin = QCoreApplication::applicationDirPath();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const bool offscreen = !env.contains("DISPLAY") || env.value("DISPLAY").isEmpty();
    if (offscreen)
        env.insert("QT_QPA_PLATFORM", "offscreen");
    std::printf("window_figures: %s platform, %d s connected\n", offscreen ? "offscreen" : "X11",
                seconds);

    // Start to shown.
    std::vector<double> starts;
    for (int i = 0; i < 5; ++i) {
        QProcess window;
        window.setProcessEnvironment(env);
        window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const auto t0 = Clock::now();
        window.start(bin + "/CFG_RM7UX_Radio", {"--report"});
        if (WaitForLine(window, "SHOWN", 20000).isEmpty()) {
            std::fprintf(stderr, "window_figures: the window did not show\n");
            return 1;
        }
        starts.push_back(bench::Ms(Clock::now() - t0));
        Stop(window);
    }

    // Connected to the emulated radio, idle.
    QProcess sim;
    sim.setProcessEnvironment(env);
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(bin + "/rm7ux-sim", {"--model", "RM7UH", "--pace"});
    const QString com = WaitForLine(sim, "COM ", 10000);
    if (com.isEmpty()) {
        std::fprintf(stderr, "window_figures: rm7ux-sim did not start\n");
        return 1;
    }
    QProcess window;
    window.setProcessEnvironment(env);
    window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    window.start(bin + "/CFG_RM7UX_Radio", {"--port", com.mid(4), "--connect", "--report"});
    if (WaitForLine(window, "STATE Connected", 30000).isEmpty()) {
        std::fprintf(stderr, "window_figures: the window did not connect\n");
        Stop(window);
        Stop(sim);
        return 1;
    }
    const qint64 pid = window.processId();
    const long long ticks0 = CpuTicks(pid);
    const auto t0 = Clock::now();
    // The measurement interval itself; the window keeps refreshing meanwhile.
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long long ticks1 = CpuTicks(pid);
    const double wall = bench::Ms(Clock::now() - t0) / 1000.0;
    const double rss = ResidentMB(pid);
    int connected = 0, lost = 0;
    while (window.canReadLine() || window.waitForReadyRead(10)) {
        const QString line = QString::fromUtf8(window.readLine()).trimmed();
        connected += line == "STATE Connected";
        lost += line.startsWith("STATE") && line != "STATE Connected" && line != "STATE Connect...";
    }
    Stop(window);
    Stop(sim);
    std::filesystem::remove_all(config);

    const double cpu = 100.0 * static_cast<double>(ticks1 - ticks0) /
                       static_cast<double>(sysconf(_SC_CLK_TCK)) / wall;
    Row("start to window shown, median of 5", bench::Percentile(starts, 0.5), "ms", 400);
    Row("resident memory connected", rss, "MB", 80);
    Row("CPU connected and idle, 1000 ms refresh", cpu, "%", 2);
    std::printf("refreshes seen: %d \"Connected\", %d failures, in %.1f s\n", connected, lost,
                wall);
    return 0;
}
