#pragma once
// The "OSC" window: one oscilloscope record in its graph, the FFT/return toggle (a status 3
// record only), "UnDo Zoom", the read-out label, the title box, and the menu with "Save Current
// Osc", "&Export to excel", "Print &Graph" and "Print &Data". Closing it only says so (closed());
// the owner deletes it a little later.
#include "scope/OscData.h"

#include <QDateTime>
#include <QDialog>

class COSCGraph;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPrinter;
class QPushButton;

class COSCDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 219;
    static constexpr int kReadoutId = 1040, kTitleId = 1024, kToggleId = 1011, kUndoZoomId = 1012;

    explicit COSCDlg(QWidget* parent = nullptr);

    // The window's own record (copied in before SetData).
    OSCData m_data;

    // count 300 shows the waveform, 120 the meter's spectrum; resets the zoom, keeps the title.
    void SetData(const QString& title, int count);
    // Shows `record` as the waveform under `title`, the toggle reading "FFT".
    void ShowRecord(const OSCData& record, const QString& title);
    // The FFT/return button.
    void OnToggle();
    void OnUndoZoom();

    bool WaveShown() const { return m_bWaveShown; }
    QString Title() const { return m_strTitle; }
    COSCGraph* Graph() const { return m_pGraph; }
    QPushButton* ToggleButton() const { return m_pToggle; }
    QLabel* Readout() const { return m_pReadout; }
    QLineEdit* TitleBox() const { return m_pTitle; }
    QMenuBar* Menu() const { return m_pMenu; }
    // The values the graph shows now: 300 or 120.
    int ShownCount() const;

    // The commands without their file and print dialogs (tests, the command line).
    bool SaveCurrentTo(const QString& path, QString* message = nullptr) const;
    bool ExportTo(const QString& path, QString* message = nullptr) const;
    void PrintGraph(QPrinter& printer, const QDateTime& now) const;
    void PrintData(QPrinter& printer, const QDateTime& now) const;

public slots:
    // Closing (the close box, Escape) hides the window and says so.
    void reject() override;
    void OnSaveCurrentOsc();
    void OnExportToExcel();
    void OnPrintGraph();
    void OnPrintData();

signals:
    // The user closed the window.
    void closed();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Layout();
    bool ChoosePrinter(QPrinter& printer);

    COSCGraph* m_pGraph;
    QString m_strTitle;
    bool m_bWaveShown = true;
    QMenuBar* m_pMenu;
    QLabel* m_pReadout;
    QLineEdit* m_pTitle;
    QPushButton* m_pToggle;
    QPushButton* m_pUndoZoom;
};
