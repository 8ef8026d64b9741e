#pragma once

#include "app/cmainframe.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>

// Waits until the window has no request under way or waiting, and drawing the rows asks
// for none: what a blocking client would have done before returning to the test.
inline bool waitUntilSettled(CMainFrame& frame, int timeoutMs = 15000)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (!QTest::qWaitFor([&] { return frame.isSettled(); }, int(deadline.remainingTime())))
            return false;
        // Rows drawn on the next frame may ask for their page.
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        if (frame.isSettled())
            return true;
    }
    return false;
}
