#pragma once

#include "tests/support/scriptedserver.h"

#include <QByteArray>
#include <QString>

// A result list of a given length served like the dictionary service would: search
// pages by position and entries-after pages by order. Every hit's fields are derived
// from its position, so tests can tell exactly which hit came from where.
class ScriptedResults
{
public:
    explicit ScriptedResults(int total) : m_total(total) {}

    int total() const { return m_total; }

    // Orders are spaced out and offset so that they are never mistaken for positions.
    static int orderOf(int position) { return 1000 + 3 * position; }
    static int entryIdOf(int position) { return 5000 + position; }
    static int dictionaryIdOf(int position) { return position % 2 ? 58 : 70; }
    static QString headwordOf(int position) { return QStringLiteral("geslo %1").arg(position); }

    // Answers "/1.0/search" (by start position) and "/1.0/search/entries-after" (by
    // the order of the last hit held) on the server, at most `rows` hits per page.
    void install(ScriptedServer& server) const;

    // The answer holding the hits from firstPosition on.
    QByteArray page(int firstPosition, int rows) const;

    // The value of key in a request target ("path?a=1&b=2"), as sent; empty when absent.
    static QString parameter(const QString& target, const QString& key);

private:
    int m_total;
};
