#pragma once
// The data-log document: one recording of meter readings (live, saved readings or a download
// from the meter's logger), with its statistics, title, file and modified state.
//
// It lives on the GUI thread; the recording paths reach it there.
#include "datalog/DataLog.h"

#include <QObject>
#include <QString>
#include <memory>

class CMLogLoader;

struct MeterData;

class CMyOrvelDoc : public QObject, public CDataLog {
    Q_OBJECT
public:
    explicit CMyOrvelDoc(QObject* parent = nullptr);
    ~CMyOrvelDoc() override;

    // Created for live recording; false once loaded from a file or given downloaded points.
    bool m_bLive = true;

    // Adds a point. The limit of `record` is stored with the point; for series 0 the record's
    // reading and limit decide whether the reading counts for the statistics, and views are
    // asked to refresh their summary.
    void AddPoint(int series, double value, const QString& unit, double sampleRate, int index, const QString& dateTime,
        const QString& type, const MeterData& record);
    // The same where no reading record is at hand: the point's own value is tested against
    // `limit`.
    void AddPoint(int series, double value, const QString& unit, double sampleRate, int index, const QString& dateTime,
        const QString& type, float limit);

    // Loads a ".mLog" file. The contents change only when the whole file was good; then the
    // document is no longer live, not modified, and takes the path and the file's name as title.
    bool OnOpenDocument(const QString& path, QString* message = nullptr);
    // Reads a ".mLog" file into this new, empty document on a worker thread: the points come in as
    // they are read (loadProgress), contentsLoaded follows once the whole file was good, as after
    // OnOpenDocument. On a fault loadFailed tells why; the document then holds what was read
    // before it, is not the file's, and should be closed. Meanwhile the title shows the progress.
    void BeginOpenDocument(const QString& path);
    // True from BeginOpenDocument until contentsLoaded or loadFailed: the document is not whole
    // and must not be saved, exported or printed.
    bool IsLoading() const;
    // During BeginOpenDocument: the part of the file read, 0 to 1000.
    int LoadPermille() const;

    // Saves to `path`; on success the document takes that path and is no longer modified.
    bool OnSaveDocument(const QString& path, QString* message = nullptr);

    const QString& GetTitle() const { return m_strTitle; }
    void SetTitle(const QString& title);
    // The file the document was loaded from or saved to; empty for a new document.
    const QString& GetPathName() const { return m_strPathName; }
    void SetPathName(const QString& path);
    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool modified = true);

signals:
    // After a point was added to series 0: the first view refreshes its summary when it is in
    // live mode, with this limit.
    void summaryRefreshRequested(float limit);
    // After a file was loaded: views leave live mode and show the new contents.
    void contentsLoaded();
    // While reading in the background: more points were taken in.
    void loadProgress();
    // Reading in the background failed: `message` is the one-line text for the user.
    void loadFailed(const QString& message);
    void titleChanged(const QString& title);
    void modifiedChanged(bool modified);

private:
    void LoadEnded(bool ok, const QString& message);

    std::unique_ptr<CMLogLoader> m_pLoader;
    QString m_strTitle;
    QString m_strPathName;
    bool m_bModified = false;
};
