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

void HitListModel::hitsArrived()
{
    if (m_count > 0)
        emit dataChanged(index(0, 0), index(m_count - 1, 0), {Qt::DisplayRole, ImageIndexRole});
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
