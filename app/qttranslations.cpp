#include "app/qttranslations.h"

#include <QLibraryInfo>
#include <QLocale>
#include <cstring>

namespace {
// Qt 6's context and the one the same texts have in the older catalogue.
struct RenamedContext
{
    const char* now;
    const char* before;
};
constexpr RenamedContext renamedContexts[] = {
    {"QPlatformTheme", "QDialogButtonBox"}, // "OK", "Cancel", … of standard buttons
    {"QWidgetTextControl", "QTextControl"}, // the multi-line text boxes' context menu
};
} // namespace

QtTranslations::QtTranslations(QObject* parent) : QTranslator(parent)
{
    const QLocale slovenian(QLocale::Slovenian, QLocale::Slovenia);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // A Qt that splits its catalogues names them qtbase_*; qt_* then only gathers them.
    if (!load(slovenian, QStringLiteral("qtbase"), QStringLiteral("_"), folder))
        (void)load(slovenian, QStringLiteral("qt"), QStringLiteral("_"), folder);
}

QString QtTranslations::translate(const char* context, const char* sourceText, const char* disambiguation,
                                  int n) const
{
    const QString text = QTranslator::translate(context, sourceText, disambiguation, n);
    if (!text.isEmpty() || !context)
        return text;
    for (const RenamedContext& renamed : renamedContexts) {
        if (std::strcmp(context, renamed.now) == 0)
            return QTranslator::translate(renamed.before, sourceText, disambiguation, n);
    }
    return text;
}
