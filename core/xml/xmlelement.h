#pragma once

#include <QList>
#include <QString>

namespace pugi {
struct xml_node_struct;
}

// A handle on one element of an XmlAnswer (or on the document itself); valid while that
// answer lives. A null handle answers every question with empty text, 0 or no elements.
class XmlElement
{
public:
    XmlElement() = default;

    bool isNull() const { return m_node == nullptr; }
    QString name() const;

    // The first descendant element named name, in document order, at any depth.
    XmlElement first(const QString& name) const;
    // Every descendant element named name, in document order.
    QList<XmlElement> all(const QString& name) const;

    // All text of the element and its descendants joined, white space as received.
    QString text() const;
    // The element's children serialised as XML, unindented: its inner markup.
    QString innerXml() const;
    // The same markup for an HTML page: an empty element is written with an end tag
    // (<i></i>), since an HTML parser reads <i/> as an open <i>; only HTML's void elements
    // (br, img, …) stay empty-element tags. Still well-formed XML with the same text.
    QString innerHtml() const;
    // The text read as a decimal int the way wcstol does (0 when it has no leading digits).
    int toInt() const;

    // Shorthands for first(name).text() and first(name).toInt().
    QString textOf(const QString& name) const { return first(name).text(); }
    int intOf(const QString& name) const { return first(name).toInt(); }

    // wcstol-style reading of any text; out of range values clamp to the int range.
    static int parseInt(const QString& text);

private:
    friend class XmlAnswer;
    explicit XmlElement(pugi::xml_node_struct* node) : m_node(node) {}

    pugi::xml_node_struct* m_node = nullptr;
};
