#pragma once
// The radio's whole flash configuration as plain values: what a read of the radio fills, what a
// configuration file holds and what a program writes.

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

// Every flash field of the radio; -1 marks a field that holds nothing.
struct TRM7UXFlashRecord {
    int32_t Ctcss = -1;              // SC
    int32_t FreqOffset = -1;         // PF
    int32_t Deviation = -1;          // PD
    int32_t ModBalance = -1;         // PM
    int32_t RxFreq = -1;             // PR, channel number
    int32_t TxFreq = -1;             // PT, channel number
    int32_t RevPowerThreshold = -1;  // PV; -1 when the firmware has no PV
    int64_t SerialNumber = -1;       // PN
    int32_t PttTimeout = -1;         // PP, seconds
    int32_t ChannelSpacing = -1;     // PC: 0 = 6.25 kHz, 1 = 5 kHz
    // P1..P4: receive low, receive high, transmit low, transmit high. Element 0 is P1; Range(n)
    // takes the radio's numbering.
    std::array<int32_t, 4> FreqRange{-1, -1, -1, -1};
    int32_t FreqBandCode = -1;                          // PA
    int32_t ShutdownTemp = -1;                          // PS, degrees C + 40
    int32_t PowerLevel = -1;                            // PW, 0..3
    int32_t BandWidth = -1;                             // PB: 0 = 25 kHz, 1 = 12.5 kHz
    std::array<int32_t, 4> TxPowerCal{-1, -1, -1, -1};  // PL0..PL3
    int32_t RssiOffset = -1;                            // PO
    std::string FirmwareVersion;                        // RV
    int32_t HardwareVersion = -1;                       // RH
    int32_t RadioCheck = -1;                            // RC
    int32_t RadioTemperature = -1;                      // RT, degrees C + 40
    // When the record was read from the radio; the zero time point (the clock's epoch) means
    // never (a reset record, or one loaded from a file).
    std::chrono::system_clock::time_point TimeLoad{};

    int32_t& Range(int n) { return FreqRange.at(static_cast<size_t>(n - 1)); }
    int32_t Range(int n) const { return FreqRange.at(static_cast<size_t>(n - 1)); }

    bool operator==(const TRM7UXFlashRecord&) const = default;
};
