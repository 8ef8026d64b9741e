#pragma once

#include "core/records.h"

#include <QList>
#include <QString>

// The dictionaries text of a set of dictionaries: a comma, then each id followed by a
// comma, in list order (",70,58,"); "," for none.
QString DictionariesText(const QList<CSlovar>& dictionaries);

// Whether a dictionaries text names the dictionary: it holds ",<id>," (so ",170," does not
// hold 70).
bool TextContainsDictionary(const QString& text, int id);
