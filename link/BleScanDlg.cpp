#include "link/BleScanDlg.h"

#include "link/BleCentral.h"
#include "link/BleLink.h"
#include "platform/DialogUnits.h"
#include "platform/MessageBox.h"
#include "link/PortSettings.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>

QString PortOpenWarning(const QString& port)
{
    QString device;
    int number = 0;
    CComPort::ResolvePortName(port, &device, &number);
    if (number > 0)
        return QString::asprintf("Warning:Can't open COM%d!", number);
    return QStringLiteral("Warning:Can't open %1!").arg(port);
}

CBleScan::CBleScan(CBleLink* link, CPortSettings* settings, std::function<void()> onConnected, QWidget* parent)
    : QDialog(parent)
    , m_pLink(link)
    , m_pSettings(settings)
    , m_fnConnected(std::move(onConnected))
{
    setWindowTitle(QStringLiteral("Scan Device"));
    resize(DialogUnits::toPixels(QSize(273, 164)));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Comport"), this), 0, 0);
    m_pPort = new QLineEdit(this);
    m_pPort->setObjectName(QStringLiteral("port"));
    m_pPort->setToolTip(QStringLiteral("COM port number, device path, or sim for the built-in simulated meter"));
    grid->addWidget(m_pPort, 0, 1);
    m_pOpen = new QPushButton(QStringLiteral("Open"), this);
    m_pOpen->hide(); // opens the port without scanning; kept for completeness
    m_pScan = new QPushButton(QStringLiteral("Scan"), this);
    m_pConnect = new QPushButton(QStringLiteral("Connect"), this);
    grid->addWidget(m_pScan, 0, 2);
    grid->addWidget(m_pConnect, 0, 3);
    grid->addWidget(new QLabel(QStringLiteral("Device list"), this), 1, 0, 1, 4);

    m_pList = new QTableWidget(0, 4, this);
    m_pList->setHorizontalHeaderLabels(
        { QStringLiteral("ID"), QStringLiteral("Device name"), QStringLiteral("Device Mac"), QStringLiteral("Rssi") });
    const int widths[] = { 31, 120, 120, 85 };
    for (int c = 0; c < 4; ++c)
        m_pList->setColumnWidth(c, widths[c]);
    // The given widths are the least each column gets: the last one takes the rest of the
    // dialog's width, and a name wider than its column widens it.
    m_pList->horizontalHeader()->setStretchLastSection(true);
    m_pList->horizontalHeader()->setMinimumSectionSize(31);
    m_pList->verticalHeader()->hide();
    m_pList->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setShowGrid(true);
    m_pList->setWordWrap(false);
    m_pList->verticalHeader()->setDefaultSectionSize(m_pList->fontMetrics().height() + 6);
    grid->addWidget(m_pList, 2, 0, 1, 4);

    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("status"));
    grid->addWidget(m_pStatus, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);

    m_scanTimer.setSingleShot(true);
    m_scanTimer.setInterval(10000);
    connect(&m_scanTimer, &QTimer::timeout, this, [this] { m_pScan->setEnabled(true); });
    connect(m_pOpen, &QPushButton::clicked, this, &CBleScan::OnOpen);
    connect(m_pScan, &QPushButton::clicked, this, &CBleScan::OnScan);
    connect(m_pConnect, &QPushButton::clicked, this, &CBleScan::OnConnect);
    connect(m_pLink, &CBleLink::scanRow, this, &CBleScan::AddRow, Qt::QueuedConnection);

    m_pPort->setText(m_pSettings->ReadPort());
}

int CBleScan::OpenDongle()
{
    const QString port = m_pPort->text().trimmed();
    bool isNumber = false;
    const int number = port.toInt(&isNumber);
    if (port.isEmpty() || (isNumber && number == 0))
        return CBleLink::OpenNoPort;
    const int result = m_pLink->Open(port);
    if (result == CBleLink::OpenPortFailed) {
        msgbox::Show(this, PortOpenWarning(port), QString(), msgbox::Information);
        return result;
    }
    if (result != CBleLink::OpenOk)
        return result;
    m_pSettings->WritePort(port);
    return CBleLink::OpenOk;
}

