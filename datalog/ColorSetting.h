#pragma once
// "Settings": the trend graph's colours, point markers and vertical scale, with a disabled
// preview graph. The view fills it, runs it and applies it on "OK".
#include "datalog/GraphScene.h"

#include <QDialog>
#include <functional>

class CGraphDlg;
class QCheckBox;
class QFrame;
class QLineEdit;
class QRadioButton;

class CColorSetting : public QDialog {
    Q_OBJECT
public:
    explicit CColorSetting(QWidget* parent = nullptr);

    enum ColorKind { Background, Border, Grid, Line, Point };

    GraphColors m_colors;
    bool m_bMaskPoints = true;
    bool m_bAutoScale = true;
    double m_dMax = 50.0;
    double m_dMin = -50.0;
    // The manual range stays within these.
    static constexpr double kLimit = 5000.0;

    // From the graph and the view's scale settings; the preview takes the graph's ranges.
    void FillFrom(const CGraphDlg& graph, bool autoScale, double manualMax, double manualMin);
    // Colours and markers onto the graph (the view applies the scale).
    void ApplyTo(CGraphDlg& graph) const;

    // The colour dialog; tests replace it (an invalid colour cancels).
    using ColorChooser = std::function<QColor(const QColor& initial, QWidget* parent)>;
    static void SetColorChooserForTesting(ColorChooser chooser);

    // One of the "..." buttons.
    void ChooseColor(ColorKind kind);
    // Reads and checks the controls: false (with the message shown) when a value is rejected.
    bool Validate();

    CGraphDlg* Preview() const { return m_pPreview; }
    QLineEdit* MaxEdit() const { return m_pMax; }
    QLineEdit* MinEdit() const { return m_pMin; }
    QRadioButton* ManualButton() const { return m_pManual; }
    QRadioButton* AutoButton() const { return m_pAuto; }
    QCheckBox* MaskPointsBox() const { return m_pMask; }
    QWidget* Swatch(ColorKind kind) const { return m_pSwatch[kind]; }

public slots:
    void accept() override;

private:
    void UpdateSwatches();
    void UpdateScaleControls();
    // Reads a decimal number from `edit`; a rejected one is reported naming `field`.
    bool ReadNumber(QLineEdit* edit, const QString& field, double& out);

    QWidget* m_pSwatch[5] = {};
    QCheckBox* m_pMask;
    QRadioButton* m_pManual;
    QRadioButton* m_pAuto;
    QLineEdit* m_pMax;
    QLineEdit* m_pMin;
    CGraphDlg* m_pPreview;
};
