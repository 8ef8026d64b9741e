#include "tests/messages/dialogdriver.h"
#include "app/messagedialog.h"
#include "app/servermessages.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

// Records the addresses handed to the desktop instead of opening them.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class MessageDialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void lineBreaks_data();
    void lineBreaks();
    void newsJoinsBodyAndLog();
    void linesAsShown_data();
    void linesAsShown();

    void templates_data();
    void templates();
    void layoutFollowsDialogUnits();

    void closingIds_data();
    void closingIds();

    void upgradeTemplateByRequired_data();
    void upgradeTemplateByRequired();

    void startupSteps_data();
    void startupSteps();

private:
    UrlRecorder m_urls;
};

void MessageDialogsTest::initTestCase()
{
    for (const char* scheme : {"http", "https", "file", "ftp"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &m_urls, "open");
}

void MessageDialogsTest::cleanupTestCase()
{
    for (const char* scheme : {"http", "https", "file", "ftp"})
        QDesktopServices::unsetUrlHandler(QLatin1String(scheme));
}

void MessageDialogsTest::init()
{
    m_urls.opened.clear();
}

void MessageDialogsTest::lineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("upgrade");  // UpgradeNoticeText(text)
    QTest::addColumn<QString>("newsBody"); // the body part of NewsText(text, "")
    QTest::addColumn<QString>("newsLog");  // the log part of NewsText("", text)

    QTest::newRow("no breaks") << "ena dva"
                               << "ena dva"
                               << "ena dva"
                               << "ena dva";
    QTest::newRow("empty") << ""
                           << ""
                           << ""
                           << "";
    QTest::newRow("line feed between words") << "ena\ndva"
                                             << "ena\r\ndva"
                                             << "ena\r\ndva"
                                             << "ena\r\ndva";
    QTest::newRow("backslash-n: a break except in the news body") << "ena\\ndva"
                                                                  << "ena\r\ndva"
                                                                  << "ena\\ndva"
                                                                  << "ena\r\ndva";
    QTest::newRow("CR LF gets a second CR") << "ena\r\ndva"
                                            << "ena\r\r\ndva"
                                            << "ena\r\r\ndva"
                                            << "ena\r\r\ndva";
    QTest::newRow("backslash before a line feed is no backslash-n") << "a\\\nb"
                                                                    << "a\\\r\nb"
                                                                    << "a\\\r\nb"
                                                                    << "a\\\r\nb";
    QTest::newRow("double backslash then n") << "a\\\\nb"
                                             << "a\\\r\nb"
                                             << "a\\\\nb"
                                             << "a\\\r\nb";
    QTest::newRow("both kinds, trailing") << "x\\n\n"
                                          << "x\r\n\r\n"
                                          << "x\\n\r\n"
                                          << "x\r\n\r\n";
    QTest::newRow("backslash-N upper case is kept") << "a\\Nb"
                                                    << "a\\Nb"
                                                    << "a\\Nb"
                                                    << "a\\Nb";
}

void MessageDialogsTest::lineBreaks()
{
    QFETCH(QString, text);
    QFETCH(QString, upgrade);
    QFETCH(QString, newsBody);
    QFETCH(QString, newsLog);

    QCOMPARE(UpgradeNoticeText(text), upgrade);
    QCOMPARE(NewsText(text, QString()), newsBody + QStringLiteral("\r\n\r\n\r\n"));
    QCOMPARE(NewsText(QString(), text), QStringLiteral("\r\n\r\n") + newsLog + QStringLiteral("\r\n"));
}

void MessageDialogsTest::newsJoinsBodyAndLog()
{
    QCOMPARE(NewsText(QStringLiteral("Novo:\nhitrejše"), QStringLiteral("- popravek\\n- drugi")),
             QStringLiteral("Novo:\r\nhitrejše\r\n\r\n- popravek\r\n- drugi\r\n"));
}

void MessageDialogsTest::linesAsShown_data()
{
    QTest::addColumn<bool>("news");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("upgrade, line feed") << false << "ena\ndva"
                                        << "" << QStringList{u"ena"_s, u"dva"_s};
    QTest::newRow("upgrade, backslash-n") << false << "ena\\ndva"
                                          << "" << QStringList{u"ena"_s, u"dva"_s};
    // The doubled CR of a CR LF body must not show as an extra empty line.
    QTest::newRow("upgrade, CR LF body") << false << "ena\r\ndva"
                                         << "" << QStringList{u"ena"_s, u"dva"_s};
    QTest::newRow("news, backslash-n in body kept, in log broken")
        << true << "a\\nb"
        << "c\\nd" << QStringList{u"a\\nb"_s, u""_s, u"c"_s, u"d"_s, u""_s};
}

void MessageDialogsTest::linesAsShown()
{
    QFETCH(bool, news);
    QFETCH(QString, body);
    QFETCH(QString, log);
    QFETCH(QStringList, lines);

    CMessage message;
    message.upgradeBody = body;
    message.newsBody = body;
    message.newsLog = log;
    DialogDriver driver({PressEsc});
    if (news)
        ShowNews(message, nullptr);
    else
        ShowUpgradeNotice(message, nullptr);
    QCOMPARE(driver.shownTexts.size(), 1);
    QCOMPARE(driver.shownTexts.first().split(QLatin1Char('\n')), lines);
}

