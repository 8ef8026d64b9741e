#pragma once

#include "core/apiconfig.h"
#include "core/http/httprequest.h"
#include "core/http/httpresult.h"
#include "core/icons/cikona.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QImage>
#include <QList>
#include <QString>

// The dictionary icons fetched so far, in the order they were fetched. Records are only
// ever appended, so a record's index never changes and can serve as an image index.
class IconCache
{
public:
    static constexpr qint64 maxIconBytes = 1024 * 1024;
    static constexpr int maxIconSide = 1024;

    explicit IconCache(const QString& baseUrl = ApiBaseUrl());

    QString baseUrl() const { return m_baseUrl; }
    qsizetype count() const { return m_records.size(); }
    const CIkona& at(qsizetype index) const { return m_records.at(index); }
    // Index of the dictionary's record, or -1.
    int indexOf(int dictionaryId) const;
    // The cached icon, or a null image when the dictionary has no record yet.
    QImage icon(int dictionaryId) const;
    void append(const CIkona& record) { m_records.append(record); }

    // After a download that could not reach the service, further downloads wait this
    // long, so that painting rows never stalls again and again on a dead service.
    static constexpr int defaultRetryDelayMs = 30000;
    void setRetryDelayMs(int ms) { m_retryDelayMs = ms; }
    int retryDelayMs() const { return m_retryDelayMs; }
    bool mayDownload() const { return m_retryAfter.hasExpired(); }
    void noteUnreachable() { m_retryAfter.setRemainingTime(m_retryDelayMs); }

    // The 16 x 16 picture shown for every icon that cannot be had.
    static QImage fallbackIcon();
    // The picture in bytes (any format Qt reads), or the fallback when they do not decode.
    static QImage decodeIcon(const QByteArray& bytes);

private:
    QString m_baseUrl;
    QList<CIkona> m_records;
    int m_retryDelayMs = defaultRetryDelayMs;
    QDeadlineTimer m_retryAfter{0};
};

// The icon of a dictionary: from the cache, else downloaded once, decoded and cached.
// An answer that is not a picture caches the fallback; when the service cannot be
// reached the fallback is returned and nothing is cached, so a later call (once the
// cache's retry delay has passed) tries again.
// Never a null image.
QImage GetDictionaryIcon(IconCache& cache, int dictionaryId);

// Leaves the cache exactly as GetDictionaryIcon called for each id in turn would, but
// downloads the missing icons in parallel (a bounded number at once). Returns when all
// are done. As one after another, nothing is cached from the first download that could
// not reach the service onwards: those calls would have been refused during the pause.
void PreloadIcons(IconCache& cache, const QList<int>& dictionaryIds);

// PreloadIcons in two halves for a caller that downloads without blocking: the downloads
// it would make (none while the cache pauses), with the dictionary of each in missing...
QList<HttpRequest> IconDownloads(const IconCache& cache, const QList<int>& dictionaryIds,
                                 QList<int>& missing);
// ...and what it then leaves in the cache, given their results in the same order. Returns
// how the last download that counted ended.
HttpOutcome StoreIconDownloads(IconCache& cache, const QList<int>& missing, const QList<HttpResult>& results);
