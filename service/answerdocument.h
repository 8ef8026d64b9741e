#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>

// Builds one XML answer: a document with a root element, children with text, and the
// serialised UTF-8 bytes with their declaration. Written without indentation, so that no
// white space is added to texts or to entry markup.
class AnswerDocument
{
public:
    explicit AnswerDocument(const char* rootName);

    pugi::xml_node root() const { return m_root; }
    static pugi::xml_node addText(pugi::xml_node parent, const char* name, std::string_view text);
    static pugi::xml_node addNumber(pugi::xml_node parent, const char* name, long long value);
    std::string toString() const;

    // Appends text escaped for XML character data; the text must already be valid UTF-8
    // without forbidden control characters (see utf8text::sanitized).
    static void appendEscaped(std::string& out, std::string_view text);

    // <error><status>N</status><message>...</message></error>
    static std::string error(int status, std::string_view message);

private:
    pugi::xml_document m_document;
    pugi::xml_node m_root;
};
