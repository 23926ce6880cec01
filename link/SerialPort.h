#pragma once
// The serial port the program holds: the device of the operating system (CSerialDevice, see
// SerialCore.h) behind the names the rest of the program uses. Virtual so that an in-process
// device, such as the simulated dongle, can stand in for the operating system's port.
#include "link/SerialCore.h"

#include <QString>

class CSerialPort : public CSerialStream {
public:
    CSerialPort() = default;
    ~CSerialPort() override = default;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Opens the port with the given number (see DeviceName).
    void Open(int port, int baud, int parity, int dataBits, int stopBits, int flowControl, bool overlapped);
    // Opens a device by name. Closes any open device first. Throws CSerialException.
    virtual void Open(const QString& deviceName, int baud, int parity, int dataBits, int stopBits, int flowControl,
        bool overlapped);
    void Close() override;
    bool IsOpen() const override;
    size_t ReadChunk(uint8_t* buffer, size_t maxCount, int interByteMs) override;
    void CancelIo() override;
    void ResetCancel() override;
    size_t Write(const void* buffer, size_t count) override;
    void Purge(uint32_t flags) override;

    // Communications events of the device (Windows reports them; a terminal has none).
    void SetEventHandler(SerialEventHandler handler) { m_device.SetEventHandler(std::move(handler)); }

    // The device a port number names: "\\.\COMn" on Windows; elsewhere /dev/ttyS(n-1), the usual
    // mapping of COM1 to the first serial line.
    static QString DeviceName(int port);

protected:
    bool m_bOverlapped = false;

private:
    CSerialDevice m_device;
};
