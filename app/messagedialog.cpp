#include "app/messagedialog.h"

#include "ui/widgets/dialogunits.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>

namespace {
const QString versionNotice = QStringLiteral("Na voljo je nova verzija programa Verbolix.");
const QString upgradeLabel = QStringLiteral("Posodobi");
const QString startLabel = QStringLiteral("Zaženi program Verbolix");

// The text box breaks lines at "\n"; a "\r\n" (or the "\r\r\n" that a body already holding
// CR LF pairs becomes) is one break, as the notices' authors meant it.
QString forDisplay(const QString& text)
{
    static const QRegularExpression breaks(QStringLiteral("\\r*\\n|\\r"));
    QString shown = text;
    shown.replace(breaks, QStringLiteral("\n"));
    return shown;
}
} // namespace

QRect MessageDialog::dialogUnitsToPixels(const QFont& font, const QRect& units)
{
    return DialogUnits(font).rect(units);
}

MessageDialog::MessageDialog(int templateId, const QString& text, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_templateId(templateId), m_text(text)
{
    QRect size;
    QRect box;
    switch (templateId) {
    case OptionalUpgrade:
        setWindowTitle(QStringLiteral("Nova verzija"));
        size = QRect(0, 0, 309, 149);
        box = QRect(7, 23, 295, 95);
        break;
    case RequiredUpgrade:
        setWindowTitle(QStringLiteral("Nova verzija"));
        size = QRect(0, 0, 309, 166);
        box = QRect(7, 22, 295, 116);
        break;
    default:
        m_templateId = News;
        setWindowTitle(QStringLiteral("Novosti v programu Verbolix"));
        size = QRect(0, 0, 309, 177);
        box = QRect(7, 7, 295, 144);
        break;
    }

    if (m_templateId != News) {
        auto* notice = new QLabel(versionNotice, this);
        notice->setGeometry(dialogUnitsToPixels(font(), QRect(7, 7, 139, 8)));
        // The label's width in dialog units is tight; let a wider font still show it all.
        notice->adjustSize();
    }

    // Created before the buttons so that it comes first in the tab order, as in the
    // templates: the keyboard can scroll a long text, and Enter still reaches the default
    // button because a read-only box does not take it.
    m_textBox = new QPlainTextEdit(this);
    m_textBox->setObjectName(QString::number(TextBoxId));
    m_textBox->setReadOnly(true);
    m_textBox->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_textBox->setFrameShape(QFrame::StyledPanel);
    m_textBox->setGeometry(dialogUnitsToPixels(font(), box));
    m_textBox->setPlainText(forDisplay(m_text));

    switch (m_templateId) {
    case OptionalUpgrade:
        addButton(1, upgradeLabel, QRect(79, 128, 66, 14), true);
        addButton(2, startLabel, QRect(162, 128, 67, 14), false);
        break;
    case RequiredUpgrade:
        addButton(1, upgradeLabel, QRect(127, 145, 50, 14), true);
        break;
    default:
        addButton(1, startLabel, QRect(115, 156, 79, 14), true);
        break;
    }

    setFixedSize(dialogUnitsToPixels(font(), size).size());
}

void MessageDialog::addButton(int id, const QString& label, const QRect& units, bool isDefault)
{
    auto* button = new QPushButton(label, this);
    button->setObjectName(QStringLiteral("button%1").arg(id));
    QRect geometry = dialogUnitsToPixels(font(), units);
    // A style with wide button margins may need more than the template's width for the
    // label; grow around the centre rather than clip it.
    const int wanted = button->sizeHint().width();
    if (wanted > geometry.width())
        geometry.adjust(-(wanted - geometry.width()) / 2, 0, (wanted - geometry.width() + 1) / 2, 0);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    button->setDefault(isDefault);
    connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
    m_buttons.insert(id, button);
}

void MessageDialog::reject()
{
    // Esc and the close box answer like the second button.
    done(2);
}
