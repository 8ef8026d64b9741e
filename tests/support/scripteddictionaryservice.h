#pragma once

#include "tests/support/scriptedserver.h"

#include <QByteArray>
#include <atomic>

// A healthy dictionary service played by a ScriptedServer, for the whole window: no messages,
// three dictionaries (70 "Slovar A", 58 "Slovar C", 12 "Slovar E") with red icons, `total`
// hits as ScriptedResults numbers them, the typed headword at `relativeIndex`, and entries
// whose text is "vnos <entryId>". Tests change the two numbers as they go (the handlers read
// them on the server's threads) or replace any path afterwards with a fault of their own.
struct ScriptedDictionaryService
{
    explicit ScriptedDictionaryService(ScriptedServer& server);

    // Puts every answer back as above, undoing what a test replaced.
    void install();

    static QByteArray dictionary(int id, const QByteArray& name, const QByteArray& author);
    static QByteArray png(int rgb);

    ScriptedServer& server;
    std::atomic<int> total{500};
    std::atomic<int> relativeIndex{37};
};
