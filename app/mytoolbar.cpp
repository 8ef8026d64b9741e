#include "app/mytoolbar.h"

#include <QComboBox>
#include <QIcon>
#include <QMenu>
#include <QToolButton>

MyToolbar::MyToolbar(const QString& websiteHost, QWidget* parent)
    : QToolBar(parent), m_websiteHost(websiteHost)
{
    setObjectName(QStringLiteral("toolbar"));
    setWindowTitle(QStringLiteral("Orodna vrstica"));
    setMovable(false);
    setFloatable(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setIconSize(QSize(28, 28));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
}

QString MyToolbar::ToolTip(const QString& title, const QString& description, const QString& keys)
{
    const QString shown = keys.isEmpty() ? QString() : QStringLiteral(" (") + keys.toHtmlEscaped() + u')';
    return QStringLiteral("<p style='white-space:normal; width:200px'><b>") + title.toHtmlEscaped() +
           QStringLiteral("</b>") + shown + QStringLiteral("<br/>") + description.toHtmlEscaped() +
           QStringLiteral("</p>");
}

QAction* MyToolbar::makeAction(const QString& icon, const QString& title, const QString& description,
                               const QString& name, bool checkable, const QKeySequence& keys)
{
    auto* action = new QAction(QIcon(icon), title, this);
    action->setObjectName(name);
    action->setShortcut(keys);
    // The box keeps the focus, so the keys must work wherever it is in the window.
    action->setShortcutContext(Qt::WindowShortcut);
    action->setToolTip(ToolTip(title, description, keys.toString(QKeySequence::NativeText)));
    action->setCheckable(checkable);
    addAction(action);
    return action;
}

void MyToolbar::InitButtons()
{
    clear();
    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("filterCombo"));
    m_combo->setEditable(false);
    m_combo->setFixedWidth(150);
    m_combo->setToolTip(ToolTip(QStringLiteral("Z izbiro filtra slovarjev iščite le po izbranih slovarjih."),
                                QStringLiteral("Izbiranje filtra"), QStringLiteral("Ctrl+1 … Ctrl+9")));
    addWidget(m_combo);

    m_editor = makeAction(QStringLiteral(":/icons/filters.svg"), QStringLiteral("Urejanje filtrov slovarjev"),
                          QStringLiteral("Prilagodite in poenostavite iskanje. Ustvarite različne filtre z "
                                         "različnimi slovarji, po katerih želite iskati."),
                          QStringLiteral("filterEditor"), false, QKeySequence(Qt::CTRL | Qt::Key_E));
    addSeparator();
    m_onTop =
        makeAction(QStringLiteral(":/icons/ontop.svg"), QStringLiteral("Vedno na vrhu"),
                   QStringLiteral("Izberite, če želite, da bo program Verbolix vedno na vrhu nad ostalimi "
                                  "okni."),
                   QStringLiteral("alwaysOnTop"), true, QKeySequence(Qt::CTRL | Qt::Key_T));
    m_clipboard = makeAction(QStringLiteral(":/icons/clipboard.svg"), QStringLiteral("Spremljaj odložišče"),
                             QStringLiteral("Če v poljubnem programu sprožite kopiranje besede, se ta beseda "
                                            "samodejno preko odložišča vpiše v iskalno polje Verbolix."),
                             QStringLiteral("checkClipboard"), true, QKeySequence(Qt::CTRL | Qt::Key_K));
    addSeparator();
    m_help = makeAction(QStringLiteral(":/icons/help.svg"), QStringLiteral("Pomoč"),
                        QStringLiteral("Prikaže okno s pomočjo za uporabo programa. Ctrl+G vas pripelje na "
                                       "navzkrižne povezave v geslu (Tab naprej, Enter poišče, Esc nazaj)."),
                        QStringLiteral("help"), false, QKeySequence(Qt::Key_F1));
    // The button itself opens the help; its arrow offers the help and the about box.
    m_about = new QAction(QStringLiteral("O programu"), this);
    m_about->setObjectName(QStringLiteral("about"));
    m_about->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1));
    m_about->setShortcutContext(Qt::WindowShortcut);
    auto* helpMenu = new QMenu(this);
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    helpMenu->addAction(m_help);
    helpMenu->addAction(m_about);
    if (auto* button = qobject_cast<QToolButton*>(widgetForAction(m_help))) {
        button->setMenu(helpMenu);
        button->setPopupMode(QToolButton::MenuButtonPopup);
    }
    m_website = makeAction(QStringLiteral(":/icons/website.svg"), QStringLiteral("Verbolix"),
                           QStringLiteral("Odpre stran ") + m_websiteHost + QStringLiteral("."),
                           QStringLiteral("website"), false, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    // After the fixed set, so that the combo stays the first button. Nothing to go to yet:
    // the window enables them as entries are looked at.
    addSeparator();
    m_back = makeAction(QStringLiteral(":/icons/back.svg"), QStringLiteral("Nazaj"),
                        QStringLiteral("Vrne se na prej ogledano geslo: isto iskanje, isto mesto v seznamu "
                                       "in isti izbrani zadetek."),
                        QStringLiteral("historyBack"), false, QKeySequence(Qt::ALT | Qt::Key_Left));
    m_forward = makeAction(QStringLiteral(":/icons/forward.svg"), QStringLiteral("Naprej"),
                           QStringLiteral("Gre spet naprej na geslo, s katerega ste se vrnili."),
                           QStringLiteral("historyForward"), false, QKeySequence(Qt::ALT | Qt::Key_Right));
    m_back->setEnabled(false);
    m_forward->setEnabled(false);
}
