#include "logger/LoggerProgressDlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <algorithm>

CWaitDlg::CWaitDlg(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("waitDlg"));
    setWindowTitle(QStringLiteral("Downloading Multimeter Logger"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    m_pRecordsLabel = new QLabel(QStringLiteral("Records"), this);
    layout->addWidget(m_pRecordsLabel);
    m_pRecords = new QProgressBar(this);
    m_pRecords->setObjectName(QStringLiteral("records"));
    layout->addWidget(m_pRecords);
    layout->addWidget(new QLabel(QStringLiteral("Blocks of this record"), this));
    m_pBlocks = new QProgressBar(this);
    m_pBlocks->setObjectName(QStringLiteral("blocks"));
    m_pRecords->setFormat(QStringLiteral("%v of %m"));
    m_pBlocks->setFormat(QStringLiteral("%v of %m"));
    layout->addWidget(m_pBlocks);
    setMinimumWidth(320);
}

void CWaitDlg::SetProgress(const LoggerProgress& p)
{
    // An unasked record has no list: only its blocks count.
    m_pRecordsLabel->setVisible(p.records > 0);
    m_pRecords->setVisible(p.records > 0);
    m_pRecords->setRange(0, std::max(p.records, 1));
    m_pRecords->setValue(std::min(p.recordsDone, p.records));
    m_pBlocks->setRange(0, std::max(p.blocks, 1));
    m_pBlocks->setValue(std::min(p.blocksDone, std::max(p.blocks, 1)));
}

void CWaitDlg::PlaceAt(const QRect& area)
{
    move(area.center());
}
