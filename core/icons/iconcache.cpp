#include "core/icons/iconcache.h"

#include "core/http/httpclient.h"
#include "core/requesturls.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

IconCache::IconCache(const QString& baseUrl) : m_baseUrl(baseUrl)
{
}

int IconCache::indexOf(int dictionaryId) const
{
    for (qsizetype i = 0; i < m_records.size(); ++i) {
        if (m_records.at(i).dictionaryId == dictionaryId)
            return int(i);
    }
    return -1;
}

QImage IconCache::icon(int dictionaryId) const
{
    const int i = indexOf(dictionaryId);
    return i < 0 ? QImage() : m_records.at(i).bitmap;
}

QImage IconCache::fallbackIcon()
{
    // A closed grey book with a light page edge, drawn once and shared.
    static const QImage picture = [] {
        QImage image(16, 16, QImage::Format_RGB888);
        image.fill(QColor(255, 255, 255));
        QPainter p(&image);
        p.fillRect(3, 1, 10, 14, QColor(96, 110, 128));
        p.fillRect(4, 2, 1, 12, QColor(64, 74, 88));
        p.fillRect(12, 2, 1, 12, QColor(236, 236, 230));
        p.fillRect(6, 4, 5, 1, QColor(220, 226, 234));
        p.fillRect(6, 6, 5, 1, QColor(220, 226, 234));
        return image;
    }();
    return picture;
}

QImage IconCache::decodeIcon(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return fallbackIcon();
    QByteArray data = bytes;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // A tiny file may announce an enormous picture; such a thing is no icon.
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > maxIconSide || size.height() > maxIconSide))
        return fallbackIcon();
    const QImage image = reader.read();
    if (image.isNull() || image.width() > maxIconSide || image.height() > maxIconSide)
        return fallbackIcon();
    return image;
}

namespace {

HttpRequest iconRequest(const IconCache& cache, int dictionaryId)
{
    HttpRequest request;
    request.url = dictionaryIconUrl(cache.baseUrl(), dictionaryId);
    request.maxBytes = IconCache::maxIconBytes; // read as it arrives, whatever Content-Length says
    return request;
}

// The record for an answer that reached the service.
CIkona iconRecord(int dictionaryId, const HttpResult& result)
{
    CIkona record;
    record.dictionaryId = dictionaryId;
    record.bitmap = result.ok() ? IconCache::decodeIcon(result.body) : IconCache::fallbackIcon();
    return record;
}

} // namespace

QImage GetDictionaryIcon(IconCache& cache, int dictionaryId)
{
    const QImage cached = cache.icon(dictionaryId);
    if (!cached.isNull())
        return cached;

    if (!cache.mayDownload())
        return IconCache::fallbackIcon();

    const HttpResult result = HttpClient::get(iconRequest(cache, dictionaryId));
    if (!result.answered()) {
        cache.noteUnreachable();
        return IconCache::fallbackIcon();
    }

    const CIkona record = iconRecord(dictionaryId, result);
    cache.append(record);
    return record.bitmap;
}

void PreloadIcons(IconCache& cache, const QList<int>& dictionaryIds)
{
    QList<int> missing;
    const QList<HttpRequest> requests = IconDownloads(cache, dictionaryIds, missing);
    if (requests.isEmpty())
        return;
    StoreIconDownloads(cache, missing, HttpClient::getMany(requests));
}

QList<HttpRequest> IconDownloads(const IconCache& cache, const QList<int>& dictionaryIds, QList<int>& missing)
{
    missing.clear();
    QList<HttpRequest> requests;
    if (!cache.mayDownload())
        return requests;
    // Each missing dictionary once, in first-asked order: a repeat finds the first's record.
    for (const int id : dictionaryIds) {
        if (cache.indexOf(id) >= 0 || missing.contains(id))
            continue;
        missing.append(id);
        requests.append(iconRequest(cache, id));
    }
    return requests;
}

HttpOutcome StoreIconDownloads(IconCache& cache, const QList<int>& missing, const QList<HttpResult>& results)
{
    for (qsizetype i = 0; i < missing.size() && i < results.size(); ++i) {
        if (!results.at(i).answered()) {
            cache.noteUnreachable();
            break;
        }
        cache.append(iconRecord(missing.at(i), results.at(i)));
    }
    return results.isEmpty() ? HttpOutcome{} : results.last().outcome();
}
