#include "ui/search/iskalnooknoinseznam.h"

#include "ui/search/cinfinitelistview.h"
#include "ui/search/darkpalette.h"
#include "ui/search/staticstevilorezultatov.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QContextMenuEvent>
#include <QPainter>
#include <QToolButton>

IskalnoOknoInSeznam::IskalnoOknoInSeznam(QWidget* parent)
    : QWidget(parent), m_clear(new QToolButton(this)), m_list(new CInfiniteListView(this)),
      m_box(new VnosnoOknoIztocnica(this)), m_count(new StaticSteviloRezultatov(this))
{
    setObjectName(QStringLiteral("searchPane"));
    m_clear->setIcon(QIcon(QStringLiteral(":/icons/clear.svg")));
    m_clear->setIconSize(QSize(21, 21));
    m_clear->setAutoRaise(true);
    m_clear->setToolTip(QStringLiteral("Počisti"));
    m_clear->hide(); // offered by nothing yet; it stays out of the way of the box
    connect(m_clear, &QToolButton::clicked, this, [this] {
        m_box->clear();
        emit clearRequested();
        m_box->setFocus(Qt::OtherFocusReason);
    });

    // Typing in the list starts a new word in the box, as typing after Tab does.
    connect(m_list, &CInfiniteListView::textTyped, this, [this](const QString& text) {
        m_box->setFocus(Qt::OtherFocusReason);
        m_box->selectAll();
        m_box->insert(text);
    });

    QFont font(QStringLiteral("Arial"));
    font.setPointSize(10);
    m_box->setFont(font);
    setTabOrder(m_box, m_list);
}

QString IskalnoOknoInSeznam::GetQueryText() const
{
    return m_box->text();
}

void IskalnoOknoInSeznam::ShowResultCount(int count)
{
    m_count->setText(QStringLiteral("Najdenih: ") + QString::number(count));
}

void IskalnoOknoInSeznam::SetResultCount(int count, bool selectFirst)
{
    ShowResultCount(count);
    resultCount = count;
    m_list->SetHitCount(count);
    if (selectFirst)
        m_list->SelectHit(0);
}

void IskalnoOknoInSeznam::layoutChildren()
{
    const int cx = width(), cy = height();
    const int h = QFontMetrics(m_box->font()).boundingRect(QStringLiteral("GGgg88jjytT")).height();
    const int boxHeight = h + 6;
    m_clear->setGeometry(cx - 23, (boxHeight - 17) / 2 + 2, 21, 21);
    m_box->setGeometry(2, 2, qMax(0, cx - 6), boxHeight);
    m_count->setGeometry(2, boxHeight + 6, qMax(0, cx - 4), boxHeight + 4);
    m_list->setGeometry(2, 2 * boxHeight + 16, qMax(0, cx - 4), qMax(0, cy - 2 * boxHeight - 22));
}

void IskalnoOknoInSeznam::resizeEvent(QResizeEvent* event)
{
    layoutChildren();
    QWidget::resizeEvent(event);
}

void IskalnoOknoInSeznam::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), isDarkPalette(palette()) ? palette().color(QPalette::Window)
                                                             : QColor(230, 230, 230));
}

void IskalnoOknoInSeznam::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}
