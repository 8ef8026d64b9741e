#include "service/answerdocument.h"

AnswerDocument::AnswerDocument(const char* rootName)
{
    pugi::xml_node declaration = m_document.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "utf-8";
    m_root = m_document.append_child(rootName);
}

pugi::xml_node AnswerDocument::addText(pugi::xml_node parent, const char* name, std::string_view text)
{
    pugi::xml_node node = parent.append_child(name);
    if (!text.empty())
        node.append_child(pugi::node_pcdata).set_value(std::string(text).c_str());
    return node;
}

pugi::xml_node AnswerDocument::addNumber(pugi::xml_node parent, const char* name, long long value)
{
    return addText(parent, name, std::to_string(value));
}

std::string AnswerDocument::toString() const
{
    struct StringWriter : pugi::xml_writer
    {
        std::string text;
        void write(const void* data, size_t size) override
        {
            text.append(static_cast<const char*>(data), size);
        }
    } writer;
    m_document.save(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return std::move(writer.text);
}

void AnswerDocument::appendEscaped(std::string& out, std::string_view text)
{
    for (const char ch : text) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += ch;
        }
    }
}

std::string AnswerDocument::error(int status, std::string_view message)
{
    AnswerDocument answer("error");
    addNumber(answer.root(), "status", status);
    addText(answer.root(), "message", message);
    return answer.toString();
}
