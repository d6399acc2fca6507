#pragma once
// The radio's (and the modem's) behaviour, byte in, bytes out, without any I/O or clock: the
// emulator feeds it one received byte at a time and sends what it answers.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "emulator/RadioEmulator.h"

// A piece of output, sent after a pause (a reset, the modem loading its configuration).
struct RadioOutput {
    std::chrono::milliseconds Pause{0};
    std::string Text;
};

// True when this firmware understands "PV": every RM7VX, and RM7UX firmware from 1.12 revision A.
bool FirmwareKnowsPV(const std::string& versionText);

class RadioMachine {
  public:
    RadioMachine(RadioPersonality radio, bool modem, std::string modemPassword);

    // A LoseOnce fault that took its character is reset in `faults`.
    void Receive(char c, RadioFaults& faults, std::vector<RadioOutput>& out);

    void SwapRadio(const RadioPersonality& radio);
    const RadioPersonality& Radio() const { return radio_; }
    RadioPersonality& Radio() { return radio_; }
    bool Transmitting() const { return transmitting_; }
    bool InRadioMode() const { return !modem_ || radioMode_; }
    int CommandsAnswered() const { return commands_; }

    std::vector<RadioEvent> Events;
    bool RecordEvents = true;  // false: events only go to OnEvent
    std::function<void(const RadioEvent&)> OnEvent;
    void Record(std::string kind, std::string command = "", std::string value = "");

    static constexpr std::chrono::milliseconds ResetPause{50};
    static constexpr std::chrono::milliseconds ConfigLoadPause{100};

  private:
    enum class State { Idle, Command, Value, PlLevel };

    void RadioByte(char c, RadioFaults& f, std::vector<RadioOutput>& out);
    // Whether `c`, arriving now, is the character a LoseOnce fault names.
    bool IsLostCharacter(char c, const LoseOnce& lose) const;
    void ModemByte(char c, const RadioFaults& f, std::vector<RadioOutput>& out);
    void ModemLine(const std::string& line, std::vector<RadioOutput>& out);
    void Dispatch(const std::string& cmd, const RadioFaults& f, std::vector<RadioOutput>& out);
    void TakeDigit(char c, const RadioFaults& f, std::vector<RadioOutput>& out);
    void EndCommand(const RadioFaults& f, std::vector<RadioOutput>& out, const std::string& text);
    std::string Shown(const std::string& code, const RadioFaults& f) const;
    void ResetEntry();

    RadioPersonality radio_;
    bool modem_;
    std::string password_;

    // radio
    State state_ = State::Idle;
    std::string command_;  // letters typed so far / the field being entered ("PL2" for PL)
    std::string digits_;
    bool eeArmed_ = false;
    bool transmitting_ = false;
    int commands_ = 0;
    int echoesLost_ = 0;

    // modem
    bool radioMode_ = false;
    bool unlocked_ = false;
    bool awaitingPassword_ = false;
    std::string line_;
};
