#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>

// Turns the plain text of a dictd entry into a small HTML fragment, built as XML nodes so
// that it is always well-formed:
//   <div class="entry">
//     <p class="headword"><b>miza</b> <span class="pronunciation">/mîza/</span>
//        <span class="grammar">&lt;n, f&gt;</span></p>
//     <p class="sense"><span class="label">[lit]</span> table</p>
//     <p class="example">"Na mizi je kruh." - The bread is on the table.</p>
//   </div>
// The first line is the headword line when it begins with the headword; lines indented by
// two or more spaces are examples, other lines senses. "{word}" anywhere becomes a
// cross-reference <a href="/Search.aspx/word">word</a>.
class EntryHtml
{
public:
    static void append(pugi::xml_node parent, std::string_view headword, std::string_view text);
    // The percent-escaped form of a word for a search address.
    static std::string searchPath(std::string_view word);
};
