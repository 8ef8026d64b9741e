#pragma once

#include "tests/editor/fakehost.h"
#include "tests/support/scriptedserver.h"
#include "tests/support/tempconfig.h"

#include <QList>
#include <memory>

// A scripted service with seven dictionaries, a fresh settings directory and a host whose
// CApi has read the dictionary list (so the first-run filters exist: "Začasni filter" with
// id 1 and "Prednastavljeni filter" with id 2 holding 70 and 58).
class EditorFixture
{
public:
    EditorFixture();

    // The dictionaryId values of the last search request, as the server received them.
    QList<int> lastSearchIds() const;
    int searchCount() const;

    std::unique_ptr<TempConfig> config;
    std::unique_ptr<ScriptedServer> server;
    std::unique_ptr<FakeHost> host;
};
