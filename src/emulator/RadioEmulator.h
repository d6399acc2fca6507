#pragma once
// The device at the other end of the cable: an RM7UX (low or high power) or an RM7VX radio,
// optionally built into an M82KD modem, behind a pseudo-terminal that is attached as a COM port
// in the per-user ports folder. It is a separate device: it shares no code with the program's
// link and command layer, so a misreading of the protocol cannot hide in both.
//
// Typical use in a test:
//
//     TempDir dir;
//     dir.PointConfigHere();
//     RadioEmulator radio;                      // RM7UH, first free COM number from 100
//     radio.Start();                            // attaches COM<radio.ComPort()>
//     ... drive the program against ComName() ...
//     EXPECT_EQ(radio.EventTexts(), (std::vector<std::string>{"cr", "rv", "read PN"}));
//     radio.Stop();                             // also done by the destructor
//
// What the radio sends (\r\n is a line end, > the prompt):
//   every character received is echoed as received (unless a fault says otherwise);
//   lone \r                 -> \r\n>
//   RV                      -> " " + version text + \r\n>
//   RH RT RR RC (read-only) -> " " + 2 hex digits + \r\n>
//   editable field          -> " " + current value + " ", then exactly the field's digits (each
//                              echoed, taken when complete) or \r (value unchanged); then \r\n>
//   PL                      -> " ", then a level digit 0..3 (echoed), then " " + value + " " and
//                              a value or \r as for editable fields
//   EE, then EP             -> \r\n> each; EP after EE copies the working settings to flash
//   O3 / O4                 -> \r\n> (transmitter on / off)
//   O then Z                -> reset: working settings from flash, \r\n + version + \r\n>
//   PV on RM7UX firmware older than 1.12 revision A, and any unknown command -> ?\r\n>
// M82KD modem: in AT mode characters are echoed and lines end with \r: an empty line and "AT"
// answer OK, "ATI" names the M82KD, "AT#R" asks for the password, the password unlocks,
// "AT#C9" (unlocked) switches to the radio, "ATZ" answers "Config loaded OK" a moment later.
// ETX (byte 3) in radio mode returns to AT mode.
// Unlike a real port, the pty's port side stays open for the radio's whole life, so what the
// program leaves unread when it closes the port (the "\r\n>" after the carriage return that ends
// a reset, say) is still waiting at its next open. The exclusive flag (TIOCEXCL), which a pty
// would keep while the radio holds it, is cleared when the last client closes, as a real port
// forgets it.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/LineTransport.h"

// Every field of the radio, as numbers; on the wire each is upper-case hex of its width.
// Editable: PN (8 digits); PB PC PA PD PM PF PW PP PS SC PO PV and PL0..PL3 (2 digits);
// PT PR P1 P2 P3 P4 (4 digits). Read-only status: RH RT RR RC (2 digits).
struct RadioFields {
    uint32_t PN = 0;  // serial number (decimal 12345678 is sent as 00BC614E)
    uint32_t PB = 0, PC = 0, PA = 0, PD = 0, PM = 0, PF = 0, PW = 0, PP = 0, PS = 0, SC = 0;
    uint32_t PO = 0, PV = 0;
    uint32_t PT = 0, PR = 0, P1 = 0, P2 = 0, P3 = 0, P4 = 0;
    std::array<uint32_t, 4> PL{};
    uint32_t RH = 0, RT = 0, RR = 0, RC = 0;

    // Access by code: "PT", "PL2", "RT"... Get and Set throw std::out_of_range for other codes.
    static int Width(const std::string& code);  // 2, 4 or 8; 0 for an unknown code
    static bool IsEditable(const std::string& code);
    uint32_t Get(const std::string& code) const;
    void Set(const std::string& code, uint32_t value);  // masked to the field's width
    bool operator==(const RadioFields&) const = default;
};

// One radio: what "RV" answers, its working settings and its flash.
struct RadioPersonality {
    std::string VersionText;
    RadioFields Fields;  // working settings: what commands read and write
    RadioFields Flash;   // EE then EP copies the editable fields here; O then Z copies them back

