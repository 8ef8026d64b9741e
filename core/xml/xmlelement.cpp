#include "core/xml/xmlelement.h"

#include <limits>
#include <pugixml.hpp>
#include <sstream>

namespace {

QString fromPugi(const char* text)
{
    return QString::fromUtf8(text);
}

// Pre-order walk over the descendants of root (not root itself); stops when visit says so.
template <typename Visit> void walkDescendants(pugi::xml_node root, Visit visit)
{
    pugi::xml_node node = root.first_child();
    while (node) {
        if (!visit(node))
            return;
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node && node != root && !node.next_sibling())
            node = node.parent();
        if (!node || node == root)
            return;
        node = node.next_sibling();
    }
}

// The elements that HTML never closes; an end tag written for one would count as a second
// element (</br> is read as <br>).
bool isHtmlVoidElement(const char* name)
{
    static const char* const voidElements[] = {"area",  "base", "br",   "col",    "embed", "hr", "img",
                                               "input", "link", "meta", "source", "track", "wbr"};
    for (const char* candidate : voidElements) {
        if (qstricmp(candidate, name) == 0)
            return true;
    }
    return false;
}

QString printed(pugi::xml_node first)
{
    std::ostringstream out;
    for (pugi::xml_node child = first; child; child = child.next_sibling())
        child.print(out, "", pugi::format_raw, pugi::encoding_utf8);
    const std::string markup = out.str();
    return QString::fromUtf8(markup.data(), qsizetype(markup.size()));
}

} // namespace

QString XmlElement::name() const
{
    return fromPugi(pugi::xml_node(m_node).name());
}

XmlElement XmlElement::first(const QString& name) const
{
    XmlElement found;
    if (!m_node)
        return found;
    const QByteArray wanted = name.toUtf8();
    walkDescendants(pugi::xml_node(m_node), [&](pugi::xml_node node) {
        if (node.type() == pugi::node_element && wanted == node.name()) {
            found = XmlElement(node.internal_object());
            return false;
        }
        return true;
    });
    return found;
}

QList<XmlElement> XmlElement::all(const QString& name) const
{
    QList<XmlElement> found;
    if (!m_node)
        return found;
    const QByteArray wanted = name.toUtf8();
    walkDescendants(pugi::xml_node(m_node), [&](pugi::xml_node node) {
        if (node.type() == pugi::node_element && wanted == node.name())
            found.append(XmlElement(node.internal_object()));
        return true;
    });
    return found;
}

QString XmlElement::text() const
{
    if (!m_node)
        return QString();
    const pugi::xml_node self(m_node);
    if (self.type() == pugi::node_pcdata || self.type() == pugi::node_cdata)
        return fromPugi(self.value());
    // Each text node is decoded on its own: no character spans markup, so bad bytes on
    // either side of a tag must not join into one.
    QString joined;
    walkDescendants(self, [&](pugi::xml_node node) {
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            joined += fromPugi(node.value());
        return true;
    });
    return joined;
}

QString XmlElement::innerXml() const
{
    if (!m_node)
        return QString();
    return printed(pugi::xml_node(m_node).first_child());
}

QString XmlElement::innerHtml() const
{
    if (!m_node)
        return QString();
    // A copy in which every empty element that is not void holds an empty text: pugixml then
    // writes its start and end tag, and escapes everything as it does for the XML form.
    pugi::xml_document copy;
    for (pugi::xml_node child = pugi::xml_node(m_node).first_child(); child; child = child.next_sibling())
        copy.append_copy(child);
    walkDescendants(copy, [](pugi::xml_node node) {
        if (node.type() == pugi::node_element && !node.first_child() && !isHtmlVoidElement(node.name()))
            node.append_child(pugi::node_pcdata);
        return true;
    });
    return printed(copy.first_child());
}

int XmlElement::toInt() const
{
    return parseInt(text());
}

int XmlElement::parseInt(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    for (; i < n && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i) {
        value = value * 10 + (text.at(i).unicode() - '0');
        if (value > limit)
            value = limit; // saturate like wcstol, keep reading the digits
    }
    if (negative)
        return int(qMax(-value, qint64(std::numeric_limits<int>::min())));
    return int(qMin(value, qint64(std::numeric_limits<int>::max())));
}
