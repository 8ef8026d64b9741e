#include "app/clipboardmonitor.h"


#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>

ClipboardMonitor::ClipboardMonitor(QClipboard* clipboard, QObject* parent)
    : QObject(parent), m_clipboard(clipboard ? clipboard : QGuiApplication::clipboard()),
      m_ignoreRepeats(QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
{
    if (m_clipboard)
        connect(m_clipboard, &QClipboard::changed, this, &ClipboardMonitor::onChanged);
}

QString ClipboardMonitor::lookupText(const QString& copied)
{
    const QString text = copied.trimmed();
    const bool severalLines = text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(0x2028)) ||
                              text.contains(QChar(0x2029));
    const QStringList words = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    const bool endsSentence = text.endsWith(u'.') || text.endsWith(u'!') || text.endsWith(u'?') ||
                              text.endsWith(QChar(0x2026));
    const bool sentence = words.size() >= 4 || (words.size() >= 2 && endsSentence);
    if (!severalLines && !sentence)
        return text; // a word or a short phrase is looked up as it stands
    for (const QString& word : words) {
        qsizetype first = 0;
        qsizetype last = word.size();
        while (first < last && (word.at(first).isPunct() || word.at(first).isSymbol()))
            ++first;
        while (last > first && (word.at(last - 1).isPunct() || word.at(last - 1).isSymbol()))
            --last;
        if (first < last)
            return word.mid(first, last - first);
    }
    return {};
}

void ClipboardMonitor::onChanged(QClipboard::Mode mode)
{
    // Only what is copied; the X11 primary selection changes with every mouse selection.
    if (mode == QClipboard::Clipboard)
        checkNow();
}

void ClipboardMonitor::checkNow()
{
    if (!m_clipboard)
        return;
    const QMimeData* data = m_clipboard->mimeData(QClipboard::Clipboard);
    const QString text = data && data->hasText() ? data->text().trimmed() : QString();
    // Remembered while monitoring is off too, so that turning it on later does not take a
    // hand-over of the old text for a copy.
    const bool repeat = text == m_lastText;
    m_lastText = text;
    if (!isEnabled() || text.isEmpty() || (repeat && m_ignoreRepeats))
        return;
    const QString lookUp = lookupText(text);
    if (!lookUp.isEmpty())
        emit textCopied(lookUp);
}
