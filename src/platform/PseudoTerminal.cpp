#include "platform/PseudoTerminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "platform/SerialDevice.h"

PseudoTerminal::PseudoTerminal() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        int e = errno;
        if (master_ >= 0)
            ::close(master_);
        throw std::runtime_error(std::string("no pseudo-terminal: ") + std::strerror(e));
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        ::close(master_);
        throw std::runtime_error("ptsname failed");
    }
    slavePath_ = name;
    slaveKeeper_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeeper_ >= 0) {
        termios t{};
        if (tcgetattr(slaveKeeper_, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(slaveKeeper_, TCSANOW, &t);
        }
    }
}

PseudoTerminal::~PseudoTerminal() {
    HangUp();
    if (slaveKeeper_ >= 0)
        ::close(slaveKeeper_);
}

void PseudoTerminal::HangUp() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
}

LineSettings PseudoTerminal::PortLine() const {
    LineSettings line;
    line.BaudRate = 0;  // a speed without a name stays 0 rather than reading as 9600
    // Both sides of a pseudo-terminal share one set of settings: the port side's.
    TerminalLine(slaveKeeper_ >= 0 ? slaveKeeper_ : master_, line);
    return line;
}
