// The program's own windows as the window manager and the user see them: on a private X
// server the titles are exactly the windows' own texts, and with the application object's
// set-up Qt's own texts (context menus, standard buttons) are Slovenian like the rest.
#include "app/cquorbelapp.h"
#include "app/messagedialog.h"
#include "core/capi.h"
#include "filters/editor/cmydalogslovarji.h"
#include "filters/editor/deletefilterdialog.h"
#include "filters/editor/filtereditorhost.h"
#include "filters/editor/izberiimedialog.h"
#include "filters/editor/vnosnooknoizberislovarje.h"
#include "tests/support/tempconfig.h"
#include "tests/support/xvfbdisplay.h"
#include "ui/search/vnosnooknoiztocnica.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <xcb/xcb.h>

namespace {

bool g_onX11 = false;

// The filter editor needs a host; nothing here searches.
class IdleHost : public FilterEditorHost
{
public:
    CApi& Api() override { return m_api; }
    QString GetQueryText() const override { return {}; }
    void BlankEntryView() override {}
    void FillFilterCombo(int) override {}
    void SelectFilterComboItem(int) override {}
    int FilterComboSelection() const override { return 0; }
    void StartNewSearch(const QString&) override {}
    void ShowNewSearchResult(int) override {}

private:
    CApi m_api;
};

xcb_atom_t internAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// The title a window manager shows: the window's _NET_WM_NAME on the X server.
QString shownTitle(QWidget* window)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return QStringLiteral("(not on X11)");
    xcb_connection_t* connection = x11->connection();
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, xcb_window_t(window->winId()), internAtom(connection, "_NET_WM_NAME"),
                         internAtom(connection, "UTF8_STRING"), 0, 1024);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    if (!reply)
        return QStringLiteral("(no reply)");
    const QString title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply)),
                                            xcb_get_property_value_length(reply));
    std::free(reply);
    return title;
}

// The texts of a context menu's entries without their shortcuts.
QStringList entries(QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text().section(QLatin1Char('\t'), 0, 0);
    }
    delete menu;
    return texts;
}

QStringList buttonTexts(QWidget* window)
{
    QStringList texts;
    for (QPushButton* button : window->findChildren<QPushButton*>())
        texts << button->text();
    return texts;
}

const QStringList lineEditMenu{QStringLiteral("&Razveljavi"), QStringLiteral("&Uveljavi"),
                               QStringLiteral("&Izreži"),     QStringLiteral("S&kopiraj"),
                               QStringLiteral("Pri&lepi"),    QStringLiteral("Izbriši"),
                               QStringLiteral("Izberi vse")};

} // namespace

using DialogFactory = std::function<QDialog*(FilterEditorHost&)>;
// Makes a widget as a child of the given one and gives its context menu.
using MenuFactory = std::function<QMenu*(QWidget&)>;
Q_DECLARE_METATYPE(DialogFactory)
Q_DECLARE_METATYPE(MenuFactory)

class TestWindowTexts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void titleIsTheDialogsOwn_data();
    void titleIsTheDialogsOwn();
    void contextMenusAreSlovenian_data();
    void contextMenusAreSlovenian();
    void buttonsAreSlovenian_data();
    void buttonsAreSlovenian();

private:
    std::unique_ptr<TempConfig> m_config;
    std::unique_ptr<IdleHost> m_host;
};

void TestWindowTexts::init()
{
    m_config = std::make_unique<TempConfig>();
    m_host = std::make_unique<IdleHost>();
    m_host->Api().InitFilters();
}

void TestWindowTexts::cleanup()
{
    m_host.reset();
    m_config.reset();
}

