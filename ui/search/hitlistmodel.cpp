#include "ui/search/hitlistmodel.h"

#include "ui/search/hitsource.h"

HitListModel::HitListModel(QObject* parent) : QAbstractListModel(parent)
{
}

void HitListModel::setHitCount(int count, int maxRows)
{
    beginResetModel();
    m_count = qBound(0, count, maxRows);
    endResetModel();
}

void HitListModel::hitsArrived(int first, int last)
{
    first = qMax(first, 0);
    last = qMin(last, m_count - 1);
    if (first <= last)
        emit dataChanged(index(first, 0), index(last, 0), {Qt::DisplayRole, ImageIndexRole});
}

int HitListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_count;
}

QVariant HitListModel::data(const QModelIndex& index, int role) const
{
    if (!m_source || !index.isValid() || index.row() >= m_count)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_source->GetHitHeadword(index.row());
    case ImageIndexRole:
        return m_source->GetHitImage(index.row());
    default:
        return {};
    }
}
