#include "core/filters/dictionariestext.h"

QString DictionariesText(const QList<CSlovar>& dictionaries)
{
    QString text = QStringLiteral(",");
    for (const CSlovar& d : dictionaries)
        text += QString::number(d.id) + u',';
    return text;
}

bool TextContainsDictionary(const QString& text, int id)
{
    return text.contains(u',' + QString::number(id) + u',');
}
