#pragma once

#include <QStringList>
#include <QWebEngineUrlRequestInterceptor>

// Entry pages hold HTML from the network: of all local files they may load only the
// stylesheets.
class FileAccessGuard : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    explicit FileAccessGuard(QObject* parent = nullptr);

    // Empty paths allow nothing.
    void setAllowedFiles(const QStringList& paths);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    QStringList m_allowed;
};
