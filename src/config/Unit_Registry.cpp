#include "config/Unit_Registry.h"

TRadioConfigRegistry::TRadioConfigRegistry() = default;

TRadioConfigRegistry::TRadioConfigRegistry(std::string storeFileName)
    : TRegistry(std::move(storeFileName)) {}

void TRadioConfigRegistry::ReadSettings() {
    CommPort = 1;
    if (!OpenKeyReadOnly(KeyPath + "\\" + SubKeyName))
        return;
    try {
        int32_t port = ReadInteger("CommPort");
        if (port >= 1 && port <= 256)
            CommPort = static_cast<uint32_t>(port);
    } catch (const std::exception&) {
        // Absent or not a number: port 1.
    }
    CloseKey();
}

void TRadioConfigRegistry::WriteSettings() {
    try {
        if (OpenKey(KeyPath + "\\" + SubKeyName, true)) {
            WriteInteger("CommPort", static_cast<int32_t>(CommPort));
        }
    } catch (const std::exception&) {
        // The choice is simply not remembered.
    }
    CloseKey();
}
