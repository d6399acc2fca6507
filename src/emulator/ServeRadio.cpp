#include "emulator/ServeRadio.h"

#include <pthread.h>

#include <csignal>
#include <exception>

bool ServeUntilSignalled(const EmulatorOptions& options, const RadioFaults& faults,
                         std::ostream& out, std::ostream& err, const std::string& name,
                         const std::function<void(const RadioEmulator&)>& started) {
    // Blocked before the radio's thread exists, so that only sigwait below takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    RadioEmulator radio(options);
    radio.SetFaults(faults);
    try {
        radio.Start();
    } catch (const std::exception& e) {
        err << name << ": " << e.what() << "\n";
        return false;
    }
    out << "COM " << radio.ComPort() << "\nDEVICE " << radio.SlavePath() << "\n";
    out.flush();
    if (started)
        started(radio);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    radio.Stop();
    return true;
}
