#include "datalog/MyOrvelDoc.h"

#include "datalog/MLogFile.h"
#include "datalog/MLogLoader.h"
#include "protocol/MeterData.h"

#include <QFileInfo>

CMyOrvelDoc::CMyOrvelDoc(QObject* parent)
    : QObject(parent)
{
}

CMyOrvelDoc::~CMyOrvelDoc()
{
    // The reading stops before the points it fills go.
    m_pLoader.reset();
    DeleteContents();
}

void CMyOrvelDoc::AddPoint(int series, double value, const QString& unit, double sampleRate, int index,
    const QString& dateTime, const QString& type, const MeterData& record)
{
    if (series < 0 || series >= kSeriesCount)
        return;
    const bool main
        = CDataLog::AddPoint(series, value, unit, sampleRate, index, dateTime, type, record.m_fLimit, record.m_fValue);
    // A recording that is not saved yet would be lost silently on close.
    SetModifiedFlag(true);
    if (main)
        emit summaryRefreshRequested(record.m_fLimit);
}

void CMyOrvelDoc::AddPoint(int series, double value, const QString& unit, double sampleRate, int index,
    const QString& dateTime, const QString& type, float limit)
{
    MeterData record;
    record.m_fLimit = limit;
    record.m_fValue = static_cast<float>(value);
    AddPoint(series, value, unit, sampleRate, index, dateTime, type, record);
}

bool CMyOrvelDoc::OnOpenDocument(const QString& path, QString* message)
{
    CDataLog loaded;
    if (!mlog::Load(path, loaded, message))
        return false;
    DeleteContents();
    static_cast<CDataLog&>(*this) = std::move(loaded);
    m_bLive = false;
    SetPathName(path);
    SetModifiedFlag(false);
    emit contentsLoaded();
    return true;
}

void CMyOrvelDoc::BeginOpenDocument(const QString& path)
{
    m_pLoader.reset();
    DeleteContents();
    static_cast<CDataLog&>(*this) = CDataLog();
    m_bLive = false;
    m_strPathName = path;
    const QString name = QFileInfo(path).fileName();
    SetTitle(name);
    SetModifiedFlag(false);
    m_pLoader = std::make_unique<CMLogLoader>(path, this);
    connect(m_pLoader.get(), &CMLogLoader::progressed, this, [this, name] {
        SetTitle(QStringLiteral("%1 (reading, %2%)").arg(name).arg(m_pLoader->Permille() / 10));
        emit loadProgress();
    });
    connect(m_pLoader.get(), &CMLogLoader::finished, this, &CMyOrvelDoc::LoadEnded);
    m_pLoader->Start();
}

bool CMyOrvelDoc::IsLoading() const
{
    return m_pLoader && m_pLoader->IsRunning();
}

int CMyOrvelDoc::LoadPermille() const
{
    return m_pLoader ? m_pLoader->Permille() : 0;
}

void CMyOrvelDoc::LoadEnded(bool ok, const QString& message)
{
    if (!ok) {
        m_strPathName.clear();
        emit loadFailed(message);
        return;
    }
    SetPathName(m_strPathName);
    SetModifiedFlag(false);
    emit contentsLoaded();
}

bool CMyOrvelDoc::OnSaveDocument(const QString& path, QString* message)
{
    if (!mlog::Save(path, *this, message))
        return false;
    SetPathName(path);
    SetModifiedFlag(false);
    return true;
}

void CMyOrvelDoc::SetTitle(const QString& title)
{
    if (title == m_strTitle)
        return;
    m_strTitle = title;
    emit titleChanged(title);
}

void CMyOrvelDoc::SetPathName(const QString& path)
{
    m_strPathName = path;
    SetTitle(QFileInfo(path).fileName());
}

void CMyOrvelDoc::SetModifiedFlag(bool modified)
{
    if (modified == m_bModified)
        return;
    m_bModified = modified;
    emit modifiedChanged(modified);
}
