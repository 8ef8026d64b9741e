#include "core/capi.h"

#include <iterator>

namespace {

struct LanguageName
{
    const char16_t* code;
    const char16_t* name;
};

// The service's own codes; several are not standard two-letter codes.
constexpr LanguageName languageNames[] = {
    {u"sl", u"slovenščina"},
    {u"de", u"nemščina"},
    {u"en", u"angleščina"},
    {u"it", u"italijanščina"},
    {u"fr", u"francoščina"},
    {u"hr", u"hrvaščina"},
    {u"es", u"španščina"},
    {u"pt", u"portugalščina"},
    {u"cs", u"češčina"},
    {u"lv", u"latvijščina"},
    {u"lt", u"litovščina"},
    {u"nl", u"nizozemščina"},
    {u"mt", u"malteščina"},
    {u"hu", u"madžarščina"},
    {u"sk", u"slovaščina"},
    {u"sv", u"švedščina"},
    {u"fi", u"finščina"},
    {u"ro", u"romunščina"},
    {u"el", u"grščina"},
    {u"et", u"estonščina"},
    {u"da", u"danščina"},
    {u"pl", u"poljščina"},
    {u"bg", u"bolgarščina"},
    {u"la", u"latinščina"},
    {u"sq", u"albanščina"},
    {u"nb", u"norveščina (Bokmal)"},
    {u"mk", u"makedonščina"},
    {u"mo", u"moldavščina"},
    {u"uk", u"ukrajinščina"},
    {u"tr", u"turščina"},
    {u"is", u"islandščina"},
    {u"sh", u"srbohrvaščina"},
    {u"sr", u"srbščina"},
    {u"ga", u"irščina"},
    {u"ru", u"ruščina"},
    {u"ar", u"arabščina"},
    {u"be", u"beloruščina"},
    {u"bs", u"bošnjaščina"},
    {u"mno", u"črnogorščina"},
    {u"ja", u"japonščina"},
    {u"eo", u"esperanto"},
    {u"zhs", u"kitajščina (poenostavljena)"},
    {u"he", u"hebrejščina"},
    {u"hi", u"hindijščina"},
    {u"sa", u"sanskrt"},
    {u"pi", u"pali"},
    {u"cu", u"starocerkvenoslovanščina"},
    {u"bo", u"tibetanščina"},
    {u"gd", u"škotska gelščina"},
    {u"rm", u"retoromanščina"},
    {u"eu", u"baskovščina"},
    {u"ca", u"katalonščina"},
    {u"co", u"korzijščina"},
    {u"cy", u"valižanščina"},
    {u"br", u"bretonščina"},
    {u"gl", u"galicijščina"},
    {u"fy", u"frizijščina"},
    {u"grc", u"grščina (klasična)"},
    {u"nn", u"norveščina (Nyorsk)"},
    {u"zht", u"kitajščina (tradicionalna)"},
    {u"fo", u"ferščina"},
    {u"wa", u"valonščina"},
    {u"fp", u"provansalščina"},
    {u"sm", u"laponščina"},
    {u"rom", u"romščina"},
    {u"as", u"asturijščina"},
    {u"fu", u"furlanščina"},
    {u"oc", u"okcitanščina"},
    {u"lu", u"luksemburščina"},
    {u"sc", u"škotščina"},
    {u"so", u"lužiška srbščina "}, // the trailing space is part of the name
    {u"heo", u"hebrejščina (stara)"},
};

} // namespace

QString GetLanguageName(const QString& code)
{
    for (const LanguageName& row : languageNames) {
        if (code == QStringView(row.code))
            return QString::fromUtf16(row.name);
    }
    return QString();
}
