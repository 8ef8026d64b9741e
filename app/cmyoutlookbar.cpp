#include "app/cmyoutlookbar.h"

#include <QContextMenuEvent>
#include <QTabWidget>

CMyOutlookBar::CMyOutlookBar(QWidget* parent)
    : QDockWidget(QStringLiteral("Shortcuts"), parent), m_tabs(new QTabWidget(this))
{
    setObjectName(QStringLiteral("navigationPane"));
    setFeatures(QDockWidget::NoDockWidgetFeatures);
    setAllowedAreas(Qt::LeftDockWidgetArea);
    setTitleBarWidget(new QWidget(this)); // no caption strip: the page tab names the pane
    m_tabs->setTabPosition(QTabWidget::South);
    m_tabs->setDocumentMode(true);
    setWidget(m_tabs);
}

void CMyOutlookBar::addPage(QWidget* page, const QString& caption)
{
    m_tabs->addTab(page, caption);
}

void CMyOutlookBar::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
}
