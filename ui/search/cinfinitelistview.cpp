#include "ui/search/cinfinitelistview.h"

#include "ui/search/darkpalette.h"
#include "ui/search/displaystate.h"
#include "ui/search/hitdelegate.h"
#include "ui/search/hitlistmodel.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <climits>

namespace {
// The view keeps a few bytes of layout per row: a server-sent total far beyond what anyone
// scrolls through must not turn into an allocation of that size.
constexpr int rowLimit = 5'000'000;
} // namespace

CInfiniteListView::CInfiniteListView(QWidget* parent)
    : QListView(parent), m_model(new HitListModel(this)), m_delegate(new HitDelegate(this))
{
    setUniformItemSizes(true);
    setItemDelegate(m_delegate);
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setTextElideMode(Qt::ElideNone);
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    followColourScheme();
}

void CInfiniteListView::followColourScheme()
{
    // The rows lie on white in a light scheme whatever its base; a dark one keeps its own.
    // The viewport too: a desktop's theme may hand each widget its palette of its own.
    const QPalette scheme = QApplication::palette(this);
    const QColor base = isDarkPalette(scheme) ? scheme.color(QPalette::Base) : QColor(Qt::white);
    for (QWidget* widget : {static_cast<QWidget*>(this), viewport()}) {
        if (!widget ||
            (widget->testAttribute(Qt::WA_SetPalette) && widget->palette().color(QPalette::Base) == base))
            continue;
        QPalette p = widget->palette();
        p.setColor(QPalette::Base, base);
        widget->setPalette(p);
    }
}

void CInfiniteListView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        followColourScheme();
    QListView::changeEvent(event);
}

bool CInfiniteListView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange)
        followColourScheme();
    return QListView::viewportEvent(event);
}

void CInfiniteListView::setHitSource(HitSource* source)
{
    m_model->setSource(source);
}

int CInfiniteListView::maxRows() const
{
    return qMin(rowLimit, INT_MAX / qMax(1, m_delegate->rowHeight()) - 1);
}

void CInfiniteListView::SetHitCount(int count)
{
    m_pendingTopRow = -1;
    m_model->setHitCount(count, maxRows());
}

int CInfiniteListView::hitCount() const
{
    return m_model->rowCount();
}

int CInfiniteListView::topRow() const
{
    const QModelIndex top = indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() : 0;
}

void CInfiniteListView::hitsArrived()
{
    // A screen reader learns of the rows' new text from the model's change, and only it needs
    // one: any change makes the view lay out every row again (30-60 ms at a million rows, each
    // time a page came in), while the repaint alone asks the rows on screen afresh.
    if (QAccessible::isActive()) {
        const QModelIndex bottom = indexAt(QPoint(1, viewport()->height() - 1));
        m_model->hitsArrived(topRow(), bottom.isValid() ? bottom.row() : hitCount() - 1);
    }
    viewport()->update();
}

int CInfiniteListView::selectionMark() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void CInfiniteListView::SelectHit(int row)
{
    SelectHitAt(row, row);
}

void CInfiniteListView::SelectHitAt(int row, int topRow)
{
    const QModelIndex index = m_model->index(row, 0);
    m_selectingFromCode = true;
    selectionModel()->clearSelection();
    if (index.isValid())
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    // While starting, row 0 is left unselected as by any other selection then.
    if (m_display && m_display->displayMode == ModeStarting)
        selectionModel()->select(m_model->index(0, 0), QItemSelectionModel::Deselect);
    m_selectingFromCode = false;

    if (m_display && m_display->displayMode != ModeStarting)
        emit entryRequested(row);
    if (index.isValid() && m_model->index(topRow, 0).isValid())
        scrollToTop(topRow);
}

void CInfiniteListView::scrollToTop(int row)
{
    // The first search runs before the window is shown, when the list cannot scroll yet.
    m_pendingTopRow = isVisible() && viewport()->height() > 0 ? -1 : row;
    scrollTo(m_model->index(row, 0), QAbstractItemView::PositionAtTop);
}

void CInfiniteListView::updateGeometries()
{
    QListView::updateGeometries();
    if (m_pendingTopRow >= 0 && isVisible() && viewport()->height() > 0)
        scrollToTop(m_pendingTopRow);
}

void CInfiniteListView::keyboardSearch(const QString&)
{
}

void CInfiniteListView::AddDictionaryIcon(const QImage& image)
{
    m_delegate->addImage(image);
    viewport()->update();
}

bool CInfiniteListView::isScrollKey(int key)
{
    return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown;
}

void CInfiniteListView::keyPressEvent(QKeyEvent* event)
{
    const QString text = event->text();
    const bool command = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!command && !text.isEmpty() && text.at(0).isPrint() && !text.at(0).isSpace()) {
        event->accept();
        emit textTyped(text);
        return;
    }
    if (isScrollKey(event->key()))
        m_scrollKeysHeld.insert(event->key());
    QListView::keyPressEvent(event);
}

void CInfiniteListView::keyReleaseEvent(QKeyEvent* event)
{
    if (isScrollKey(event->key()) && !event->isAutoRepeat()) {
        m_scrollKeysHeld.remove(event->key());
        emit entryRequested(selectionMark());
    }
    QListView::keyReleaseEvent(event);
}

void CInfiniteListView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QListView::selectionChanged(selected, deselected);
    if (m_selectingFromCode || selected.isEmpty() || !m_scrollKeysHeld.isEmpty())
        return;
    const int row = selected.indexes().constFirst().row();
    if (m_display && m_display->displayMode == ModeStarting) {
        selectionModel()->select(m_model->index(0, 0), QItemSelectionModel::Deselect);
        return;
    }
    emit entryRequested(row);
}

void CInfiniteListView::focusInEvent(QFocusEvent* event)
{
    QListView::focusInEvent(event);
    viewport()->update(); // the selected row switches between highlight and dotted outline
}

void CInfiniteListView::focusOutEvent(QFocusEvent* event)
{
    m_scrollKeysHeld.clear(); // their releases go to whoever has the focus now
    QListView::focusOutEvent(event);
    viewport()->update();
}

void CInfiniteListView::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}