void MessageDialogsTest::templates_data()
{
    QTest::addColumn<int>("templateId");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("hasNotice");
    QTest::addColumn<QStringList>("buttons"); // "id:label", the default first

    QTest::newRow("326 optional upgrade")
        << 326 << "Nova verzija" << true << QStringList{u"1:Posodobi"_s, u"2:Zaženi program Verbolix"_s};
    QTest::newRow("327 news") << 327 << "Novosti v programu Verbolix" << false
                              << QStringList{u"1:Zaženi program Verbolix"_s};
    QTest::newRow("328 required upgrade") << 328 << "Nova verzija" << true << QStringList{u"1:Posodobi"_s};
}

void MessageDialogsTest::templates()
{
    QFETCH(int, templateId);
    QFETCH(QString, title);
    QFETCH(bool, hasNotice);
    QFETCH(QStringList, buttons);

    MessageDialog dialog(templateId, QStringLiteral("besedilo"));
    QCOMPARE(dialog.windowTitle(), title);
    QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));

    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        labels.append(label->text());
    QCOMPARE(labels,
             hasNotice ? QStringList{u"Na voljo je nova verzija programa Verbolix."_s} : QStringList{});

    QPlainTextEdit* box = dialog.findChild<QPlainTextEdit*>(QStringLiteral("1022"));
    QVERIFY(box);
    QCOMPARE(box, dialog.textBox());
    QVERIFY(box->isReadOnly());
    QCOMPARE(box->toPlainText(), QStringLiteral("besedilo"));

    const QList<QPushButton*> all = dialog.findChildren<QPushButton*>();
    QCOMPARE(all.size(), buttons.size());
    for (int i = 0; i < buttons.size(); ++i) {
        const int id = buttons[i].section(QLatin1Char(':'), 0, 0).toInt();
        QPushButton* button = dialog.button(id);
        QVERIFY(button);
        QCOMPARE(button->text(), buttons[i].section(QLatin1Char(':'), 1));
        QCOMPARE(button->isDefault(), i == 0);
    }
}

void MessageDialogsTest::layoutFollowsDialogUnits()
{
    // A quarter of the average character width across, an eighth of the height down.
    QFont font = QApplication::font();
    font.setPixelSize(13);
    const QFontMetrics metrics(font);
    const int baseX =
        (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) +
         26) /
        52;
    const QRect pixels = MessageDialog::dialogUnitsToPixels(font, QRect(8, 16, 40, 24));
    QCOMPARE(pixels, QRect(2 * baseX, 2 * metrics.height(), 10 * baseX, 3 * metrics.height()));

    // The dialog and its text box scale with the font.
    MessageDialog dialog(MessageDialog::OptionalUpgrade, QString());
    const QRect size = MessageDialog::dialogUnitsToPixels(dialog.font(), QRect(0, 0, 309, 149));
    QCOMPARE(dialog.size(), size.size());
    QCOMPARE(dialog.textBox()->geometry(),
             MessageDialog::dialogUnitsToPixels(dialog.font(), QRect(7, 23, 295, 95)));
    // The buttons stay inside the dialog and clear of the text box.
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        QVERIFY(dialog.rect().contains(button->geometry()));
        QVERIFY(button->geometry().top() > dialog.textBox()->geometry().bottom());
    }
}

void MessageDialogsTest::closingIds_data()
{
    QTest::addColumn<int>("templateId");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("result");

    QTest::newRow("326 Posodobi") << 326 << 1 << 1;
    QTest::newRow("326 Zaženi") << 326 << 2 << 2;
    QTest::newRow("326 Enter takes the default") << 326 << int(PressEnter) << 1;
    QTest::newRow("326 Esc") << 326 << int(PressEsc) << 2;
    QTest::newRow("326 close box") << 326 << int(CloseBox) << 2;
    QTest::newRow("327 Zaženi") << 327 << 1 << 1;
    QTest::newRow("327 Enter takes the default") << 327 << int(PressEnter) << 1;
    QTest::newRow("327 Esc") << 327 << int(PressEsc) << 2;
    QTest::newRow("327 close box") << 327 << int(CloseBox) << 2;
    QTest::newRow("328 Posodobi") << 328 << 1 << 1;
    QTest::newRow("328 Esc") << 328 << int(PressEsc) << 2;
    QTest::newRow("328 close box") << 328 << int(CloseBox) << 2;
}

void MessageDialogsTest::closingIds()
{
    QFETCH(int, templateId);
    QFETCH(int, action);
    QFETCH(int, result);

    DialogDriver driver({action});
    MessageDialog dialog(templateId, QStringLiteral("Dolgo besedilo\r\nv dveh vrsticah"));
    QCOMPARE(dialog.exec(), result);
    QCOMPARE(driver.templates, QList<int>{templateId});
}

