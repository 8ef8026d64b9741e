#pragma once

#include <QString>
#include <QWebEngineUrlRequestInterceptor>

// Entry pages hold HTML from the network: of all local files they may load only the
// stylesheet.
class FileAccessGuard : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    explicit FileAccessGuard(QObject* parent = nullptr);

    void setAllowedFile(const QString& path);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

private:
    QString m_allowed;
};
