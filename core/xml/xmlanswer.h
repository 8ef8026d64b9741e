#pragma once

#include "core/xml/xmlelement.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <memory>

namespace pugi {
class xml_document;
}

// One parsed XML answer of the service. Bytes that are not well-formed XML give an empty
// document, in which every lookup finds nothing. White space in text is kept; no DTD is
// read and no entity beyond the five built-in ones is expanded.
class XmlAnswer
{
public:
    XmlAnswer();
    ~XmlAnswer();
    XmlAnswer(XmlAnswer&&) noexcept;
    XmlAnswer& operator=(XmlAnswer&&) noexcept;
    XmlAnswer(const XmlAnswer&) = delete;
    XmlAnswer& operator=(const XmlAnswer&) = delete;

    static XmlAnswer fromBytes(const QByteArray& bytes);

    // True when the bytes did not parse (or were empty).
    bool isEmpty() const;
    // Why parsing failed; empty when it succeeded.
    QString errorText() const { return m_error; }

    // The document as an element: lookups on it search the whole answer.
    XmlElement document() const;
    XmlElement first(const QString& name) const { return document().first(name); }
    QList<XmlElement> all(const QString& name) const { return document().all(name); }
    QString textOf(const QString& name) const { return document().textOf(name); }
    int intOf(const QString& name) const { return document().intOf(name); }

private:
    std::unique_ptr<pugi::xml_document> m_doc;
    QString m_error;
};
