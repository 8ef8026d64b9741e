#pragma once

#include <QImage>
#include <QList>
#include <QStyledItemDelegate>

class QFontMetrics;

// Draws one row of the hit list: the dictionary icon, then the headword shortened with "..."
// to fit. The selected row is highlighted only while the list has the focus; otherwise the
// focused row gets a dotted grey outline.
class HitDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int IconSize = 16;
    static constexpr int MaxTextLength = 259;

    explicit HitDelegate(QObject* parent = nullptr);

    // The row height for the given font: never asks the model, so laying out a list of
    // millions of rows fetches nothing.
    void setRowFont(const QFont& font);
    int rowHeight() const { return m_rowHeight; }

    void addImage(const QImage& image) { m_images.append(image); }
    int imageCount() const { return int(m_images.size()); }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

    // The text unchanged when it fits into width with offset to spare; otherwise its longest
    // beginning followed by "..." that fits, and at least the first character and "...".
    static QString FitTextToWidth(const QString& text, const QFontMetrics& metrics, int width, int offset);

private:
    QFont m_font;
    int m_rowHeight = 20;
    QList<QImage> m_images;
};
