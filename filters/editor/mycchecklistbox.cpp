#include "filters/editor/mycchecklistbox.h"

MyCCheckListBox::MyCCheckListBox(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!m_filling)
            emit checkChanged(row(item));
    });
}

void MyCCheckListBox::AddRow(const QString& text, bool checked)
{
    m_filling = true;
    auto* item = new QListWidgetItem(text, this);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    m_filling = false;
}

bool MyCCheckListBox::IsRowChecked(int row) const
{
    const QListWidgetItem* it = item(row);
    return it && it->checkState() == Qt::Checked;
}

void MyCCheckListBox::ToggleRow(int row)
{
    QListWidgetItem* it = item(row);
    if (it) {
        setCurrentRow(row);
        it->setCheckState(it->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
}

#include "moc_mycchecklistbox.cpp"
