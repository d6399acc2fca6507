#pragma once
// The window's COM port list as a technician needs it: items 1 to 256 as ever (an item's index
// is its number less one, the closed box shows only the number), with the ports present marked
// in bold and described in the drop-down ("33 – FTDI FT232R USB UART (A1B2C3)") and tooltips.
// The marks follow cables plugged in and out and links made in the ports folder.

#include <QObject>
#include <QString>
#include <memory>
#include <vector>

#include "platform/SerialPorts.h"

class QComboBox;
class QSocketNotifier;
class QTimer;
class PortWatcher;

class TPortList : public QObject {
    Q_OBJECT
  public:
    explicit TPortList(QComboBox* box);
    ~TPortList() override;

    // Reads the ports present again and marks the list.
    void Refresh();
    // The port COM n leads to, or nullptr when none is present.
    const SerialPortInfo* Present(uint32_t n) const;
    // "COM33: /dev/ttyUSB0, FTDI FT232R USB UART (A1B2C3)"; "COM33: /dev/ttyUSB0, not present".
    QString DeviceText(uint32_t n) const;
    const std::vector<SerialPortInfo>& Ports() const { return ports_; }

  signals:
    void PortsChanged();

  private:
    void ShowCurrentTooltip();

    QComboBox* box_;
    std::vector<SerialPortInfo> ports_;
    std::unique_ptr<PortWatcher> watcher_;
    QSocketNotifier* notifier_ = nullptr;
    // udev makes the by-id names a moment after the kernel reports the device.
    QTimer* settle_ = nullptr;
};
