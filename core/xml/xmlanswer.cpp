#include "core/xml/xmlanswer.h"

#include <pugixml.hpp>

XmlAnswer::XmlAnswer() : m_doc(std::make_unique<pugi::xml_document>())
{
}

XmlAnswer::~XmlAnswer() = default;
XmlAnswer::XmlAnswer(XmlAnswer&&) noexcept = default;
XmlAnswer& XmlAnswer::operator=(XmlAnswer&&) noexcept = default;

XmlAnswer XmlAnswer::fromBytes(const QByteArray& bytes)
{
    XmlAnswer answer;
    if (bytes.isEmpty()) {
        answer.m_error = QStringLiteral("empty answer");
        return answer;
    }
    // Keep white-space-only text (entries and headwords are taken as sent); leave the
    // DOCTYPE unparsed, so no entity declared there is ever expanded.
    const unsigned options = (pugi::parse_default | pugi::parse_ws_pcdata) & ~pugi::parse_doctype;
    const pugi::xml_parse_result parsed =
        answer.m_doc->load_buffer(bytes.constData(), size_t(bytes.size()), options, pugi::encoding_auto);
    if (!parsed || !answer.m_doc->document_element()) {
        answer.m_error =
            parsed ? QStringLiteral("no document element") : QString::fromUtf8(parsed.description());
        answer.m_doc->reset();
    }
    return answer;
}

bool XmlAnswer::isEmpty() const
{
    return !m_doc || !m_doc->first_child();
}

XmlElement XmlAnswer::document() const
{
    if (!m_doc)
        return XmlElement();
    return XmlElement(m_doc->internal_object());
}
