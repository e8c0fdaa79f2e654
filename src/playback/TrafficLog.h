#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <cstdint>

namespace kestrun {

// Writes the bytes of a wire exchange as lines of the protocol-1 driver log, which Kestrun
// itself reads back: "[12.03.2024 10:15:30.123] [00001A2C] [DEBUG] TPrinterProtocol -> 05".
class TTrafficLog
{
public:
    // Appends to the file; throws kestrun::Exception when it cannot be opened.
    explicit TTrafficLog(const QString& fileName);

    // The thread the lines are written for: the one that called the driver.
    void SetThread(uint32_t thread) { FThread = thread; }
    void Sent(QByteArrayView bytes);
    void Received(QByteArrayView bytes);

private:
    void Write(const char* arrow, QByteArrayView bytes);

    QFile FFile;
    uint32_t FThread = 0;
};

// The number of the calling thread as the log shows it.
uint32_t CurrentThreadNumber();

} // namespace kestrun