    // Realistic defaults. RM7UX: band code 140 (8C), limits 430-450 MHz (5140-5DC0), TX = RX =
    // 440 MHz (5780), 6.25 kHz step, 25 C, PTT time-out 60 s, cut-out 65 C. RM7VX: band code 2,
    // limits 148-174 MHz (1E00-2E40), TX = RX = 161 MHz (2620). No serial: the model's default;
    // 0 is a serial like any other.
    using Serial = std::optional<uint32_t>;
    static RadioPersonality RM7UH(Serial serial = {});  // "RM7UH V1.12A", serial 12345678
    static RadioPersonality RM7UL(Serial serial = {});  // "RM7UL V1.11Z" (no PV), 12345601
    static RadioPersonality RM7VX(Serial serial = {});  // "RM7VX V2.03", serial 11223344
    // By name: "RM7UH", "RM7UL" or "RM7VX" (any letter case); throws std::invalid_argument.
    static RadioPersonality ByName(const std::string& model, Serial serial = {});
    // Sets the serial number in both the working settings and flash.
    void SetSerial(uint32_t serial);
};

// Where a character lost once sits in its command.
enum class LostAt {
    CommandLetter,  // the command's last character: "T" of "PT", the level "2" of "PL2"
    FirstDigit,     // the value's first digit
    LastDigit,      // the value's last digit
};
struct LoseOnce {
    std::string Command;  // "PT", "PL2", "EP", "O3"
    LostAt At = LostAt::CommandLetter;
    // True: lost on its way in, so the radio never sees it. False: lost on its way back, so the
    // radio acts on it and only its echo is missing.
    bool OnTheWayIn = false;
    // Armed once the radio has recorded AfterCount events with this text (RadioEvent::Text) since
    // the fault was set, "" for at once: the same command may be read before it is written.
    std::string AfterEvent;
    int AfterCount = 1;
};

// Faults, switchable at any time while the radio runs.
struct RadioFaults {
    bool Silent = false;         // swallows everything, answers nothing, records nothing
    bool NoEcho = false;         // processes commands but echoes nothing
    bool WrongEcho = false;      // echoes '#' (or '*' for '#') in place of each character
    bool LowerCaseEcho = false;  // echoes letters in lower case
    std::string GarbageField;    // its value is sent as 'X's: "PT", "RT", "PL" (every level)...
    bool NoModel = false;        // "RV" answers "XR900 V1.00", naming no model
    bool NoPrompt = false;       // line ends as usual, but never a ">"
    int CharDelayMs = 0;         // slow replies: this much longer for every character sent
    // Answers this many commands (a lone carriage return is not a command), then hangs up at the
    // next byte it receives: the port side's reads then fail with EIO. -1: never.
    int HangUpAfterCommands = -1;
    // The echo of this command's last letter is lost ("O4"); the command still acts. The first
    // LoseEchoTimes such commands of the radio's life, or every one when -1.
    std::string LoseEchoOf;
    int LoseEchoTimes = -1;
    // One character lost once; then the fault is spent, and Faults() no longer holds it.
    std::optional<LoseOnce> Lose;
    // The M82KD answers ETX this much later (a modem, or a machine, under load).
    int EtxReplyDelayMs = 0;
};

// What the radio saw. Kind is one of:
//   "read"     an editable field shown and left with \r, or a read-only field (Command "PT",
//              "PL2", "RT")
//   "write"    a value taken (Command, Value = the digits as received, e.g. "5780")
//   "cancel"   an entry abandoned with \r after some digits (Value = those digits), or a command
//              abandoned after its first letter (Command = that letter)
//   "bad"      a non-hex character where a digit (or a level 0..3) was expected (Value = typed)
//   "rv" "cr" "ee" "flash" "reset" "tx on" "tx off"
//   "unknown"  an unknown or refused command (Command), e.g. "PV" on old firmware; "EP"
//              without "EE" first is also recorded as unknown
//   "at"       a modem command line (Command = the line as typed, "" for an empty line)
//   "password" a line typed after AT#R (Command = the text)
//   "etx"      ETX received by the modem
//   "lost"     the character of a LoseOnce fault (Command, Value "in" or "back")
//   "hangup"   the radio hung up (fault or HangUp())
//   "error"    the radio's thread failed (Command = the reason, e.g. thrown by OnEvent); it then
//              hangs up
struct RadioEvent {
    std::string Kind;
    std::string Command;
    std::string Value;
    // Kind, then " " + Command and " " + Value when not empty: "read PN", "write PT 5780",
    // "cancel PD 5", "flash", "tx on", "at ATI", "at" (empty line).
    std::string Text() const;
    bool operator==(const RadioEvent&) const = default;
};

// The line as the port side set it: "9600 8N1" (speed, data bits, parity N/O/E/M/S, stop bits);
// a speed this machine has no name for reads as 0.
std::string LineText(const LineSettings& line);

