#include "tests/support/tempconfig.h"

#include <QtGlobal>

TempConfig::TempConfig()
    : m_previous(qgetenv("XDG_CONFIG_HOME")), m_hadPrevious(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
{
    qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit());
}

TempConfig::~TempConfig()
{
    if (m_hadPrevious)
        qputenv("XDG_CONFIG_HOME", m_previous);
    else
        qunsetenv("XDG_CONFIG_HOME");
}
