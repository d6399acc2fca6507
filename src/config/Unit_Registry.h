#pragma once
// The serial port last chosen, remembered per user.

#include <cstdint>
#include <string>

#include "platform/Registry.h"

class TRadioConfigRegistry : public TRegistry {
  public:
    TRadioConfigRegistry();
    explicit TRadioConfigRegistry(std::string storeFileName);

    // CommPort from the store: 1 when it is absent, not a number or outside 1..256.
    void ReadSettings();
    // CommPort into the store; a store that cannot be written is ignored.
    void WriteSettings();

    std::string KeyPath = "\\Software\\KorvaTech\\CFG_RM7UX_Radio";
    std::string SubKeyName = "Serial";
    uint32_t CommPort = 1;
};