struct EmulatorOptions {
    RadioPersonality Radio = RadioPersonality::RM7UH();
    bool Modem = false;  // the radio sits inside an M82KD modem, which starts in AT mode
    bool Pace = false;   // 9600 baud: every character takes 10 bits = 1.0417 ms each way
    // 0: the first free number from 100, never one another radio holds; a number given here
    // replaces whatever link has it.
    uint32_t ComPort = 0;
    std::string ModemPassword = "TIDEWAter";
    // False: Events() stays empty and WaitForEvent waits in vain, so that a radio served for
    // hours does not grow; OnEvent still sees every event.
    bool RecordEvents = true;
    // Called on the radio's thread for every event, while the radio's state is locked: it must
    // not call back into the emulator.
    std::function<void(const RadioEvent&)> OnEvent;
    // Called on the radio's thread when bytes arrive on a line set otherwise than for the bytes
    // before (the first time too): what a device server or the program set it to.
    std::function<void(const LineSettings&)> OnLine;
};

class RadioMachine;
class PseudoTerminal;

class RadioEmulator {
  public:
    explicit RadioEmulator(EmulatorOptions options = {});
    ~RadioEmulator();
    RadioEmulator(const RadioEmulator&) = delete;
    RadioEmulator& operator=(const RadioEmulator&) = delete;

    // Makes the pseudo-terminal, attaches it as COM n and starts the radio's thread. Throws
    // std::runtime_error when no pty or no port link can be had. Start after Stop starts afresh
    // on a new pty, with the radio's state kept.
    void Start();
    // Stops the thread, removes the COM link and closes the pty. Safe to call twice.
    void Stop();
    bool Running() const { return thread_.joinable(); }

    uint32_t ComPort() const { return comPort_; }
    std::string ComName() const;                          // "COM101"
    std::string SlavePath() const { return slavePath_; }  // "/dev/pts/7"

    // The line as the port side last set it (speed, data bits, parity, stop bits), read from
    // the pseudo-terminal's settings: what the program, or a device server for it, asked for.
    LineSettings LineSeen() const;

    void SetFaults(const RadioFaults& faults);
    RadioFaults Faults() const;
    // Closes the device side now: another device unplugged.
    void HangUp();
    bool HungUp() const { return hungUp_; }

    // Another radio plugged in: personality, serial, fields and flash replaced; any command in
    // progress, an armed EE and the transmitter are dropped. A modem stays in its mode.
    void SwapRadio(const RadioPersonality& radio);
    RadioPersonality Radio() const;
    uint32_t Field(const std::string& code) const;  // working value, e.g. Field("PT")
    uint32_t FlashField(const std::string& code) const;
    void SetField(const std::string& code, uint32_t value);  // working value
    bool Transmitting() const;
    bool ModemInRadioMode() const;  // false for a plain radio

    // Events are recorded before the radio sends the reply that completes them, so once the
    // program has seen the prompt the event is there.
    std::vector<RadioEvent> Events() const;
    std::vector<std::string> EventTexts() const;
    void ClearEvents();
    // Waits until an event with this Text() has been recorded (also one recorded earlier).
    bool WaitForEvent(const std::string& text,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) const;

    uint64_t BytesReceived() const { return bytesReceived_; }
    uint64_t BytesSent() const { return bytesSent_; }
    void ResetCounters();

    static constexpr std::chrono::nanoseconds CharTime{1041667};  // 10 bits at 9600 baud

  private:
    void Run();
    void Serve();
    void Fail(const std::string& what);
    void Transmit(const std::string& text, int charDelayMs);
    bool SleepUntil(std::chrono::steady_clock::time_point t);  // false when stopping
    void DoHangUp();
    void ForgetExclusiveWhenUnused();

    EmulatorOptions options_;
    std::unique_ptr<RadioMachine> machine_;  // guarded by stateMutex_
    mutable std::mutex stateMutex_;
    mutable std::condition_variable eventsChanged_;
    RadioFaults faults_;       // guarded by stateMutex_
    bool hangUpDone_ = false;  // guarded by stateMutex_

    std::unique_ptr<PseudoTerminal> pty_;
    uint32_t comPort_ = 0;
    std::string slavePath_;
    int wakeFd_ = -1;
    int closesFd_ = -1;  // inotify: closes of the port side
    std::thread thread_;

    std::mutex stopMutex_;
    std::condition_variable stopCv_;
    bool stopping_ = false;  // guarded by stopMutex_
    std::atomic<bool> hangUpRequested_{false};
    std::atomic<bool> hungUp_{false};
    std::atomic<uint64_t> bytesReceived_{0};
    std::atomic<uint64_t> bytesSent_{0};
    std::chrono::steady_clock::time_point rxFree_{}, txFree_{};
    std::string lastLine_;  // radio thread only: the line the last bytes came on
};
