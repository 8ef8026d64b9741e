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

void FileAccessGuard::setAllowedFiles(const QStringList& paths)
{
    m_allowed.clear();
    for (const QString& path : paths) {
        if (!path.isEmpty())
            m_allowed.append(normalised(path));
    }
}

void FileAccessGuard::interceptRequest(QWebEngineUrlRequestInfo& info)
{
    const QUrl url = info.requestUrl();
    if (!url.isLocalFile() && url.scheme() != u"file")
        return;
    if (!m_allowed.contains(normalised(url.toLocalFile())))
        info.block(true);
}
