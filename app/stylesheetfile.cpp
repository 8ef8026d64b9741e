#include "app/stylesheetfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

StylesheetFile::StylesheetFile(const QString& resource)
    : m_file(std::make_unique<QTemporaryFile>(QDir::temp().filePath(QStringLiteral("CSS_XXXXXX.css"))))
{
    QFile source(resource);
    if (!source.open(QIODevice::ReadOnly) || !m_file->open())
        return;
    const QByteArray text = source.readAll();
    if (m_file->write(text) != text.size() || !m_file->flush())
        return;
    m_file->close();
    m_path = QFileInfo(m_file->fileName()).absoluteFilePath();
}

StylesheetFile::~StylesheetFile() = default; // the temporary file removes itself
