// A second program on the settings store for robust_settings: run as another user (when the
// suite runs as root, for whom file modes do not count), it reads the store, tries to write
// it, starts the filter list the way the program does, saves a new filter, saves into the filter
// at position 1 and deletes it, and prints what it saw.
// Usage: settingsprobe read | write
#include "core/capi.h"
#include "core/settings.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

void printValues(const char* label)
{
    std::printf("%s AlwaysOnTop=%d LastMessageID=%d\n", label, Settings::Read(Setting::AlwaysOnTop),
                Settings::Read(Setting::LastMessageID));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    printValues("before");
    if (args.value(1) == QLatin1String("write")) {
        Settings::Write(Setting::AlwaysOnTop, 0);
        Settings::Write(Setting::LastMessageID, 77);
        CApi api;
        api.InitFilters();
        const int id = api.SaveSelectionAsFilter(QStringLiteral("Novi"));
        const int over = api.SaveSelectionToFilter(1);
        const bool deleted = api.DeleteFilter(1);
        QStringList names;
        for (const CShema& s : api.m_sheme)
            names << s.name + QLatin1Char(':') + s.dictionaries;
        std::printf("saved %d over %d deleted %d filters %s\n", id, over, int(deleted),
                    qPrintable(names.join(QLatin1Char('|'))));
        printValues("after");
    }
    return 0;
}
