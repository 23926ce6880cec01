#pragma once
// Reading a large ".mLog" file on a thread of its own while its points are shown as they come:
// a file of ten million readings takes about a second to read, and the window neither freezes
// meanwhile nor waits for the last point to draw the first.
//
// The worker only parses; each piece it read is taken into the target document on the thread
// the loader lives on (the GUI thread), which alone touches documents, one piece per turn of its
// event loop so that input and painting get their turns in between. At most a few pieces wait at
// a time, so a slow window does not let the read run ahead into memory. Core code: QtCore.
#include "datalog/DataLog.h"

#include <QObject>
#include <QSemaphore>
#include <QString>
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class QTimer;

class CMLogLoader : public QObject {
    Q_OBJECT
public:
    // Reads into `target`, which must be empty and outlive the loader (or the loader's end).
    CMLogLoader(const QString& path, CDataLog* target, QObject* parent = nullptr);
    // Stops the reading (at the next piece) and waits for the worker.
    ~CMLogLoader() override;

    void Start();
    bool IsRunning() const { return m_bRunning; }
    // The part of the file the pieces taken so far came from (0 to 1000).
    int Permille() const { return m_nPermille; }

signals:
    // After a piece was taken into the target.
    void progressed();
    // Once the whole file was read: `ok` when it was good, and then the target also holds the
    // stored statistics; otherwise `message` is the one-line text for the user ("Cannot open
    // ...") and the target holds the points read before the fault.
    void finished(bool ok, const QString& message);

private:
    // What the worker hands over: a piece, or (no piece) the end of the reading.
    struct Handed {
        int series = 0;
        std::unique_ptr<CDataSeries> piece;
        qint64 position = 0;
        bool ok = false;
        QString message;
        std::unique_ptr<CDataLog> statistics;
    };
    void Hand(Handed&& h);
    // Takes the next handed item; another turn takes the one after.
    void TakeNext();
    void Finish(Handed& end);

    QString m_strPath;
    CDataLog* m_pTarget;
    std::thread m_worker;
    std::atomic<bool> m_bCancel { false };
    // Pieces the worker may have on their way before it waits for the window to take one.
    QSemaphore m_slots;
    QTimer* m_pNext; // takes the next piece in the next turn
    std::mutex m_lock;
    std::deque<Handed> m_handed; // guarded by m_lock
    qint64 m_nFileBytes = 0;
    int m_nPermille = 0;
    bool m_bRunning = false;
};
