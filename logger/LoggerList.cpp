#include "logger/LoggerList.h"

#include "platform/MessageBox.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QTreeWidget* MakeTree(QWidget* parent)
{
    auto* tree = new QTreeWidget(parent);
    tree->setRootIsDecorated(false);
    tree->setUniformRowHeights(true);
    tree->setAllColumnsShowFocus(true);
    tree->setHeaderLabels(CLoggerList::ColumnTitles());
    return tree;
}

QTreeWidgetItem* MakeRow(const LoggerListData& e)
{
    auto* item = new QTreeWidgetItem(e.ColumnTexts());
    for (int c = 2; c < 5; ++c)
        item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

constexpr int kAddressColumn = 4;

} // namespace

CLoggerList::CLoggerList(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("loggerList"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_pTree = MakeTree(this);
    layout->addWidget(m_pTree);
    connect(m_pTree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) { OnActivated(item); });
}

QStringList CLoggerList::ColumnTitles()
{
    return { QStringLiteral("Funtion"), QStringLiteral("Record Time"), QStringLiteral("Data Points"),
        QStringLiteral("SampleRate(sec.)"), QStringLiteral("Record Address") };
}

void CLoggerList::Clear()
{
    m_pTree->clear();
}

void CLoggerList::AddRecord(const LoggerListData& entry)
{
    m_pTree->addTopLevelItem(MakeRow(entry));
    for (int c = 0; c < m_pTree->columnCount(); ++c)
        m_pTree->resizeColumnToContents(c);
}

int CLoggerList::RowCount() const
{
    return m_pTree->topLevelItemCount();
}

void CLoggerList::OnActivated(QTreeWidgetItem* item)
{
    bool ok = false;
    const int address = item ? item->text(kAddressColumn).toInt(&ok) : 0;
    if (ok)
        emit recordActivated(address);
}

CDataLogSheet::CDataLogSheet(const std::vector<LoggerListData>& entries, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("DataLogger"));
    auto* layout = new QVBoxLayout(this);
    m_pTree = MakeTree(this);
    const int widths[5] = { 53, 130, 70, 105, 95 };
    for (int c = 0; c < 5; ++c)
        m_pTree->setColumnWidth(c, widths[c]);
    for (const LoggerListData& e : entries)
        m_pTree->addTopLevelItem(MakeRow(e));
    layout->addWidget(m_pTree);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDataLogSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_pTree, &QTreeWidget::itemActivated, this, &CDataLogSheet::accept);
    layout->addWidget(buttons);
    resize(480, 300);
}

void CDataLogSheet::accept()
{
    QTreeWidgetItem* item = m_pTree->currentItem();
    if (!item || !item->isSelected()) {
        msgbox::Show(this, QStringLiteral("Please select an item!"), QStringLiteral("Tip"));
        return;
    }
    m_nAddress = item->text(kAddressColumn).toInt();
    QDialog::accept();
}
