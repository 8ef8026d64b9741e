#pragma once

#include <QAbstractListModel>

class HitSource;

// The rows of the hit list: a row count and nothing else. Text and image index are asked of
// the HitSource only when a row is drawn; a row whose hit is not in yet is empty.
class HitListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role
    {
        ImageIndexRole = Qt::UserRole + 1,
    };

    explicit HitListModel(QObject* parent = nullptr);

    void setSource(HitSource* source) { m_source = source; }
    // Every row is replaced; the count is clamped to what the view can lay out.
    void setHitCount(int count, int maxRows);
    // Hits came in for rows first to last: they are drawn again from the source, placeholders
    // filled in.
    void hitsArrived(int first, int last);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    HitSource* m_source = nullptr;
    int m_count = 0;
};
