#pragma once

#include "core/records.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Pure readers of the service's XML answers: bytes in, records out, no network. Bytes
// that are not well-formed XML read as an empty document, i.e. the empty result.
// Elements missing inside an entry or a dictionary read as empty text and 0.

// Appends one hit per entry (position 0) and returns total, or 0 when there is none.
int readSearchAnswer(const QByteArray& bytes, QList<CZadetek>& out);
// Stores each of selected_order and relative_index that is present; leaves the other.
void readEntryIndexAnswer(const QByteArray& bytes, int& selectedOrder, int& relativeIndex);
// The inner markup of the first html_content as an HTML page needs it (empty elements with
// end tags), or empty.
QString readEntryAnswer(const QByteArray& bytes);
// One record per dictionary element, in document order, each with its own language list.
QList<CSlovar> readDictionaryListAnswer(const QByteArray& bytes);
