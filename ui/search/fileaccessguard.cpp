#include "ui/search/fileaccessguard.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {
QString normalised(const QString& path)
{
    return path.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}
} // namespace

FileAccessGuard::FileAccessGuard(QObject* parent) : QWebEngineUrlRequestInterceptor(parent)
{
}

void FileAccessGuard::setAllowedFile(const QString& path)
{
    m_allowed = normalised(path);
}

void FileAccessGuard::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    const QUrl url = info.requestUrl();
    if (!url.isLocalFile() && url.scheme() != u"file")
        return;
    const QString path = normalised(url.toLocalFile());
    if (m_allowed.isEmpty() || path != m_allowed)
        info.block(true);
}