void CBleScan::OnOpen()
{
    m_pStatus->clear();
    OpenDongle();
}

void CBleScan::SetDirectCentral(IBleCentral* central, std::function<void(const QString&)> connectDirect)
{
    if (m_pCentral)
        disconnect(m_pCentral, nullptr, this, nullptr);
    m_pCentral = central;
    m_fnConnectDirect = std::move(connectDirect);
    if (m_pCentral)
        connect(m_pCentral, &IBleCentral::advertFound, this, &CBleScan::AddDirectRow);
}

void CBleScan::OnScan()
{
    // A message belongs to the action that caused it; the next action starts without it.
    m_pStatus->clear();
    m_scanTimer.start();
    m_pList->setRowCount(0);
    m_pScan->setEnabled(false);
    // The computer's own adapter looks too, dongle or not.
    if (m_pCentral)
        m_pCentral->StartScan(int(m_scanTimer.interval()));
    if (m_pCentral && m_pPort->text().trimmed().isEmpty())
        return;
    if (OpenDongle() != CBleLink::OpenOk)
        return;
    m_pLink->StartDiscovery();
}

void CBleScan::OnConnect()
{
    m_pStatus->clear();
    const QList<QTableWidgetItem*> selected = m_pList->selectedItems();
    if (selected.isEmpty()) {
        m_pStatus->setText(QStringLiteral(" no device selected!"));
        return;
    }
    const int row = selected.first()->row();
    const QTableWidgetItem* macItem = m_pList->item(row, 2);
    const QString mac = macItem ? macItem->text() : QString();
    m_pConnect->setEnabled(false);
    m_pSettings->WriteMac(mac);
    if (macItem && macItem->data(Qt::UserRole).toBool() && m_fnConnectDirect) {
        if (m_pCentral)
            m_pCentral->StopScan();
        m_fnConnectDirect(mac);
        accept();
        return;
    }
    // The dialog may be closed during the connect pause: the callback must not need it.
    QPointer<CBleScan> self(this);
    const bool started = m_pLink->Connect(mac, [self, onConnected = m_fnConnected] {
        if (onConnected)
            onConnected();
        if (self)
            self->accept();
    });
    if (!started) {
        m_pStatus->setText(QStringLiteral(" no device selected!"));
        m_pConnect->setEnabled(true);
    }
}

void CBleScan::AddDirectRow(const BleAdvert& advert)
{
    // Only meters: the adapter sees every device around.
    if (!advert.meterService)
        return;
    AddRow({ QString::asprintf("%d", m_pList->rowCount()),
        QStringLiteral("Device Name:%1").arg(advert.name) + DirectMark(), advert.address,
        QString::asprintf("%d", advert.rssi) });
    const int row = m_pList->rowCount() - 1;
    if (QTableWidgetItem* mac = m_pList->item(row, 2))
        mac->setData(Qt::UserRole, true);
    if (QTableWidgetItem* name = m_pList->item(row, 1))
        name->setToolTip(
            QStringLiteral("%1: seen by this computer's own Bluetooth adapter; connects without the dongle")
                .arg(advert.name));
}

void CBleScan::AddRow(const QStringList& columns)
{
    const int row = m_pList->rowCount();
    m_pList->insertRow(row);
    for (int c = 0; c < 4 && c < columns.size(); ++c) {
        auto* item = new QTableWidgetItem(columns[c]);
        item->setToolTip(columns[c]); // the columns keep their narrow widths; the text stays readable
        m_pList->setItem(row, c, item);
    }
    // The name column grows to show whole names (never below its given width).
    const int nameWidth = m_pList->fontMetrics().horizontalAdvance(columns.value(1)) + 12;
    if (nameWidth > m_pList->columnWidth(1))
        m_pList->setColumnWidth(1, nameWidth);
}
