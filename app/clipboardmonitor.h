#pragma once

#include <QClipboard>
#include <QObject>
#include <QPointer>
#include <QString>

// Watches the system clipboard and reports every text copied to it, in any program and
// in this one, while monitoring is on. It only reports; the main frame decides what a
// copied text does (it becomes the headword and is searched).
class ClipboardMonitor : public QObject
{
    Q_OBJECT

public:
    // Watches `clipboard`, the application's clipboard when null.
    explicit ClipboardMonitor(QClipboard* clipboard = nullptr, QObject* parent = nullptr);

    // On only when the value is exactly 1, as "CheckClipboard" is read.
    void setCheckClipboard(int value) { m_checkClipboard = value; }
    int checkClipboard() const { return m_checkClipboard; }
    void setEnabled(bool on) { m_checkClipboard = on ? 1 : 0; }
    bool isEnabled() const { return m_checkClipboard == 1; }

    // Whether a change that brings the same text as the one before is passed over. On by
    // default under Wayland, where the compositor hands the clipboard over again each time
    // the window gets the keyboard focus, so such a "change" is no new copy.
    void setIgnoreRepeats(bool on) { m_ignoreRepeats = on; }
    bool ignoresRepeats() const { return m_ignoreRepeats; }

    // Acts on what the clipboard holds now, as on a change: at start-up the text already
    // there is searched once when monitoring is on.
    void checkNow();

    // What a copied text looks up: the text trimmed of white space; from several lines or a
    // sentence (four words or more, or two or more ending in . ! ? or …) only the first word,
    // trimmed of punctuation. Empty when there is nothing to look up.
    static QString lookupText(const QString& copied);

signals:
    // A text was copied: what it looks up (lookupText), never empty.
    void textCopied(const QString& trimmed);

private:
    void onChanged(QClipboard::Mode mode);

    QPointer<QClipboard> m_clipboard;
    int m_checkClipboard = 0;
    bool m_ignoreRepeats = false;
    QString m_lastText; // the clipboard's text at the last change, trimmed
};
