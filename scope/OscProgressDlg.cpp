#include "scope/OscProgressDlg.h"

#include "scope/OscController.h"

#include <QPointer>
#include <QProgressBar>
#include <QVBoxLayout>

COSCProgress::COSCProgress(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_pBar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("OSCProgress"));
    setWindowTitle(QStringLiteral("Download OSC Logger"));
    m_pBar->setObjectName(QStringLiteral("progress%1").arg(kProgressControlId));
    m_pBar->setRange(0, COscController::kProgressMax);
    m_pBar->setValue(0);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pBar);
    resize(260, 60);
}

void COSCProgress::PlaceOver(QWidget* frame)
{
    if (!frame)
        return;
    const QPoint at = frame->mapToGlobal(QPoint(frame->width() / 2, frame->height() / 2));
    move(at);
    raise();
}

void FollowOscProgress(COscController* controller, QWidget* frame)
{
    auto window = std::make_shared<QPointer<COSCProgress>>();
    QObject::connect(controller, &COscController::progressChanged, frame, [window, frame](bool shown, int position) {
        QPointer<COSCProgress>& w = *window;
        if (!shown) {
            if (w) {
                w->Bar()->setValue(position);
                w->close();
                w->deleteLater();
                w = nullptr;
            }
            return;
        }
        if (!w) {
            w = new COSCProgress(frame);
            w->setAttribute(Qt::WA_DeleteOnClose, false);
            w->PlaceOver(frame);
            w->show();
        }
        w->Bar()->setValue(position);
    });
}
