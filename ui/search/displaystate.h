#pragma once

#include <QString>

// What the entry view is showing and whether the program is still starting.
enum DisplayMode
{
    ModeNormal = 1,    // entries are shown
    ModeStarting = 2,  // the main window is being built; selecting rows shows nothing
    ModeStartPage = 5, // the server's welcome page is shown; entries are ignored until the user acts
};

// The main window's fields that the entry view and the hit list read. The main window owns
// it and alone writes it; the widgets hold a pointer to const and report what the user did.
struct DisplayState
{
    int displayMode = ModeStarting;
    QString startPageUrl;
    QString stylesheetPath; // absolute path of the stylesheet file; empty when none was written
    // The desktop's colours are dark: entries link the dark stylesheet too, laid over the light.
    bool dark = false;
    QString darkStylesheetPath; // as stylesheetPath, written once the scheme is first dark
};
