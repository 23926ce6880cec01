#pragma once
// "FFT Analysis": the spectrum of a stretch of a data-log document chosen by dragging across its
// graph. Modal; the values of the chosen points are taken when it opens.
#include "scope/FftAnalysis.h"

#include <QDialog>
#include <QImage>
#include <vector>

class CMyOrvelDoc;
class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class CFftPlotView;

class CFFTDlg : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 149 };

    // Points `first` .. `last` (indices into series 0, first < last) of `doc`. Buffers that cannot
    // be allocated are reported here, one message each.
    CFFTDlg(const CMyOrvelDoc& doc, int first, int last, QWidget* parent = nullptr);
    ~CFFTDlg() override;

    // "Run": analyses the chosen points with the chosen settings and repaints the plot.
    void OnRun();

    const CFftAnalysis& Analysis() const { return m_analysis; }
    int m_nStart = 0;
    int m_nEnd = 0;
    bool m_bPower = true; // "Power Spectrum" is checked

    // The plot as it stands, drawn into an image of the plot area's size.
    QImage RenderPlot() const;

private:
    friend class CFftPlotView;
    void OnSpectrumChosen();
    void UpdateSizeNote();

    CFftAnalysis m_analysis;
    std::vector<double> m_values; // the chosen points' readings, null elements left out
    int m_nReadings = 0; // readings in the chosen range (m_values holds at most the largest size)
    bool m_bDocHasPoints = false;

    QLineEdit* m_pStartTime = nullptr;
    QLineEdit* m_pFinishTime = nullptr;
    QLineEdit* m_pNumber = nullptr;
    QLabel* m_pNote = nullptr; // padding or truncation by the chosen size
    QComboBox* m_pSize = nullptr;
    QComboBox* m_pFilter = nullptr;
    QComboBox* m_pOverlap = nullptr; // hidden, no effect
    QComboBox* m_pSampleRate = nullptr; // hidden: its value is the number of segments averaged
    QRadioButton* m_pPowerRadio = nullptr;
    QRadioButton* m_pFrequencyRadio = nullptr;
    CFftPlotView* m_pPlot = nullptr;
};

// Opens the dialog for a drag on the graph of `doc` from point `a` to point `b` (indices into
// series 0, clamped to the points there are) and runs it modally. Equal ends, or a document
// without points, open nothing: returns false.
bool OpenFftForRange(QWidget* parent, const CMyOrvelDoc& doc, int a, int b);
