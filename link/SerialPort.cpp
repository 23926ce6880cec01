#include "link/SerialPort.h"

QString CSerialPort::DeviceName(int port)
{
    return QString::fromStdString(CSerialDevice::DeviceName(port));
}

void CSerialPort::Open(int port, int baud, int parity, int dataBits, int stopBits, int flowControl, bool overlapped)
{
    Open(DeviceName(port), baud, parity, dataBits, stopBits, flowControl, overlapped);
}

void CSerialPort::Open(
    const QString& deviceName, int baud, int parity, int dataBits, int stopBits, int flowControl, bool overlapped)
{
    m_bOverlapped = false;
#ifdef _WIN32
    const std::string name = deviceName.toStdString(); // UTF-8, widened by the device
#else
    const std::string name = deviceName.toLocal8Bit().toStdString();
#endif
    m_device.Open(name, baud, parity, dataBits, stopBits, flowControl);
    m_bOverlapped = overlapped;
}

void CSerialPort::Close()
{
    m_device.Close();
    m_bOverlapped = false;
}

bool CSerialPort::IsOpen() const
{
    return m_device.IsOpen();
}

size_t CSerialPort::ReadChunk(uint8_t* buffer, size_t maxCount, int interByteMs)
{
    return m_device.ReadChunk(buffer, maxCount, interByteMs);
}

void CSerialPort::CancelIo()
{
    m_device.CancelIo();
}

void CSerialPort::ResetCancel()
{
    m_device.ResetCancel();
}

size_t CSerialPort::Write(const void* buffer, size_t count)
{
    return m_device.Write(buffer, count);
}

void CSerialPort::Purge(uint32_t flags)
{
    m_device.Purge(flags);
}
