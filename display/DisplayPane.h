#pragma once
// The "Display" page: the live panel in a scroll area, zoomed by the user's choice (100, 150,
// 200 percent) or fitted to the pane (its width, or its height where that is the smaller room), so that the reading can be made large enough to
// read across a bench.
#include <QList>
#include <QScrollArea>

class CLeftDlg;
class QAction;
class QMenu;

class CDisplayPane : public QScrollArea {
    Q_OBJECT
public:
    static constexpr double kFit = 0.0;

    // Takes the panel as its widget.
    explicit CDisplayPane(CLeftDlg* panel, QWidget* parent = nullptr);

    // 1.0, 1.5, 2.0 (or any zoom), or kFit: follow the pane's size.
    void SetZoomChoice(double choice);
    double ZoomChoice() const { return m_fChoice; }
    // The zoom at which the whole panel fits the pane: as wide as the room, or as tall when the
    // height is the tighter limit.
    double FitZoom() const;
    // The pane width that shows the panel whole at a zoom, scroll bar included.
    static int WidthFor(double zoom);

    // Adds "Zoom display" with "100%", "150%", "200%" and "Fit" (checked) to a menu; the
    // actions are named zoom100, zoom150, zoom200 and zoomFit. Choosing one emits zoomChosen.
    QList<QAction*> AddZoomMenu(QMenu* menu);

signals:
    void zoomChosen(double choice);

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Apply();

    CLeftDlg* m_pPanel;
    double m_fChoice = kFit;
};
