#include "link/PortDlg.h"

#include "platform/DialogUnits.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CPort::CPort(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Port"));
    resize(DialogUnits::toPixels(QSize(186, 66)));
    auto* v = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Com Port"), this));
    m_pEdit = new QLineEdit(this);
    m_pEdit->setObjectName(QStringLiteral("port"));
    m_pEdit->setToolTip(QStringLiteral("COM port number, device path, or sim for the built-in simulated meter"));
    row->addWidget(m_pEdit, 1);
    v->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);
}

void CPort::SetPort(const QString& port) { m_pEdit->setText(port); }
QString CPort::Port() const { return m_pEdit->text().trimmed(); }
