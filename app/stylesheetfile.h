#pragma once

#include <QString>
#include <memory>

class QTemporaryFile;

// The stylesheet of the entry pages, written to a "CSS_" file in the temporary directory for
// the pages to link, and removed again when the program ends.
class StylesheetFile
{
public:
    // Writes the compiled-in stylesheet; path() stays empty when the file cannot be written.
    explicit StylesheetFile(const QString& resource = QStringLiteral(":/verbolix.css"));
    ~StylesheetFile();
    StylesheetFile(const StylesheetFile&) = delete;
    StylesheetFile& operator=(const StylesheetFile&) = delete;

    QString path() const { return m_path; }

private:
    std::unique_ptr<QTemporaryFile> m_file;
    QString m_path;
};
