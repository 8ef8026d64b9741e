#pragma once

#include "core/records.h"

#include <QString>

class QWidget;

// The service's start-up notices: the upgrade notice and the news, shown in modal
// MessageDialogs, and the main frame's decision whether start-up goes on.

// The notice's text: every "\n" of the body becomes "\r\n", and then every backslash
// followed by n does too.
QString UpgradeNoticeText(const QString& upgradeBody);
// The news text: the body with "\n" as "\r\n" (its backslash-n sequences kept), an empty
// line, the log with "\n" and then backslash-n as "\r\n", and a closing "\r\n".
QString NewsText(const QString& newsBody, const QString& newsLog);

// Dialog 328 when upgradeRequired is exactly "true", 326 otherwise; the closing button's id.
int ShowUpgradeNotice(const CMessage& message, QWidget* parent);
// Dialog 327; the closing button's id.
int ShowNews(const CMessage& message, QWidget* parent);

// Whether the upgrade address may be handed to the desktop: only web addresses, so that a
// message cannot make the desktop open a local file or start a program.
bool IsOpenableUpgradeUrl(const QString& upgradeUrl);

// What the main frame does with the messages before it builds its content: the upgrade
// notice when there is one (taking it opens upgradeUrl), the end of start-up for a taken or
// required upgrade, then the news. False means the program ends: with exit code 1, or the
// signal's (QuitSignals) when a termination signal came while a notice was open.
bool ShowStartupMessages(const CMessage& message, QWidget* parent);
