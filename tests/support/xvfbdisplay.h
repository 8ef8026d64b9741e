#pragma once

#include <QProcess>
#include <QString>

// A private X server (Xvfb) on the first free display number, for tests that need a real
// X11 platform; stopped when the object goes. name() is empty when Xvfb is not installed or
// did not come up.
class XvfbDisplay
{
public:
    XvfbDisplay();
    ~XvfbDisplay();
    XvfbDisplay(const XvfbDisplay&) = delete;
    XvfbDisplay& operator=(const XvfbDisplay&) = delete;

    QString name() const { return m_name; }

private:
    QProcess m_server;
    QString m_name;
};
