// A second running program on the settings store, for the tests of tst_storeprocess.cpp.
//   filters_storechild save-as NAME   starts like the program, saves dictionary 70 as a new
//                                     filter and prints its id
//   filters_storechild save-many PREFIX GO
//                                     once the file GO exists, saves 40 filters PREFIX0..39
//   filters_storechild replace OLD NEW
//                                     starts like the program, deletes the filter named OLD
//                                     and saves dictionary 70 as a new filter NEW; prints its id
//   filters_storechild change NAME    starts like the program and saves dictionary 70 into
//                                     the filter named NAME; prints the id it went to
//   filters_storechild rewrite        starts like the program, then stores every user
//                                     filter again and again with a text of 3000 characters
//                                     that changes each round; prints "ready" after its
//                                     first write and runs until it is killed
#include "core/capi.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <QStringList>
#include <cstdio>

namespace {
CApi& startedApi(CApi& api)
{
    CSlovar d;
    d.id = 70;
    api.m_slovarji = {d};
    api.InitFilters();
    return api;
}

int positionOf(const CApi& api, const QString& name)
{
    for (qsizetype i = 0; i < api.m_sheme.size(); ++i) {
        if (api.m_sheme.at(i).name == name)
            return int(i);
    }
    return -1;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    CApi api;

    if (args.size() == 3 && args.at(1) == QStringLiteral("save-as")) {
        startedApi(api).SelectDictionaryById(70);
        std::printf("%d\n", api.SaveSelectionAsFilter(args.at(2)));
        return 0;
    }

    if (args.size() == 4 && args.at(1) == QStringLiteral("replace")) {
        startedApi(api).SelectDictionaryById(70);
        if (!api.DeleteFilter(positionOf(api, args.at(2))))
            return 1;
        std::printf("%d\n", api.SaveSelectionAsFilter(args.at(3)));
        return 0;
    }

    if (args.size() == 3 && args.at(1) == QStringLiteral("change")) {
        startedApi(api).SelectDictionaryById(70);
        std::printf("%d\n", api.SaveSelectionToFilter(positionOf(api, args.at(2))));
        return 0;
    }

    if (args.size() == 4 && args.at(1) == QStringLiteral("save-many")) {
        // Waits for the file named by the test, so that both programs start saving together.
        while (!QFile::exists(args.at(3)))
            QThread::msleep(1);
        startedApi(api).SelectDictionaryById(70);
        for (int i = 0; i < 40; ++i) {
            if (api.SaveSelectionAsFilter(args.at(2) + QString::number(i)) < 3)
                return 1;
        }
        return 0;
    }

    if (args.size() == 2 && args.at(1) == QStringLiteral("rewrite")) {
        startedApi(api);
        for (int round = 1;; ++round) {
            const QString fill(3000, QChar(u'0' + round % 10));
            const QList<CShema> filters = api.m_sheme;
            for (const CShema& f : filters) {
                if (f.id >= 2) {
                    const QString id = QString::number(f.id);
                    api.SetFilter(f.id, f.name, u',' + id + u',' + fill + u',' + id + u',');
                    if (round == 1 && f.id == 2) {
                        std::puts("ready");
                        std::fflush(stdout);
                    }
                }
            }
        }
    }

    std::fputs(
        "usage: filters_storechild save-as NAME | replace OLD NEW | change NAME | save-many PREFIX GO | "
        "rewrite\n",
        stderr);
    return 2;
}
