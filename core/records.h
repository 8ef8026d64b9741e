#pragma once

#include <QList>
#include <QString>

#include <memory>

// The language codes of one dictionary, shared by every copy of its record and never
// changed after the dictionary list has been read.
using LanguageList = std::shared_ptr<const QList<QString>>;

// One dictionary offered by the service.
struct CSlovar
{
    int id = 0;
    QString name;
    QString author;
    LanguageList languages; // null in a default record
    int type = 0;
    int lingualism = 0;
};

// One hit: a headword of a search result.
struct CZadetek
{
    int entryId = 0;
    int dictionaryId = 0;
    QString headword;
    int order = 0;
    int position = 0; // row in the whole result list, set when merged into the window
};

// One language code exactly as the service writes it.
struct CJezik
{
    QString code;
};

// One dictionary filter: a named set of dictionaries.
struct CShema
{
    QString name;
    int id = 0;           // 0 all dictionaries, 1 the temporary filter, 2..99 the user's
    QString dictionaries; // ",70,58,"; "," for none
    bool temporary = false;
};

// The last server message; filled once at start-up.
struct CMessage
{
    QString welcome;
    QString newsTitle;
    QString newsBody;
    QString newsLog;
    QString versionTitle;
    QString versionBody;
    QString versionLog;
    QString upgradeTitle;
    QString upgradeBody;
    QString upgradeLog;
    QString reserved; // never filled or read; kept so the record has the service's shape
    QString upgradeUrl;
    QString upgradeRequired;
};
