#include "emulator/RadioEmulator.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <stdexcept>

#include "emulator/RadioMachine.h"
#include "platform/PortNames.h"
#include "platform/PseudoTerminal.h"

using Clock = std::chrono::steady_clock;

RadioEmulator::RadioEmulator(EmulatorOptions options) : options_(std::move(options)) {
    machine_ =
        std::make_unique<RadioMachine>(options_.Radio, options_.Modem, options_.ModemPassword);
    machine_->OnEvent = options_.OnEvent;
    machine_->RecordEvents = options_.RecordEvents;
}

RadioEmulator::~RadioEmulator() {
    Stop();
}

std::string RadioEmulator::ComName() const {
    return ComPortName(comPort_);
}

void RadioEmulator::Start() {
    if (Running())
        return;
    auto pty = std::make_unique<PseudoTerminal>();
    int flags = ::fcntl(pty->MasterFd(), F_GETFL);
    // Output to a port nobody reads is lost, as on a real line: never block on a full pty.
    ::fcntl(pty->MasterFd(), F_SETFL, flags | O_NONBLOCK);
    uint32_t port = options_.ComPort;
    if (port == 0) {
        port = AttachFreeComPort(100, pty->SlavePath());
        if (port == 0)
            throw std::runtime_error("no free COM port number");
    } else if (!AttachComPort(port, pty->SlavePath())) {
        throw std::runtime_error("cannot attach " + ComPortName(port));
    }
    int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake < 0) {
        DetachComPort(port, pty->SlavePath());
        throw std::runtime_error("no eventfd");
    }
    // Opens and closes of the port side, so the exclusive flag can be cleared when the last
    // client has gone: a real port forgets it at its last close, a pty (held by us) never does,
    // and a client killed mid-exchange would lock every other user out until we restart.
    closesFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (closesFd_ >= 0 && ::inotify_add_watch(closesFd_, pty->SlavePath().c_str(), IN_CLOSE) < 0) {
        ::close(closesFd_);
        closesFd_ = -1;
    }
    pty_ = std::move(pty);
    comPort_ = port;
    slavePath_ = pty_->SlavePath();
    wakeFd_ = wake;
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = false;
    }
    hangUpRequested_ = false;
    hungUp_ = false;
    hangUpDone_ = false;
    rxFree_ = txFree_ = Clock::now();
    lastLine_.clear();
    thread_ = std::thread([this] { Run(); });
}

void RadioEmulator::Stop() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopCv_.notify_all();
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
    DetachComPort(comPort_, slavePath_);
    pty_.reset();
    ::close(wakeFd_);
    wakeFd_ = -1;
    if (closesFd_ >= 0)
        ::close(closesFd_);
    closesFd_ = -1;
}

namespace {

// Whether a descriptor other than the device side's own keeper has the port side open, in any
// process /proc lets us see. inotify merges identical events that were not read yet, so opens
// and closes can't be counted: after a close, look.
bool PortSideInUse(const std::string& slavePath, int keeperFd) {
    struct stat port {};
    if (::stat(slavePath.c_str(), &port) != 0)
        return false;
    const std::string keeper =
        "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(keeperFd);
    std::error_code ec;
    for (const auto& proc : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string pid = proc.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code fdEc;
        for (const auto& fd : std::filesystem::directory_iterator(proc.path() / "fd", fdEc)) {
            struct stat st {};
            if (fd.path().string() == keeper || ::stat(fd.path().c_str(), &st) != 0)
                continue;
            if (S_ISCHR(st.st_mode) && st.st_rdev == port.st_rdev)
                return true;
        }
    }
    return false;
}

}  // namespace

void RadioEmulator::ForgetExclusiveWhenUnused() {
    alignas(inotify_event) char buf[4096];
    bool closed = false;
    ssize_t n = 0;
    while ((n = ::read(closesFd_, buf, sizeof buf)) > 0)
        closed = true;
    if (closed && !PortSideInUse(slavePath_, pty_->KeeperFd()))
        ::ioctl(pty_->KeeperFd(), TIOCNXCL);
}

std::string LineText(const LineSettings& line) {
    static constexpr char kParity[] = {'N', 'O', 'E', 'M', 'S'};
    return std::to_string(line.BaudRate) + " " + std::to_string(line.DataBits) +
           (line.Parity >= 0 && line.Parity <= 4 ? kParity[line.Parity] : '?') +
           (line.StopBits == 2   ? "2"
            : line.StopBits == 1 ? "1.5"
                                 : "1");
}