void MessageDialogsTest::upgradeTemplateByRequired_data()
{
    QTest::addColumn<QString>("required");
    QTest::addColumn<int>("templateId");

    QTest::newRow("true") << "true" << 328;
    QTest::newRow("True is optional") << "True" << 326;
    QTest::newRow("TRUE is optional") << "TRUE" << 326;
    QTest::newRow("true with white space is optional") << " true\n" << 326;
    QTest::newRow("false") << "false" << 326;
    QTest::newRow("empty") << "" << 326;
}

void MessageDialogsTest::upgradeTemplateByRequired()
{
    QFETCH(QString, required);
    QFETCH(int, templateId);

    CMessage message;
    message.upgradeTitle = QStringLiteral("Nova verzija 2.1");
    message.upgradeBody = QStringLiteral("Hitreje\\nin lepše");
    message.upgradeRequired = required;
    DialogDriver driver({1});
    QCOMPARE(ShowUpgradeNotice(message, nullptr), 1);
    QCOMPARE(driver.templates, QList<int>{templateId});
    QCOMPARE(driver.texts, QStringList{u"Hitreje\r\nin lepše"_s});
}

void MessageDialogsTest::startupSteps_data()
{
    QTest::addColumn<QString>("upgradeTitle");
    QTest::addColumn<QString>("upgradeRequired");
    QTest::addColumn<QString>("upgradeUrl");
    QTest::addColumn<QString>("newsTitle");
    QTest::addColumn<QList<int>>("actions");
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<QList<int>>("dialogs");
    QTest::addColumn<QStringList>("opened");

    const QString url = QStringLiteral("https://www.verbolix.si/prenos");
    using L = QList<int>;
    QTest::newRow("news only") << ""
                               << ""
                               << ""
                               << "Novosti" << L{1} << true << L{327} << QStringList{};
    QTest::newRow("news closed with Esc") << ""
                                          << ""
                                          << ""
                                          << "Novosti" << L{PressEsc} << true << L{327} << QStringList{};
    QTest::newRow("news with empty title not shown") << ""
                                                     << ""
                                                     << ""
                                                     << "" << L{} << true << L{} << QStringList{};
    QTest::newRow("optional upgrade taken")
        << "Nova"
        << "" << url << "Novosti" << L{1} << false << L{326} << QStringList{url};
    QTest::newRow("optional upgrade declined, then news")
        << "Nova"
        << "" << url << "Novosti" << L{2, 1} << true << L{326, 327} << QStringList{};
    QTest::newRow("optional upgrade closed with Esc")
        << "Nova"
        << "" << url << "" << L{PressEsc} << true << L{326} << QStringList{};
    QTest::newRow("True is optional") << "Nova"
                                      << "True" << url << "" << L{2} << true << L{326} << QStringList{};
    QTest::newRow("required upgrade taken")
        << "Nova"
        << "true" << url << "Novosti" << L{1} << false << L{328} << QStringList{url};
    QTest::newRow("required upgrade closed with Esc")
        << "Nova"
        << "true" << url << "Novosti" << L{PressEsc} << false << L{328} << QStringList{};
    QTest::newRow("required upgrade closed with the close box")
        << "Nova"
        << "true" << url << "" << L{CloseBox} << false << L{328} << QStringList{};
    QTest::newRow("required without a title: no dialog")
        << ""
        << "true" << url << "Novosti" << L{} << false << L{} << QStringList{};
    // A message must not be able to make the desktop open a file or run a program.
    QTest::newRow("taken upgrade with a file address opens nothing")
        << "Nova"
        << ""
        << "file:///usr/bin/xterm"
        << "" << L{1} << false << L{326} << QStringList{};
    QTest::newRow("taken upgrade with an ftp address opens nothing")
        << "Nova"
        << ""
        << "ftp://example.org/x"
        << "" << L{1} << false << L{326} << QStringList{};
    QTest::newRow("address with surrounding white space")
        << "Nova"
        << "" << u"\n  "_s + url + u"\n"_s << "" << L{1} << false << L{326} << QStringList{url};
}

void MessageDialogsTest::startupSteps()
{
    QFETCH(QString, upgradeTitle);
    QFETCH(QString, upgradeRequired);
    QFETCH(QString, upgradeUrl);
    QFETCH(QString, newsTitle);
    QFETCH(QList<int>, actions);
    QFETCH(bool, goesOn);
    QFETCH(QList<int>, dialogs);
    QFETCH(QStringList, opened);

    CMessage message;
    message.upgradeTitle = upgradeTitle;
    message.upgradeBody = QStringLiteral("Prenesite novo verzijo.");
    message.upgradeRequired = upgradeRequired;
    message.upgradeUrl = upgradeUrl;
    message.newsTitle = newsTitle;
    message.newsBody = QStringLiteral("Nekaj novega");
    message.newsLog = QStringLiteral("- popravki");

    QWidget frame;
    DialogDriver driver(actions);
    QCOMPARE(ShowStartupMessages(message, &frame), goesOn);
    QCOMPARE(driver.templates, dialogs);
    QStringList openedNow;
    for (const QUrl& u : m_urls.opened)
        openedNow.append(u.toString());
    QCOMPARE(openedNow, opened);
}

QTEST_MAIN(MessageDialogsTest)
#include "tst_messagedialogs.moc"
