#pragma once

#include "apiconfig.h"
#include "cikona.h"

#include <QByteArray>
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

    // The 16 x 16 picture shown for every icon that cannot be had.
    static QImage fallbackIcon();
    // The picture in bytes (any format Qt reads), or the fallback when they do not decode.
    static QImage decodeIcon(const QByteArray& bytes);

private:
    QString m_baseUrl;
    QList<CIkona> m_records;
};

// The icon of a dictionary: from the cache, else downloaded once, decoded and cached.
// An answer that is not a picture caches the fallback; when the service cannot be
// reached the fallback is returned and nothing is cached, so a later call tries again.
// Never a null image.
QImage GetDictionaryIcon(IconCache& cache, int dictionaryId);
