#include "service/entryhtml.h"

#include "service/utf8text.h"

#include <vector>

namespace {

void appendText(pugi::xml_node node, std::string_view text)
{
    if (!text.empty())
        node.append_child(pugi::node_pcdata).set_value(std::string(text).c_str());
}

// Text with "{word}" cross-references; in the headword line also /pronunciation/ and
// <grammar>; a leading [label] in any line.
void appendInline(pugi::xml_node node, std::string_view text, bool headwordLine)
{
    if (text.size() > 1 && text.front() == '[') {
        const size_t close = text.find(']');
        if (close != std::string_view::npos) {
            pugi::xml_node label = node.append_child("span");
            label.append_attribute("class") = "label";
            appendText(label, text.substr(0, close + 1));
            text.remove_prefix(close + 1);
        }
    }
    size_t plainStart = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char ch = text[i];
        const char closing = ch == '{'                   ? '}'
                             : headwordLine && ch == '/' ? '/'
                             : headwordLine && ch == '<' ? '>'
                                                         : 0;
        const size_t close = closing ? text.find(closing, i + 1) : std::string_view::npos;
        if (close == std::string_view::npos) {
            ++i;
            continue;
        }
        appendText(node, text.substr(plainStart, i - plainStart));
        if (ch == '{') {
            const std::string_view word = utf8text::trimmed(text.substr(i + 1, close - i - 1));
            pugi::xml_node link = node.append_child("a");
            link.append_attribute("href") = ("/Search.aspx/" + EntryHtml::searchPath(word)).c_str();
            appendText(link, word);
        } else {
            pugi::xml_node span = node.append_child("span");
            span.append_attribute("class") = ch == '/' ? "pronunciation" : "grammar";
            appendText(span, text.substr(i, close - i + 1));
        }
        i = close + 1;
        plainStart = i;
    }
    appendText(node, text.substr(plainStart));
}

pugi::xml_node paragraph(pugi::xml_node entry, const char* cssClass)
{
    pugi::xml_node p = entry.append_child("p");
    p.append_attribute("class") = cssClass;
    return p;
}

} // namespace

void EntryHtml::append(pugi::xml_node parent, std::string_view headword, std::string_view text)
{
    pugi::xml_node entry = parent.append_child("div");
    entry.append_attribute("class") = "entry";

    std::vector<std::string_view> lines;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }

    size_t first = 0;
    while (first < lines.size() && utf8text::trimmed(lines[first]).empty())
        ++first;
    pugi::xml_node head = paragraph(entry, "headword");
    pugi::xml_node bold = head.append_child("b");
    appendText(bold, headword);
    if (first < lines.size()) {
        const std::string_view line = utf8text::trimmed(lines[first]);
        if (line.substr(0, headword.size()) == headword) {
            appendInline(head, line.substr(headword.size()), true);
            ++first;
        }
    }
    for (size_t i = first; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        const std::string_view content = utf8text::trimmed(line);
        if (content.empty())
            continue;
        const bool example = line.size() > 1 && (line.substr(0, 2) == "  " || line.front() == '\t');
        appendInline(paragraph(entry, example && content.front() == '"' ? "example" : "sense"), content,
                     false);
    }
}

std::string EntryHtml::searchPath(std::string_view word)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : word) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' ||
            b == '.' || b == '_' || b == '~') {
            out += ch;
        } else {
            out += '%';
            out += hex[b >> 4];
            out += hex[b & 15];
        }
    }
    return out;
}
