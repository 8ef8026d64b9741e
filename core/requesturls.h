#pragma once

#include "core/records.h"

#include <QList>
#include <QString>

// The URL of every request to the service, built byte for byte: base address, versioned
// path, the access key first, then the parameters in a fixed order. Text values travel
// as UTF-8 through UrlEscape; numbers in plain decimal.
constexpr int pageRows = 200;

QString dictionaryListUrl(const QString& base);
QString searchUrl(const QString& base, const QString& query, const QList<CSlovar>& dictionaries, int start);
QString entriesAfterUrl(const QString& base, const QString& query, const QList<CSlovar>& dictionaries,
                        int start);
QString entryIndexUrl(const QString& base, const QString& query, const QString& headword,
                      const QList<CSlovar>& dictionaries);
QString getEntryUrl(const QString& base, int dictionaryId, int entryId);
QString dictionaryIconUrl(const QString& base, int dictionaryId);
