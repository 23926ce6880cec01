#pragma once
#include <QString>
#include <QByteArray>
// Writes a file through a temporary beside it that replaces the target only when every byte reached the
// disk: a failed or cancelled save leaves the previous file untouched and no temporary behind.
class CSafeSave {
public:
    explicit CSafeSave(const QString& path);
    ~CSafeSave();                                   // drops the temporary unless committed
    CSafeSave(const CSafeSave&) = delete;
    CSafeSave& operator=(const CSafeSave&) = delete;
    // Refuses folders, devices, FIFOs (also through a symbolic link) and targets that are not writable;
    // creates the temporary. On failure *message gets one line for the user.
    bool Open(QString* message = nullptr);
    // Every write is checked; after the first failure all further writes return false.
    bool Write(const char* data, qint64 size);
    bool Write(const QByteArray& bytes) { return Write(bytes.constData(), bytes.size()); }
    // Flushes, syncs and checks; keeps the permissions of a file it replaces; renames over the target.
    // On failure *message says why with the system's reason ("No space left on device").
    bool Commit(QString* message = nullptr);
    void Cancel();                                  // drops the temporary, target untouched
    bool Failed() const;
    QString ErrorString() const;                    // the system's reason for the first failure
    QString Path() const;
private:
    struct Impl; Impl* d;
};
