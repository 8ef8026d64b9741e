#pragma once

#include <QTranslator>

// Qt's own Slovenian texts: the text boxes' context menus, the standard buttons, the scroll
// bars' menus. Debian ships them as qt_sl.qm, a catalogue from before Qt 5 (there is no
// qtbase_sl.qm), so two kinds of text that Qt 6 asks for under a newer context name are
// looked up under the name the catalogue knows as well.
class QtTranslations : public QTranslator
{
public:
    explicit QtTranslations(QObject* parent = nullptr);

    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
};
