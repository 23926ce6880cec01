#include "datalog/MyOrvelDoc.h"

#include "datalog/MLogFile.h"
#include "protocol/MeterData.h"

#include <QFileInfo>

CMyOrvelDoc::CMyOrvelDoc(QObject* parent)
    : QObject(parent)
{
}

CMyOrvelDoc::~CMyOrvelDoc()
{
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
