// The messages reader on arbitrary bytes: an answer that does not parse changes nothing,
// a group is filled only when its element is there, and the id only from last_message_id.
#include "core/capimessages.h"
#include "tests/fuzz/fuzzchecks.h"
#include "core/xml/xmlanswer.h"

#include <cstddef>
#include <cstdint>

namespace {

CMessage marked()
{
    CMessage m;
    for (QString* s :
         {&m.welcome, &m.newsTitle, &m.newsBody, &m.newsLog, &m.versionTitle, &m.versionBody, &m.versionLog,
          &m.upgradeTitle, &m.upgradeBody, &m.upgradeLog, &m.reserved, &m.upgradeUrl, &m.upgradeRequired})
        *s = QStringLiteral("\u2603 before");
    return m;
}

bool untouched(const QString& s)
{
    return s == QStringLiteral("\u2603 before");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    CMessage m = marked();
    int id = -31337;
    const bool read = readMessagesAnswer(bytes, m, id);

    FUZZ_CHECK(read == !XmlAnswer::fromBytes(bytes).isEmpty());
    FUZZ_CHECK(untouched(m.reserved));
    if (!read) {
        FUZZ_CHECK(id == -31337);
        FUZZ_CHECK(untouched(m.welcome) && untouched(m.upgradeTitle) && untouched(m.newsBody));
        return 0;
    }
    FUZZ_CHECK(!untouched(m.welcome) || fuzzchecks::startTagBound(bytes, "welcome") > 0);
    if (fuzzchecks::startTagBound(bytes, "welcome") == 0)
        FUZZ_CHECK(m.welcome.isEmpty());
    if (fuzzchecks::startTagBound(bytes, "last_message_id") == 0)
        FUZZ_CHECK(id == -31337);
    if (fuzzchecks::startTagBound(bytes, "upgrade") == 0)
        FUZZ_CHECK(untouched(m.upgradeUrl) && untouched(m.upgradeTitle) && untouched(m.upgradeBody) &&
                   untouched(m.upgradeLog) && untouched(m.upgradeRequired));
    if (fuzzchecks::startTagBound(bytes, "version") == 0)
        FUZZ_CHECK(untouched(m.versionTitle) && untouched(m.versionBody) && untouched(m.versionLog));
    if (fuzzchecks::startTagBound(bytes, "news") == 0)
        FUZZ_CHECK(untouched(m.newsTitle) && untouched(m.newsBody) && untouched(m.newsLog));
    // A group that is there is filled as a whole: no field keeps its old value (unless the
    // answer itself says "before").
    if (bytes.contains("before"))
        return 0;
    if (!untouched(m.newsTitle) || !untouched(m.newsBody) || !untouched(m.newsLog))
        FUZZ_CHECK(!untouched(m.newsTitle) && !untouched(m.newsBody) && !untouched(m.newsLog));
    if (!untouched(m.upgradeUrl) || !untouched(m.upgradeRequired))
        FUZZ_CHECK(!untouched(m.upgradeUrl) && !untouched(m.upgradeTitle) && !untouched(m.upgradeBody) &&
                   !untouched(m.upgradeLog) && !untouched(m.upgradeRequired));
    return 0;
}
