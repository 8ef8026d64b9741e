#include "tests/service/servicefixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <httplib.h>
#include <zlib.h>

const QByteArray ServiceFixture::key = VERBOLIX_LICENCE_KEY;

namespace {

QByteArray base64Number(qint64 value)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QByteArray out;
    do {
        out.prepend(digits[value % 64]);
        value /= 64;
    } while (value > 0);
    return out;
}

// The entries' texts one after the other, and their index lines (headword, offset, length).
QByteArray dictionaryData(const QList<ServiceFixture::Entry>& entries, QByteArray& index)
{
    QByteArray data;
    for (const ServiceFixture::Entry& entry : entries) {
        index +=
            entry.headword + '\t' + base64Number(data.size()) + '\t' + base64Number(entry.text.size()) + '\n';
        data += entry.text;
    }
    return data;
}

} // namespace

ServiceFixture::ServiceFixture() = default;

ServiceFixture::~ServiceFixture()
{
    stop();
}

void ServiceFixture::writeFile(const QString& name, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(m_dir.filePath(name)).path());
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write the fixture file");
}

void ServiceFixture::writeDictd(const QString& name, const QList<Entry>& entries, bool compressed)
{
    QByteArray index;
    const QByteArray data = dictionaryData(entries, index);
    writeFile(name + QStringLiteral(".index"), index);
    if (!compressed) {
        writeFile(name + QStringLiteral(".dict"), data);
        return;
    }
    const QByteArray path = QFile::encodeName(m_dir.filePath(name + QStringLiteral(".dict.dz")));
    gzFile file = gzopen(path.constData(), "wb");
    if (!file || gzwrite(file, data.constData(), static_cast<unsigned>(data.size())) != data.size())
        qFatal("cannot write the compressed fixture");
    gzclose(file);
}

void ServiceFixture::writeDictzip(const QString& name, const QList<Entry>& entries, int chunkLength)
{
    QByteArray index;
    const QByteArray data = dictionaryData(entries, index);
    writeFile(name + QStringLiteral(".index"), index);

    // Spelled out: with QStringBuilder a "+" here would return a builder of dead temporaries.
    auto le16 = [](int value) -> QByteArray {
        QByteArray out(2, '\0');
        out[0] = char(value & 0xff);
        out[1] = char((value >> 8) & 0xff);
        return out;
    };
    QByteArray chunks;
    QByteArray sizes;
    int count = 0;
    for (qsizetype at = 0; at < data.size(); at += chunkLength, ++count) {
        const QByteArray piece = data.mid(at, chunkLength);
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
        QByteArray out(int(deflateBound(&z, uLong(piece.size()))) + 64, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.constData()));
        z.avail_in = uInt(piece.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = uInt(out.size());
        // Full flush, not finish: each chunk starts afresh and the stream goes on.
        deflate(&z, at + chunkLength >= data.size() ? Z_FINISH : Z_FULL_FLUSH);
        out.resize(qsizetype(z.total_out));
        deflateEnd(&z);
        chunks += out;
        sizes += le16(int(out.size()));
    }
    const QByteArray ra = le16(1) + le16(chunkLength) + le16(count) + sizes;
    const QByteArray extra = "RA" + le16(int(ra.size())) + ra;
    QByteArray file = QByteArray::fromHex("1f8b0804000000000203") + le16(int(extra.size())) + extra + chunks;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size()));
    for (const quint32 value : {quint32(crc), quint32(data.size())})
        for (int shift = 0; shift < 32; shift += 8)
            file += char((value >> shift) & 0xff);
    writeFile(name + QStringLiteral(".dict.dz"), file);
}

bool ServiceFixture::start(const QByteArray& config, QString* error, int synthetic)
{
    writeFile(QStringLiteral("config.json"), config);
    ServiceOptions options;
    options.configPath = QFile::encodeName(m_dir.filePath(QStringLiteral("config.json"))).toStdString();
    options.synthetic = synthetic;
    return startWith(options, error);
}

bool ServiceFixture::startWith(const ServiceOptions& options, QString* error)
{
    stop();
    m_setup = std::make_unique<ServiceSetup>();
    std::string loadError;
    if (!m_setup->load(options, loadError)) {
        if (error)
            *error = QString::fromStdString(loadError);
        m_setup.reset();
        return false;
    }
    m_service = std::make_unique<DictionaryService>(m_setup->catalogue(), m_setup->config().messages(),
                                                    DictionaryService::Settings{key.toStdString(), 0});
    m_port = m_service->start("127.0.0.1", 0);
    return m_port > 0;
}

void ServiceFixture::stop()
{
    m_service.reset();
    m_setup.reset();
    m_port = -1;
}

QStringList ServiceFixture::warnings() const
{
    QStringList out;
    if (m_setup)
        for (const std::string& warning : m_setup->warnings())
            out.append(QString::fromStdString(warning));
    return out;
}

std::unique_ptr<ServiceFixture::Answer> ServiceFixture::get(const QByteArray& target) const
{
    auto answer = std::make_unique<Answer>();
    httplib::Client client("127.0.0.1", m_port);
    client.set_connection_timeout(5, 0);
    client.set_read_timeout(10, 0);
    const httplib::Result result = client.Get(target.toStdString());
    if (!result)
        return answer;
    answer->status = result->status;
    answer->body = QByteArray::fromStdString(result->body);
    answer->contentType = QByteArray::fromStdString(result->get_header_value("Content-Type"));
    answer->contentLength = QByteArray::fromStdString(result->get_header_value("Content-Length"));
    if (answer->contentType.startsWith("text/xml"))
        answer->xml.load_buffer(answer->body.constData(), static_cast<size_t>(answer->body.size()));
    return answer;
}

QByteArray ServiceFixture::escaped(const QByteArray& utf8)
{
    QByteArray out;
    for (const char ch : utf8) {
        const auto b = static_cast<unsigned char>(ch);
        if (b == '\\')
            out += '/';
        else if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '.' ||
                 b == '/' || b == ':' || b == '_')
            out += ch;
        else
            out += '%' + QByteArray::number(b >> 4, 16) + QByteArray::number(b & 15, 16);
    }
    return out;
}

QList<QByteArray> ServiceFixture::hits(const pugi::xml_document& xml)
{
    QList<QByteArray> out;
    for (const pugi::xpath_node& node : xml.select_nodes("//entry"))
        out.append(QByteArray(node.node().child("headword").text().get()) + '@' +
                   node.node().child("dictionary_id").text().get());
    return out;
}

QByteArray ServiceFixture::text(const pugi::xml_document& xml, const char* element)
{
    const pugi::xpath_node node = xml.select_node((std::string("//") + element).c_str());
    return node ? QByteArray(node.node().text().get()) : QByteArray("<missing>");
}
