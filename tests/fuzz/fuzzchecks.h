#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>

// What the fuzz targets share: a property check that stops the run (libFuzzer keeps the
// input that broke it) and an upper bound for the elements of a name in raw answer bytes.

#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "property failed at %s:%d: %s\n", __FILE__, __LINE__, #condition);          \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

namespace fuzzchecks {

// How often "<name" followed by white space, ">" or "/" occurs in the bytes, in any of the
// encodings the parser detects (one-byte, UTF-16 and UTF-32 either way round). No element
// of that name can exist without such an occurrence: entities are never expanded and names
// take no character references, so this bounds what a reader may find.
inline qsizetype startTagBound(const QByteArray& bytes, const char* name)
{
    const QByteArray tag = QByteArray("<") + name;
    const char ends[] = {' ', '\t', '\n', '\r', '>', '/'};
    qsizetype count = 0;
    for (const int width : {1, 2, 4}) {
        for (const bool bigEndian : {false, true}) {
            if (width == 1 && bigEndian)
                continue;
            auto encode = [&](char c) {
                QByteArray unit(width, '\0');
                unit[bigEndian ? width - 1 : 0] = c;
                return unit;
            };
            QByteArray wide;
            for (const char c : tag)
                wide += encode(c);
            for (qsizetype at = bytes.indexOf(wide); at >= 0; at = bytes.indexOf(wide, at + 1)) {
                const QByteArray next = bytes.mid(at + wide.size(), width);
                for (const char e : ends) {
                    if (next == encode(e)) {
                        ++count;
                        break;
                    }
                }
            }
        }
    }
    return count;
}

} // namespace fuzzchecks
