#include "clipboardmonitor.h"

#include "settings.h"

#include <QGuiApplication>
#include <QMimeData>
#include <climits>

ClipboardMonitor::ClipboardMonitor(QClipboard* clipboard, QObject* parent)
    : QObject(parent), m_clipboard(clipboard ? clipboard : QGuiApplication::clipboard())
{
    if (m_clipboard)
        connect(m_clipboard, &QClipboard::changed, this, &ClipboardMonitor::onChanged);
}

int ClipboardMonitor::toggle()
{
    // In 64 bits: a stored value as low as INT_MIN must not overflow.
    m_checkClipboard = int(qBound(qint64(INT_MIN), 1 - qint64(m_checkClipboard), qint64(INT_MAX)));
    Settings::Write(Setting::CheckClipboard, m_checkClipboard);
    return m_checkClipboard;
}

void ClipboardMonitor::onChanged(QClipboard::Mode mode)
{
    // Only what is copied; the X11 primary selection changes with every mouse selection.
    if (mode == QClipboard::Clipboard)
        checkNow();
}

void ClipboardMonitor::checkNow()
{
    if (!isEnabled() || !m_clipboard)
        return;
    const QMimeData* data = m_clipboard->mimeData(QClipboard::Clipboard);
    if (!data || !data->hasText())
        return;
    const QString text = data->text().trimmed();
    if (!text.isEmpty())
        emit textCopied(text);
}