void TestWindowTexts::titleIsTheDialogsOwn_data()
{
    QTest::addColumn<DialogFactory>("make");
    QTest::addColumn<QString>("title");

    // Regression: the application's display name was appended ("Nova verzija — Verbolix").
    QTest::newRow("326 optional upgrade")
        << DialogFactory([](FilterEditorHost&) { return new MessageDialog(326, QStringLiteral("x")); })
        << QStringLiteral("Nova verzija");
    QTest::newRow("327 news") << DialogFactory([](FilterEditorHost&) {
        return new MessageDialog(327, QStringLiteral("x"));
    }) << QStringLiteral("Novosti v programu Verbolix");
    QTest::newRow("328 required upgrade")
        << DialogFactory([](FilterEditorHost&) { return new MessageDialog(328, QStringLiteral("x")); })
        << QStringLiteral("Nova verzija");
    QTest::newRow("filter editor") << DialogFactory([](FilterEditorHost& host) {
        return new CMyDalogSlovarji(host);
    }) << QStringLiteral("Urejanje filtrov");
    QTest::newRow("filter name") << DialogFactory([](FilterEditorHost&) { return new IzberiImeDialog; })
                                 << QStringLiteral("Izberite ime filtra");
    QTest::newRow("delete confirmation")
        << DialogFactory([](FilterEditorHost&) { return new DeleteFilterDialog; })
        << QStringLiteral("Briši filter");
}

void TestWindowTexts::titleIsTheDialogsOwn()
{
    QFETCH(DialogFactory, make);
    QFETCH(QString, title);
    if (!g_onX11)
        QSKIP("no X server for this test (Xvfb not installed)");

    std::unique_ptr<QDialog> dialog(make(*m_host));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QCOMPARE(shownTitle(dialog.get()), title);
}

void TestWindowTexts::contextMenusAreSlovenian_data()
{
    QTest::addColumn<MenuFactory>("make");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("headword box") << MenuFactory([](QWidget& owner) {
        return (new VnosnoOknoIztocnica(&owner))->createStandardContextMenu();
    }) << lineEditMenu;
    QTest::newRow("filter editor's search box") << MenuFactory([](QWidget& owner) {
        return (new VnosnoOknoIzberiSlovarje(&owner))->createStandardContextMenu();
    }) << lineEditMenu;
    // Qt 6 asks for this menu's texts under a context the Debian catalogue does not know.
    QTest::newRow("read-only notice text") << MenuFactory([](QWidget& owner) {
        auto* news = new MessageDialog(327, QStringLiteral("besedilo"), &owner);
        return news->textBox()->createStandardContextMenu();
    }) << QStringList{QStringLiteral("S&kopiraj"), QStringLiteral("Izberi vse")};
}

void TestWindowTexts::contextMenusAreSlovenian()
{
    QFETCH(MenuFactory, make);
    QFETCH(QStringList, expected);
    QWidget owner;
    QCOMPARE(entries(make(owner)), expected);
}

void TestWindowTexts::buttonsAreSlovenian_data()
{
    QTest::addColumn<DialogFactory>("make");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("filter name") << DialogFactory([](FilterEditorHost&) { return new IzberiImeDialog; })
                                 << QStringList{QStringLiteral("V redu"), QStringLiteral("Prekliči")};
    // The splash's missing-picture notice is a message box with Qt's standard button.
    QTest::newRow("message box") << DialogFactory([](FilterEditorHost&) {
        return new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Report"), QStringLiteral("No image"),
                               QMessageBox::Ok);
    }) << QStringList{QStringLiteral("V redu")};
}

void TestWindowTexts::buttonsAreSlovenian()
{
    QFETCH(DialogFactory, make);
    QFETCH(QStringList, expected);
    std::unique_ptr<QDialog> dialog(make(*m_host));
    QCOMPARE(buttonTexts(dialog.get()), expected);
}

int main(int argc, char** argv)
{
    XvfbDisplay display;
    if (!display.name().isEmpty()) {
        qputenv("DISPLAY", display.name().toUtf8());
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    int result = 0;
    {
        // The program's own application object: its names and translations are under test.
        CQuorbelApp app(argc, argv);
        g_onX11 = QGuiApplication::platformName() == QLatin1String("xcb");
        TestWindowTexts test;
        result = QTest::qExec(&test, argc, argv);
    }
    return result;
}

#include "tst_windowtexts.moc"
