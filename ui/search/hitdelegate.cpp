#include "ui/search/hitdelegate.h"

#include "ui/search/darkpalette.h"
#include "ui/search/hitlistmodel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>

namespace {
constexpr int iconLeft = 2;
constexpr int labelLeft = iconLeft + HitDelegate::IconSize + 2;
} // namespace

HitDelegate::HitDelegate(QObject* parent) : QStyledItemDelegate(parent)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    setRowFont(font);
}

void HitDelegate::setRowFont(const QFont& font)
{
    m_font = font;
    m_rowHeight = qMax(IconSize, QFontMetrics(font).height()) + 4;
}

QSize HitDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return {1, m_rowHeight};
}

QString HitDelegate::FitTextToWidth(const QString& text, const QFontMetrics& metrics, int width, int offset)
{
    if (metrics.horizontalAdvance(text) + offset <= width)
        return text;
    const QString dots = QStringLiteral("...");
    const int dotsWidth = metrics.horizontalAdvance(dots);
    // Widths grow with the length, so the longest fitting beginning is found by bisection.
    int low = 1, high = int(text.size()) - 1;
    int best = 1;
    while (low <= high) {
        const int mid = (low + high) / 2;
        if (metrics.horizontalAdvance(text.left(mid)) + dotsWidth + offset <= width) {
            best = mid;
            low = mid + 1;
        } else {
            high = mid - 1;
        }
    }
    return text.left(qMax(1, best)) + dots;
}

void HitDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const QWidget* list = option.widget;
    const auto* view = qobject_cast<const QAbstractItemView*>(list);
    const bool listHasFocus = list && (list->hasFocus() || (view && view->viewport()->hasFocus()));
    // The view marks the current row only while it has the focus; the outline is wanted without.
    const bool isCurrent = view ? view->currentIndex() == index : bool(option.state & QStyle::State_HasFocus);
    const bool selected = (option.state & QStyle::State_Selected) && listHasFocus;
    const QPalette& palette = option.palette;

    QString text = index.data(Qt::DisplayRole).toString().left(MaxTextLength);
    const int image = index.data(HitListModel::ImageIndexRole).toInt();

    painter->save();
    painter->setFont(m_font);
    const QRect row = option.rect;
    painter->fillRect(row, palette.color(QPalette::Base));

    const QRect highlight(row.left() + labelLeft, row.top(), row.width() - labelLeft, row.height());
    painter->fillRect(highlight,
                      selected ? palette.color(QPalette::Highlight) : palette.color(QPalette::Base));
    // Black on the light list's white, as ever; a dark scheme's own text colour on its base.
    const QColor ink = isDarkPalette(palette) ? palette.color(QPalette::Text) : QColor(Qt::black);
    painter->setPen(selected ? palette.color(QPalette::HighlightedText) : ink);

    const QRect iconRect(row.left() + iconLeft, row.top() + (row.height() - IconSize) / 2, IconSize,
                         IconSize);
    if (image >= 0 && image < m_images.size() && row.width() > 1) {
        painter->setRenderHint(QPainter::SmoothPixmapTransform);
        painter->drawImage(iconRect, m_images.at(image));
        if (selected) {
            painter->setOpacity(0.5);
            painter->fillRect(iconRect, palette.color(QPalette::Highlight));
            painter->setOpacity(1.0);
        }
    }

    const QRect label = highlight.adjusted(2, 0, -2, 0);
    if (!text.isEmpty())
        text = FitTextToWidth(text, painter->fontMetrics(), highlight.width(), 4);
    painter->drawText(label, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);

    if (isCurrent) {
        if (listHasFocus) {
            QStyleOptionFocusRect focus;
            focus.initFrom(list);
            focus.rect = highlight;
            focus.backgroundColor = palette.color(selected ? QPalette::Highlight : QPalette::Base);
            QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, list);
        } else {
            QPen pen(QColor(192, 192, 192));
            pen.setStyle(Qt::DotLine);
            pen.setWidth(1);
            painter->setPen(pen);
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(highlight.adjusted(0, 0, -1, -1));
        }
    }
    painter->restore();
}
