#pragma once

#include <QWebEngineView>

struct DisplayState;
class EntrySchemeHandler;
class FileAccessGuard;

// The entry view: shows the entry of the selected hit, wrapped into the page template that
// links the stylesheet file, or at start-up the server's welcome page. Entry pages run no
// script and may read no local file but the stylesheet.
class CQuorbelView : public QWebEngineView
{
    Q_OBJECT
public:
    // display is read only: the main window owns the display mode.
    CQuorbelView(const DisplayState* display, QWidget* parent = nullptr);
    ~CQuorbelView() override;

    // Base address (scheme and host) of the service's website, put before "/Search.aspx/".
    void setWebsiteBase(const QString& base) { m_websiteBase = base; }
    // Ignored unless entries are being shown.
    void ShowEntry(QString html);
    // Once the main window is built: the welcome page when the server named one (the main
    // window then shows the start page mode).
    void OnInitialUpdate();

    QString pageHtml() const { return m_pageHtml; }
    // The page template around an already rewritten entry.
    static QString BuildPage(const QString& stylesheetPath, const QString& body);
    static QString RewriteEntry(QString html, const QString& websiteBase);

signals:
    // The view or its browser child got the keyboard focus; the main window passes it on.
    void focusReceived();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const DisplayState* m_display;
    QString m_websiteBase;
    QString m_pageHtml;
    quint64 m_serial = 0;
    FileAccessGuard* m_guard;
};
