#pragma once

#include "core/records.h"

#include <QByteArray>
#include <QString>

// The client version the messages request carries: the program's version up to, not
// including, its second dot ("2.0" from "2.0.0.0"); a version with fewer dots is sent whole.
QString messagesClientVersion(const QString& programVersion);

// The messages request for a client version and the id of the newest message already seen.
QString messagesUrl(const QString& baseUrl, const QString& clientVersion, int lastMessageId);

// Reads one messages answer into message and lastMessageId. Bytes that are not a
// well-formed document leave both as they were and give false. Otherwise welcome is set
// (empty when absent), each of the upgrade, version and news groups is filled when its
// element is present, and lastMessageId takes last_message_id when that element exists.
bool readMessagesAnswer(const QByteArray& body, CMessage& message, int& lastMessageId);
