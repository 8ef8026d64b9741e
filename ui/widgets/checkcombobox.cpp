#include "ui/widgets/checkcombobox.h"

#include <QAbstractItemView>
#include <QCollator>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QStandardItemModel>
#include <QStylePainter>
#include <QStyledItemDelegate>

namespace {
const QString summarySeparator = QStringLiteral(" in ");
}

CCheckComboBox::CCheckComboBox(QWidget* parent) : QComboBox(parent), m_model(new QStandardItemModel(this))
{
    setModel(m_model);
    // The default popup delegate of some styles draws a mark for the current item only; the
    // plain item delegate draws each item's own check box.
    setItemDelegate(new QStyledItemDelegate(this));
    // Installed after the popup container's own filters, so these run first and can keep a
    // click from closing the list.
    view()->installEventFilter(this);
    view()->viewport()->installEventFilter(this);

    connect(m_model, &QAbstractItemModel::rowsInserted, this, &CCheckComboBox::invalidateSummary);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &CCheckComboBox::invalidateSummary);
    connect(m_model, &QAbstractItemModel::modelReset, this, &CCheckComboBox::invalidateSummary);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &CCheckComboBox::invalidateSummary);
}

void CCheckComboBox::setSorted(bool sorted)
{
    m_sorted = sorted;
}

int CCheckComboBox::AddString(const QString& text)
{
    int index = count();
    if (m_sorted) {
        QCollator collator{QLocale(QLocale::Slovenian, QLocale::Slovenia)};
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        index = 0;
        while (index < count() && collator.compare(itemText(index), text) <= 0)
            ++index;
    }
    auto* item = new QStandardItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setData(Qt::Unchecked, Qt::CheckStateRole);
    m_model->insertRow(index, item);
    // The selection field never shows a single item, only the summary.
    setCurrentIndex(-1);
    return index;
}

bool CCheckComboBox::IsItemChecked(int index) const
{
    if (index < 0 || index >= count())
        return false;
    return m_model->item(index)->data(Qt::CheckStateRole).toInt() != Qt::Unchecked;
}

bool CCheckComboBox::SetItemChecked(int index, bool checked)
{
    if (index < 0 || index >= count())
        return false;
    m_model->item(index)->setData(checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
    return true;
}

QString CCheckComboBox::SummaryText() const
{
    if (!m_summaryValid) {
        QString result;
        for (int i = 0; i < count(); ++i) {
            if (!IsItemChecked(i))
                continue;
            if (!result.isEmpty())
                result += summarySeparator;
            result += itemText(i);
        }
        m_summaryText = result;
        m_summaryValid = true;
    }
    return m_summaryText;
}

void CCheckComboBox::hidePopup()
{
    const bool wasOpen = view()->isVisible();
    QComboBox::hidePopup();
    if (wasOpen)
        emit popupClosed();
}

bool CCheckComboBox::eventFilter(QObject* watched, QEvent* event)
{
    QAbstractItemView* list = view();
    if (watched == list->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) {
                // Below the last item there is no index, and nothing toggles.
                const QModelIndex index = list->indexAt(mouse->position().toPoint());
                if (index.isValid())
                    toggleByUser(index.row());
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            // A release would count as the final choice and close the list.
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                return true;
            break;
        default:
            break;
        }
    } else if (watched == list && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            const QModelIndex index = list->currentIndex();
            if (index.isValid())
                toggleByUser(index.row());
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

void CCheckComboBox::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    option.currentText = fontMetrics().elidedText(SummaryText(), Qt::ElideRight, field.width());
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void CCheckComboBox::toggleByUser(int index)
{
    SetItemChecked(index, !IsItemChecked(index));
    emit itemToggled(index);
}

void CCheckComboBox::invalidateSummary()
{
    m_summaryValid = false;
    update();
}

#include "moc_checkcombobox.cpp"
