#include "config/SerialGuard.h"

bool IsValidSerialNumber(int64_t serial) {
    return serial >= 1000000 && serial <= 12999999;
}

std::string FormatSerialNumber(int64_t serial) {
    std::string text = std::to_string(serial);
    // Zeros in front of a minus sign would make a number of it that it is not.
    if (serial >= 0 && text.size() < 8)
        text.insert(0, 8 - text.size(), '0');
    return text;
}

SerialDecision DecideSerialNumber(int64_t fileSerial, int64_t radioSerial) {
    if (fileSerial != -1 && radioSerial != -1 && fileSerial == radioSerial)
        return SerialDecision::WriteWithoutSerial;
    if (IsValidSerialNumber(fileSerial) && !IsValidSerialNumber(radioSerial))
        return SerialDecision::ConfirmAndWriteSerial;
    if (fileSerial == -1)
        return SerialDecision::WriteWithoutSerial;
    return SerialDecision::WrongDevice;
}

std::string WrongDeviceText(int64_t fileSerial, int64_t radioSerial) {
    return "Wrong device !!\r\n\r\nThe configuration in this file is for a different module with "
           "serial number '" +
           FormatSerialNumber(fileSerial) + "'\r\nThe connected device has serial number '" +
           FormatSerialNumber(radioSerial) +
           "'\r\nThe serial number is printed on the Printed Circuit Board (PCB)";
}

std::string InvalidSerialWarningText(int64_t fileSerial) {
    return "Invalid serial number in connect device!!\r\n\r\nThe connected device appears not to "
           "have a correctly programmed serial number.\r\nThe serial number is a unique number "
           "printed on the devices Printed Circuit Board (PCB).\r\n\r\n"
           "The PCB serial number keeps a configuration from being programmed into the wrong\r\n"
           "device: a configuration holds the calibration of one device, and programmed into\r\n"
           "another it could damage the connected device.\r\n\r\n"
           "Make sure that the connected device is the correct device for this configuration "
           "!!!\r\nThe PCB Serial Number should be '" +
           FormatSerialNumber(fileSerial) + "'\r\nIf it is not abort now !!!";
}

std::string ProgramSerialQuestionText(int64_t fileSerial) {
    return "Program Serial Number ?\r\n\r\nThe serial number for the connect device will be "
           "programmed with '" +
           FormatSerialNumber(fileSerial) +
           "'\r\nMake sure this is the correct Serial number and press OK to proceed.";
}

std::string ChangeSerialWarningText(int64_t radioSerial, int64_t newSerial) {
    return "Change the serial number ?!!\r\n\r\nThe connected device has serial number '" +
           FormatSerialNumber(radioSerial) +
           "'.\r\nThe serial number is a unique number printed on the devices Printed Circuit "
           "Board (PCB); it keeps a configuration from being programmed into the wrong device."
           "\r\n\r\nMake sure that '" +
           FormatSerialNumber(newSerial) +
           "' is the number printed on this device's PCB !!!\r\nIf it is not abort now !!!";
}