LineSettings RadioEmulator::LineSeen() const {
    // The pty lives as long as the radio runs; a stopped radio has no line.
    return pty_ != nullptr ? pty_->PortLine() : LineSettings{};
}

void RadioEmulator::SetFaults(const RadioFaults& faults) {
    std::lock_guard lock(stateMutex_);
    faults_ = faults;
    machine_->WatchFor(faults.Lose ? faults.Lose->AfterEvent : std::string());
}

RadioFaults RadioEmulator::Faults() const {
    std::lock_guard lock(stateMutex_);
    return faults_;
}

void RadioEmulator::HangUp() {
    hangUpRequested_ = true;
    uint64_t one = 1;
    if (wakeFd_ >= 0) {
        [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
    }
    std::unique_lock lock(stateMutex_);
    if (Running())
        eventsChanged_.wait_for(lock, std::chrono::seconds(5), [this] { return hangUpDone_; });
}

void RadioEmulator::SwapRadio(const RadioPersonality& radio) {
    std::lock_guard lock(stateMutex_);
    machine_->SwapRadio(radio);
}

RadioPersonality RadioEmulator::Radio() const {
    std::lock_guard lock(stateMutex_);
    return machine_->Radio();
}

uint32_t RadioEmulator::Field(const std::string& code) const {
    std::lock_guard lock(stateMutex_);
    return machine_->Radio().Fields.Get(code);
}

uint32_t RadioEmulator::FlashField(const std::string& code) const {
    std::lock_guard lock(stateMutex_);
    return machine_->Radio().Flash.Get(code);
}

void RadioEmulator::SetField(const std::string& code, uint32_t value) {
    std::lock_guard lock(stateMutex_);
    machine_->Radio().Fields.Set(code, value);
}

bool RadioEmulator::Transmitting() const {
    std::lock_guard lock(stateMutex_);
    return machine_->Transmitting();
}

bool RadioEmulator::ModemInRadioMode() const {
    std::lock_guard lock(stateMutex_);
    return options_.Modem && machine_->InRadioMode();
}

std::vector<RadioEvent> RadioEmulator::Events() const {
    std::lock_guard lock(stateMutex_);
    return machine_->Events;
}

std::vector<std::string> RadioEmulator::EventTexts() const {
    std::vector<std::string> texts;
    for (const auto& e : Events())
        texts.push_back(e.Text());
    return texts;
}

void RadioEmulator::ClearEvents() {
    std::lock_guard lock(stateMutex_);
    machine_->Events.clear();
}

bool RadioEmulator::WaitForEvent(const std::string& text, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(stateMutex_);
    return eventsChanged_.wait_for(lock, timeout, [&] {
        return std::any_of(machine_->Events.begin(), machine_->Events.end(),
                           [&](const RadioEvent& e) { return e.Text() == text; });
    });
}

void RadioEmulator::ResetCounters() {
    bytesReceived_ = 0;
    bytesSent_ = 0;
}

bool RadioEmulator::SleepUntil(Clock::time_point t) {
    // A real UART puts its bytes out on time; a thread woken by the scheduler is often late by
    // a tenth of a millisecond, so the last stretch before a paced byte is spun.
    constexpr auto kSpin = std::chrono::microseconds(250);
    {
        std::unique_lock lock(stopMutex_);
        if (t == Clock::time_point::max() || t - Clock::now() > kSpin) {
            auto wakeAt = t == Clock::time_point::max() ? t : t - kSpin;
            if (stopCv_.wait_until(lock, wakeAt, [this] { return stopping_; }))
                return false;
        }
        if (stopping_)
            return false;
    }
    while (Clock::now() < t) {
    }
    return true;
}

// Recorded before the line goes dead, so whoever sees the hang-up also sees the event.
void RadioEmulator::DoHangUp() {
    {
        std::lock_guard lock(stateMutex_);
        machine_->Record("hangup");
        hungUp_ = true;
    }
    pty_->HangUp();
    std::lock_guard lock(stateMutex_);
    hangUpDone_ = true;
    eventsChanged_.notify_all();
}

// Each character leaves on its own deadline on one absolute timeline (start + k x 1.0417 ms),
// so sleeping late for one character does not push back the ones after it.
void RadioEmulator::Transmit(const std::string& text, int charDelayMs) {
    int fd = pty_->MasterFd();
    // Counted before the write, so that whoever has read a byte also sees it counted.
    if (!options_.Pace && charDelayMs <= 0) {
        bytesSent_ += text.size();
        ssize_t n = ::write(fd, text.data(), text.size());
        bytesSent_ -= text.size() - static_cast<size_t>(std::max<ssize_t>(n, 0));
        return;
    }
    auto perChar = (options_.Pace ? CharTime : std::chrono::nanoseconds(0)) +
                   std::chrono::milliseconds(std::max(charDelayMs, 0));
    for (char c : text) {
        txFree_ = std::max(txFree_, Clock::now()) + perChar;
        if (!SleepUntil(txFree_))
            return;
        ++bytesSent_;
        if (::write(fd, &c, 1) != 1)
            --bytesSent_;
    }
}

// An exception must not end the program with the port link left behind: the radio records it
// and hangs up, and Stop tidies up as usual.
void RadioEmulator::Run() {
    try {
        Serve();
    } catch (const std::exception& e) {
        Fail(e.what());
    } catch (...) {
        Fail("unknown exception");
    }
}

void RadioEmulator::Fail(const std::string& what) {
    try {
        {
            std::lock_guard lock(stateMutex_);
            // OnEvent may be what threw: from here on it may throw again without harm.
            machine_->OnEvent = [onEvent = std::move(machine_->OnEvent)](const RadioEvent& e) {
                try {
                    if (onEvent)
                        onEvent(e);
                } catch (...) {
                }
            };
            machine_->Record("error", what);
            eventsChanged_.notify_all();
        }
        if (!hungUp_)
            DoHangUp();
    } catch (...) {
        // Out of memory, say: the radio stays silent until Stop.
    }
}

void RadioEmulator::Serve() {
    char buf[256];
    std::vector<RadioOutput> out;
    for (;;) {
        {
            std::lock_guard lock(stopMutex_);
            if (stopping_)
                return;
        }
        if (hangUpRequested_ && !hungUp_)
            DoHangUp();
        if (hungUp_) {
            SleepUntil(Clock::time_point::max());
            return;
        }
        pollfd fds[3] = {
            {pty_->MasterFd(), POLLIN, 0}, {wakeFd_, POLLIN, 0}, {closesFd_, POLLIN, 0}};
        if (::poll(fds, closesFd_ >= 0 ? 3 : 2, -1) < 0)
            continue;
        if (closesFd_ >= 0 && (fds[2].revents & POLLIN))
            ForgetExclusiveWhenUnused();
        if (fds[1].revents & POLLIN) {
            uint64_t v;
            [[maybe_unused]] ssize_t n = ::read(wakeFd_, &v, sizeof v);
            continue;
        }
        if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Only while nobody holds the port side; the pty keeps it open, so rarely.
            SleepUntil(Clock::now() + std::chrono::milliseconds(10));
            continue;
        }
        ssize_t n = ::read(pty_->MasterFd(), buf, sizeof buf);
        if (n <= 0)
            continue;
        auto arrived = Clock::now();
        if (options_.OnLine) {
            const LineSettings line = pty_->PortLine();
            if (LineText(line) != lastLine_) {
                lastLine_ = LineText(line);
                options_.OnLine(line);
            }
        }
        for (ssize_t i = 0; i < n; ++i) {
            ++bytesReceived_;
            RadioFaults faults;
            {
                std::lock_guard lock(stateMutex_);
                faults = faults_;
                if (faults.HangUpAfterCommands >= 0 &&
                    machine_->CommandsAnswered() >= faults.HangUpAfterCommands)
                    hangUpRequested_ = true;
            }
            if (hangUpRequested_)
                break;
            if (options_.Pace) {
                // The character is ours only once its ten bits have crossed the wire.
                rxFree_ = std::max(rxFree_, arrived) + CharTime;
                if (!SleepUntil(rxFree_))
                    return;
            }
            out.clear();
            {
                std::lock_guard lock(stateMutex_);
                const size_t events = machine_->Events.size();
                const bool losing = faults.Lose.has_value();
                machine_->Receive(buf[i], faults, out);
                if (losing && !faults.Lose)
                    faults_.Lose.reset();
                if (machine_->Events.size() != events)
                    eventsChanged_.notify_all();
            }
            for (const auto& piece : out) {
                if (piece.Pause.count() > 0 && !SleepUntil(Clock::now() + piece.Pause))
                    return;
                Transmit(piece.Text, faults.CharDelayMs);
            }
        }
    }
}
