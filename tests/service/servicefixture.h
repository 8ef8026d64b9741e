#pragma once

#include "service/dictionaryservice.h"
#include "service/serviceoptions.h"
#include "service/servicesetup.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <pugixml.hpp>

// A temporary folder with dictd files and a config that the tests write themselves, and the
// dictionary service running on it in-process on a free loopback port. get() makes one real
// HTTP request with cpp-httplib's client.
class ServiceFixture
{
public:
    struct Answer
    {
        int status = 0;
        QByteArray body;
        QByteArray contentType;
        QByteArray contentLength;
        pugi::xml_document xml; // parsed body (empty unless XML)
    };
    struct Entry
    {
        QByteArray headword;
        QByteArray text;
    };

    static const QByteArray key;

    ServiceFixture();
    ~ServiceFixture();

    QString dir() const { return m_dir.path(); }
    // Writes NAME.index and NAME.dict (or NAME.dict.dz, gzip-compressed) in the folder.
    void writeDictd(const QString& name, const QList<Entry>& entries, bool compressed = false);
    // NAME.index and NAME.dict.dz as dictzip writes it: chunks of chunkLength bytes each
    // compressed on its own, their sizes in the gzip header's "RA" field. NAME may hold a
    // folder ("dirs/a/slv-eng").
    void writeDictzip(const QString& name, const QList<Entry>& entries, int chunkLength);
    void writeFile(const QString& name, const QByteArray& content);
    // Loads the config text (written as config.json) and starts the service; false with
    // the error when the load fails.
    bool start(const QByteArray& config, QString* error = nullptr, int synthetic = 0);
    // Starts with the options as given (configPath empty: the bundled sample).
    bool startWith(const ServiceOptions& options, QString* error = nullptr);
    void stop();

    int port() const { return m_port; }
    // What the config load and discovery warned about.
    QStringList warnings() const;
    std::unique_ptr<Answer> get(const QByteArray& target) const;

    // The client's escaping of a query value: UTF-8 bytes, lowercase %xx, backslash to "/".
    static QByteArray escaped(const QByteArray& utf8);
    // The headwords (with dictionary ids) of an answer's entries, as "headword@id".
    static QList<QByteArray> hits(const pugi::xml_document& xml);
    static QByteArray text(const pugi::xml_document& xml, const char* element);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ServiceSetup> m_setup;
    std::unique_ptr<DictionaryService> m_service;
    int m_port = -1;
};
