#include "datalog/MLogLoader.h"

#include "datalog/MLogFile.h"

#include <QFileInfo>
#include <QTimer>
#include <memory>

namespace {

constexpr int kPiecesOnTheirWay = 16;

// Thrown out of the reading when the loader goes away.
struct Stopped { };

} // namespace

CMLogLoader::CMLogLoader(const QString& path, CDataLog* target, QObject* parent)
    : QObject(parent)
    , m_strPath(path)
    , m_pTarget(target)
    , m_slots(kPiecesOnTheirWay)
    , m_pNext(new QTimer(this))
{
    // A timer of its own: a zero-time single shot would be a posted call, run in the same turn.
    m_pNext->setSingleShot(true);
    m_pNext->setInterval(0);
    connect(m_pNext, &QTimer::timeout, this, &CMLogLoader::TakeNext);
}

CMLogLoader::~CMLogLoader()
{
    m_bCancel = true;
    // A worker waiting for a slot wakes and finds it is to stop.
    m_slots.release(kPiecesOnTheirWay + 1);
    if (m_worker.joinable())
        m_worker.join();
    // What it posted meanwhile goes with this object.
}

void CMLogLoader::Start()
{
    if (m_bRunning || m_worker.joinable())
        return;
    m_bRunning = true;
    m_nFileBytes = QFileInfo(m_strPath).size();
    m_worker = std::thread([this] {
        Handed end;
        end.statistics = std::make_unique<CDataLog>();
        CDataSeries::CReadyBlocks ready;
        try {
            end.ok = mlog::LoadInPieces(
                m_strPath, *end.statistics,
                [this](int series, CDataSeries&& piece, qint64 position) {
                    m_slots.acquire();
                    if (m_bCancel)
                        throw Stopped {};
                    Handed h;
                    h.series = series;
                    h.piece = std::make_unique<CDataSeries>(std::move(piece));
                    h.position = position;
                    Hand(std::move(h));
                },
                &end.message, &ready);
        } catch (const Stopped&) {
            return;
        }
        Hand(std::move(end));
    });
}

void CMLogLoader::Hand(Handed&& h)
{
    bool wasEmpty;
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        wasEmpty = m_handed.empty();
        m_handed.push_back(std::move(h));
    }
    // One call is on its way whenever something waits.
    if (wasEmpty)
        QMetaObject::invokeMethod(this, &CMLogLoader::TakeNext, Qt::QueuedConnection);
}

void CMLogLoader::TakeNext()
{
    Handed h;
    bool more;
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        if (m_handed.empty())
            return;
        h = std::move(m_handed.front());
        m_handed.pop_front();
        more = !m_handed.empty();
    }
    if (!h.piece) {
        Finish(h);
        return;
    }
    m_pTarget->TakePiece(h.series, *h.piece);
    m_slots.release();
    if (m_nFileBytes > 0)
        m_nPermille = int(std::min<qint64>(1000, h.position * 1000 / m_nFileBytes));
    h.piece.reset();
    // A timer, not a posted call: the next piece waits for the next turn of the loop.
    if (more)
        m_pNext->start();
    emit progressed();
}

void CMLogLoader::Finish(Handed& end)
{
    if (m_worker.joinable())
        m_worker.join();
    m_bRunning = false;
    m_pTarget->DropSpareBlocks();
    if (end.ok) {
        m_pTarget->TakeStoredStatistics(*end.statistics);
        m_nPermille = 1000;
    }
    emit finished(end.ok, end.message);
}
