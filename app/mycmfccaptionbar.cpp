#include "app/mycmfccaptionbar.h"

#include "ui/search/cellfont.h"
#include "ui/search/darkpalette.h"

#include <QPainter>

MyCMFCCaptionBar::MyCMFCCaptionBar(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("captionBar"));
    setFixedHeight(30);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void MyCMFCCaptionBar::SetText(const QString& text)
{
    m_text = text;
    update();
}

void MyCMFCCaptionBar::SetNotice(const QString& notice)
{
    if (notice == m_notice)
        return;
    m_notice = notice;
    // Screen readers announce the bar by its name.
    setAccessibleName(notice);
    update();
}

QString MyCMFCCaptionBar::noticeFor(const HttpOutcome& outcome)
{
    using Failure = HttpOutcome::Failure;
    switch (outcome.failure) {
    case Failure::Network:
        return QStringLiteral("Slovarske storitve ni mogoče doseči. Preverite povezavo z internetom.");
    case Failure::Timeout:
        return QStringLiteral("Slovarska storitev se ni odzvala pravočasno. Poskusite znova.");
    case Failure::TooLarge:
        return QStringLiteral("Slovarska storitev je poslala prevelik odgovor.");
    case Failure::HttpStatus:
        if (outcome.status >= 500)
            return QStringLiteral("Slovarska storitev je javila napako (HTTP %1). Poskusite znova pozneje.")
                .arg(outcome.status);
        return {};
    case Failure::None:
        break;
    }
    return {};
}

void MyCMFCCaptionBar::ShowOutcome(const HttpOutcome& outcome)
{
    SetNotice(noticeFor(outcome));
}

void MyCMFCCaptionBar::SetButtonToolTip(const QString& title, const QString& description)
{
    m_tipTitle = title;
    setToolTip(description.isEmpty() || title.isEmpty()
                   ? title
                   : QStringLiteral("<b>") + title.toHtmlEscaped() + QStringLiteral("</b><br/>") +
                         description.toHtmlEscaped());
}

void MyCMFCCaptionBar::paintEvent(QPaintEvent*)
{
    // A dark scheme has colours of its own, each at least 5.8:1 on the bar.
    const bool dark = isDarkPalette(palette());
    QPainter painter(this);
    painter.fillRect(rect(), dark ? QColor(43, 45, 49) : QColor(222, 222, 222));
    if (!m_notice.isEmpty()) {
        const QFont font = CellFont(QStringLiteral("Tahoma"), 18);
        const QRect box = rect().adjusted(10, 0, -10, 0);
        painter.setFont(font);
        painter.setPen(dark ? QColor(255, 133, 133) : QColor(176, 0, 32));
        painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                         QFontMetrics(font).elidedText(m_notice, Qt::ElideRight, box.width()));
        return;
    }
    if (m_text.isEmpty())
        return;

    const QString separator = QStringLiteral(" - ");
    const qsizetype at = m_text.indexOf(separator);
    const QString left = at < 0 ? m_text : m_text.left(at);
    const QString right = at < 0 ? QString() : m_text.mid(at + separator.size());

    const QFont leftFont = CellFont(QStringLiteral("Tahoma"), 22);
    const QFont rightFont = CellFont(QStringLiteral("Tahoma"), 18);
    const QFontMetrics leftMetrics(leftFont), rightMetrics(rightFont);
    const int leftWidth = leftMetrics.horizontalAdvance(left);
    const int leftHeight = leftMetrics.height(), rightHeight = rightMetrics.height();
    const int top = (height() - leftHeight) / 2;

    painter.setFont(leftFont);
    painter.setPen(dark ? QColor(255, 138, 76) : QColor(249, 104, 30));
    painter.drawText(QRect(10, top, leftWidth + 1, leftHeight), Qt::AlignLeft | Qt::AlignTop, left);
    if (!right.isEmpty()) {
        painter.setFont(rightFont);
        painter.setPen(dark ? QColor(179, 179, 179) : QColor(144, 144, 144));
        painter.drawText(QRect(leftWidth + 20, top + leftHeight - rightHeight, width(), rightHeight),
                         Qt::AlignLeft | Qt::AlignTop, right);
    }
}
