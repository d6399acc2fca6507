#include "link/RM7UXcomms.h"

#include <chrono>
#include <optional>
#include <thread>
#include <utility>

#include "common/StrUtils.h"
#include "common/UserDialogs.h"
#include "platform/Interruption.h"

namespace {

const char kCR = '\r';
const std::string kPrompt = ">";
const std::string kNotAModem = "The connected device is not a M82KD modem";

struct CommsModule {
    TVVComm2* Link = nullptr;
    TDisplayCommsError Display;
    TComsStateQuery State;
    std::string VersionText;
    bool IsRM7UX = false;
    std::string Shown;
    // A signal waits while the port is open: the radio may be keyed or half-way through a field.
    std::optional<InterruptionHold> Exchange;
    bool TransmitterUnconfirmed = false;
    TKeyingObserver KeyingObserver;
    bool ObservedKeyed = false;
};

CommsModule& Module() {
    static CommsModule m;
    return m;
}

TVVComm2& Port() {
    // Used before registration only by a programming error; a link of our own keeps it safe.
    static TVVComm2 unregistered;
    return Module().Link != nullptr ? *Module().Link : unregistered;
}

void Report(uint8_t code) {
    if (Module().Display)
        Module().Display(code);
}

uint8_t CurrentState() {
    return Module().State ? Module().State() : 0;
}

// The prompt ends every command; waiting for it keeps the next command in step.
bool WaitForPrompt() {
    return Port().WaitForChar(kPrompt, 4000, 200);
}
bool WaitForSpace() {
    return Port().WaitForChar(" ", 4000, 200);
}
// The space that ends the value a field shows before taking a new one; the value is kept, since
// it is what the change replaced.
bool WaitForShownValue() {
    std::string shown;
    const bool ok = Port().ReadUntil(shown, " ", 200, 4000);
    Module().Shown = ok ? shown : std::string();
    return ok;
}

// Reads From + Count - 1 characters and keeps the Count of them that start at From.
bool ReadSlice(std::string& Reply, int From, int Count) {
    if (From < 1 || Count < 0)
        return false;
    int wanted = From + Count - 1;
    if (Port().ReadCount(Reply, wanted) != wanted)
        return false;
    Reply = Reply.substr(static_cast<size_t>(From - 1), static_cast<size_t>(Count));
    return true;
}

// A command that did not complete shows as a time-out; the carriage return ends whatever entry
// the radio is still waiting in.
void AbandonCommand() {
    Report(csTimeOut);
    Port().WriteChar(kCR);
}

// Every command ends at the prompt, whether or not it completed.
bool EndCommand(bool result) {
    if (!result)
        AbandonCommand();
    WaitForPrompt();
    return result;
}

int ReadModemReply(std::string& reply, int first, int gap) {
    return Port().ReadReply(reply, 1000, first, gap);
}

// Told before "O3" leaves, and once a release (or a restart) is confirmed after it.
void ObserveKeying(bool keyed) {
    CommsModule& m = Module();
    if (!keyed && !m.ObservedKeyed)
        return;
    m.ObservedKeyed = keyed;
    if (m.KeyingObserver)
        m.KeyingObserver(keyed);
}

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

void RegisterRM7UXComms(TVVComm2* link, TDisplayCommsError displayCommsError,
                        TComsStateQuery comsState) {
    Module().Link = link;
    Module().Display = std::move(displayCommsError);
    Module().State = std::move(comsState);
    Module().TransmitterUnconfirmed = false;
    if (link == nullptr || !link->IsOpen())
        Module().Exchange.reset();
}

void SwapRM7UXReports(TDisplayCommsError& display, TComsStateQuery& comsState) {
    std::swap(Module().Display, display);
    std::swap(Module().State, comsState);
}

TVVComm2* RM7UXLink() {
    return Module().Link;
}

const std::string& RM7UXVersionText() {
    return Module().VersionText;
}

bool RM7UXIsRM7UX() {
    return Module().IsRM7UX;
}

void SetKeyingObserver(TKeyingObserver observer) {
    Module().KeyingObserver = std::move(observer);
}

const std::string& RM7UXShownValue() {
    return Module().Shown;
}

bool OpenRadioPort() {
    TVVComm2& port = Port();
    port.Close();
    port.BaudRate = TBaudRate::___9600;
    try {
        port.Open();
    } catch (const std::exception&) {
        Report(csPortNotAvailable);
        Module().Exchange.reset();
        return false;
    }
    if (!Module().Exchange)
        Module().Exchange.emplace();
    Report(csPortOpen);
    return true;
}

bool CloseRadioPort() {
    uint8_t state = CurrentState();
    if (state == csPortOpen || state == csConnected)
        Report(csIdle);
    bool closed = true;
    try {
        Port().Close();
    } catch (const std::exception&) {
        closed = false;
    }
    // Last: a signal that waited for this exchange is delivered here, with the port closed.
    Module().Exchange.reset();
    return closed;
}

bool IdentifyRadio(std::string& Version, bool& IsRM7UX) {
    try {
        TVVComm2& port = Port();
        if (!port.WriteChar(kCR) || !WaitForPrompt()) {
            Report(csNoConnection);
            return false;
        }
        std::string reply;
        if (!QueryUntilPrompt("RV", reply, kPrompt)) {
            Report(csTimeOut);
            return false;
        }
        reply = Trim(reply);
        size_t pos = reply.find("RM7U");
        bool rm7ux = pos != std::string::npos;
        if (!rm7ux)
            pos = reply.find("RM7V");
        IsRM7UX = rm7ux;
        if (pos == std::string::npos) {
            Report(csInvalidDevice);
            return false;
        }
        Version = Trim(reply.substr(pos));
        Report(csConnected);
        return true;
    } catch (const std::exception&) {
        Report(csNoConnection);
        return false;
    }
}

bool EnsureRadioIdentified() {
    return IdentifyRadio(Module().VersionText, Module().IsRM7UX);
}

bool QueryField(const std::string& Command, std::string& Reply, int From, int Count) {
    return EndCommand(Port().WriteEchoed(Command) && ReadSlice(Reply, From, Count));
}

bool ReadField(const std::string& Command, std::string& Reply, int From, int Count) {
    TVVComm2& port = Port();
    bool result = false;
    if (port.WriteEchoed(Command))
        result = ReadSlice(Reply, From, Count);
    // Ends the radio's wait for a new value, whether or not the value came.
    port.WriteChar(kCR);
    return EndCommand(result);
}

bool QueryFieldWithArgument(const std::string& Command, const std::string& Argument,
                            std::string& Reply, int From, int Count) {
    TVVComm2& port = Port();
    bool result = false;
    if (port.WriteEchoed(Command)) {
        if (WaitForSpace())
            port.WriteEchoed(Argument);
        if (ReadSlice(Reply, From, Count)) {
            port.WriteChar(kCR);
            result = true;
        }
    }
    return EndCommand(result);
}

bool QueryUntilPrompt(const std::string& Command, std::string& Reply,
                      const std::string& Terminator) {
    TVVComm2& port = Port();
    bool result = port.WriteEchoed(Command) && port.ReadUntil(Reply, Terminator, 80, 3000);
    if (!result)
        AbandonCommand();
    return result;
}

bool SetField(const std::string& Command, const std::string& Value) {
    TVVComm2& port = Port();
    Module().Shown.clear();
    bool result = false;
    if (!port.WriteEchoed(Command)) {
        port.WriteChar(kCR);
    } else {
        // The radio shows the current value between two spaces, then waits for the new one.
        result = WaitForSpace() && WaitForShownValue() && port.WriteEchoed(Value);
    }
    return EndCommand(result);
}

bool SetFieldPair(const std::string& Command, const std::string& Argument,
                  const std::string& Value) {
    TVVComm2& port = Port();
    Module().Shown.clear();
    port.PurgeInput();
    if (!FlushRadioLink())
        return EndCommand(false);
    return EndCommand(port.WriteEchoed(Command) && WaitForSpace() && port.WriteEchoed(Argument) &&
                      WaitForSpace() && WaitForShownValue() && port.WriteEchoed(Value));
}

bool WriteAndReadField(const std::string& Command, const std::string& Value, std::string& Reply,
                       int From, int Count) {
    return EndCommand(SetField(Command, Value) && ReadField(Command, Reply, From, Count));
}

bool PulseTransmitter() {
    TVVComm2& port = Port();
    // From the first letter of "O3" on, the radio may be keyed until an "O4" is confirmed.
    ObserveKeying(true);
    Module().TransmitterUnconfirmed = true;
    bool sent = port.WriteEchoed("O3");
    if (sent) {
        WaitForPrompt();
        sent = port.WriteEchoed("O4");
    }
    if (!sent) {
        TransmitterOff();
        return false;
    }
    Module().TransmitterUnconfirmed = false;
    ObserveKeying(false);
    WaitForPrompt();
    return true;
}

bool TransmitterOff() {
    TVVComm2& port = Port();
    Module().TransmitterUnconfirmed = true;
    // The carriage return ends whatever the radio was waiting in; its answer and anything left
    // of the failed command go before "O4", whose echo must be the next thing read.
    port.WriteChar(kCR);
    FlushRadioLink();
    if (!port.WriteEchoed("O4")) {
        AbandonCommand();
        return false;
    }
    Module().TransmitterUnconfirmed = false;
    ObserveKeying(false);
    WaitForPrompt();
    return true;
}

bool TransmitterMayBeOn() {
    return Module().TransmitterUnconfirmed;
}

bool SaveToFlashSilently() {
    TVVComm2& port = Port();
    Module().Shown.clear();
    return port.WriteEchoed("EE") && WaitForPrompt() && port.WriteEchoed("EP") && WaitForPrompt();
}

bool SaveToFlash() {
    return EndCommand(SaveToFlashSilently());
}

bool RestartRadio() {
    TVVComm2& port = Port();
    const bool result =
        port.WriteEchoed("O") && port.WriteText("Z") && port.WaitForChar(kPrompt, 2000, 300);
    // A restarted radio's transmitter is off.
    if (result) {
        Module().TransmitterUnconfirmed = false;
        ObserveKeying(false);
    }
    return result;
}

bool TransmitterTestOn() {
    TVVComm2& port = Port();
    // Keyed from the first letter on, echoed or not, until an "O4" is confirmed.
    ObserveKeying(true);
    Module().TransmitterUnconfirmed = true;
    const bool echoed = port.WriteEchoed("O3");
    port.DrainInput();
    return echoed;
}

bool TransmitterTestOff() {
    TVVComm2& port = Port();
    if (!port.WriteEchoed("O4"))
        return false;
    port.DrainInput();
    Module().TransmitterUnconfirmed = false;
    ObserveKeying(false);
    return true;
}

bool ResetRadio() {
    TVVComm2& port = Port();
    bool wasOpen = port.IsOpen();
    if (!wasOpen)
        OpenRadioPort();
    if (!port.IsOpen())
        return false;
    const bool result = RestartRadio();
    if (result) {
        // The radio has restarted: whatever was identified before no longer stands.
        Report(csTimeOut);
        port.WriteChar(kCR);
    }
    if (!wasOpen)
        CloseRadioPort();
    return result;
}

int64_t ReadSerialNumber() {
    std::string reply;
    if (!ReadField("PN", reply, 2, 8))
        return -1;
    auto value = TryHexToInt64(reply);
    return value ? *value : -1;
}

bool ReadBandWidth(double& Bandwidth) {
    std::string reply;
    if (!ReadField("PB", reply, 2, 2))
        return false;
    auto value = TryHexToInt64(reply);
    if (!value)
        return false;
    Bandwidth = *value == 0 ? 25000.0 : *value == 1 ? 12500.0 : -1.0;
    return true;
}

bool FlushRadioLink() {
    TVVComm2& port = Port();
    port.ApplyTimeouts(0, 100, 100, 0, 0);
    const bool silent = port.DrainInput();
    port.RestoreTimeouts();
    return silent;
}

bool EnterModemConfigMode(const std::string& Password, std::string* LastReply) {
    if (LastReply != nullptr)
        LastReply->clear();
    if (!OpenRadioPort())
        return false;
    TVVComm2& port = Port();
    std::string reply;
    auto attempt = [&]() -> bool {
        if (!port.WriteText("\r") || ReadModemReply(reply, 2000, 100) == 0)
            return false;
        if (!Contains(reply, "OK")) {
            ShowErrorBox(kNotAModem);
            return false;
        }
        if (!port.WriteText("ATI\r") || ReadModemReply(reply, 2000, 100) == 0)
            return false;
        if (!Contains(reply, "M82")) {
            ReadModemReply(reply, 2000, 100);
            if (!reply.empty() && !Contains(reply, "M82")) {
                ShowErrorBox(kNotAModem);
                return false;
            }
        }
        if (!port.WriteText("AT#R\r") || ReadModemReply(reply, 2000, 100) == 0)
            return false;
        if (!Contains(UpperCase(reply), "PASSWORD"))
            ReadModemReply(reply, 3000, 100);
        if (!Contains(UpperCase(reply), "PASSWORD"))
            return false;
        if (!port.WriteText(Password + "\r"))
            return false;
        ReadModemReply(reply, 200, 50);
        if (!port.WriteText("AT#C9\r"))
            return false;
        return ReadModemReply(reply, 200, 50) > 0;
    };
    bool result = attempt();
    CloseRadioPort();
    if (LastReply != nullptr)
        *LastReply = reply;
    return result;
}

bool ExitModemConfigMode(bool& ConfigLoaded) {
    ConfigLoaded = false;
    if (!OpenRadioPort())
        return false;
    TVVComm2& port = Port();
    port.SetImmediateTimeouts();
    auto attempt = [&]() -> bool {
        std::string reply;
        if (!port.WriteText(std::string(1, '\x03')))
            return false;
        // The modem answers ETX at once, but a modem (or a machine) under load may take longer
        // than the wait: ATZ goes all the same, and only its answer decides. Given up after
        // ETX, the modem would stay in its radio configuration mode.
        ReadModemReply(reply, 200, 10);
        port.WriteText("\r");
        Pause(100);
        if (!port.WriteText("ATZ\r"))
            return false;
        ReadModemReply(reply, 200, 10);
        Pause(200);
        // The echo and "Config loaded OK" (after the modem has reloaded) may come in pieces:
        // read until it has come or the modem falls silent.
        std::string answer;
        while (ReadModemReply(reply, 200, 10) > 0) {
            answer += reply;
            if (Contains(LowerCase(answer), "config loaded ok"))
                break;
        }
        if (answer.empty())
            return false;
        ConfigLoaded = Contains(LowerCase(answer), "config loaded ok");
        return true;
    };
    bool result = attempt();
    port.RestoreTimeouts();
    CloseRadioPort();
    return result;
}
