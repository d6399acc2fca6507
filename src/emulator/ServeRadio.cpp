#include "emulator/ServeRadio.h"

#include <pthread.h>

#include <csignal>
#include <exception>

namespace {

// Blocks the stop signals for as long as the radio is served and gives the caller its own mask
// back afterwards.
class BlockedSignals {
  public:
    BlockedSignals() {
        sigemptyset(&set_);
        for (int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaddset(&set_, s);
        pthread_sigmask(SIG_BLOCK, &set_, &old_);
    }
    ~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;

    void Wait() const {
        int signal = 0;
        sigwait(&set_, &signal);
    }

  private:
    sigset_t set_;
    sigset_t old_;
};

}  // namespace

bool ServeUntilSignalled(const EmulatorOptions& options, const RadioFaults& faults,
                         std::ostream& out, std::ostream& err, const std::string& name,
                         const std::function<void(const RadioEmulator&)>& started) {
    // Blocked before the radio's thread exists, so that only Wait below takes them; a closed
    // terminal (SIGHUP) must remove the port link as surely as Ctrl+C.
    const BlockedSignals stopSignals;

    EmulatorOptions serving = options;
    // Served for hours, the radio must not keep every event; OnEvent still sees each.
    serving.RecordEvents = false;
    RadioEmulator radio(serving);
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

    stopSignals.Wait();
    radio.Stop();
    return true;
}
