#include "app/aboutdialog.h"

#include "core/apiconfig.h"
#include "core/http/httpclient.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
struct Library
{
    const char* name;
    QString version;
    const char* licence;
    const char* use;
};
} // namespace

QString AboutDialog::Text(const QString& serviceAddress)
{
    const QList<Library> libraries{
        {"Qt", QString::fromLatin1(qVersion()), "LGPL-3.0", "okna, omrežje, nastavitve"},
        {"Qt WebEngine", QString::fromLatin1(qVersion()), "LGPL-3.0 (Chromium: BSD-3-Clause in drugi)",
         "prikaz gesel"},
        {"libcurl", HttpClient::libraryVersion(), "curl (MIT/X)", "zahteve slovarski storitvi"},
        {"pugixml", QString(), "MIT", "branje odgovorov XML"},
    };
    QString rows;
    for (const Library& library : libraries) {
        rows += QStringLiteral("<tr><td><b>%1</b> %2</td><td>%3</td><td>%4</td></tr>")
                    .arg(QString::fromUtf8(library.name), library.version.toHtmlEscaped(),
                         QString::fromUtf8(library.licence), QString::fromUtf8(library.use));
    }
    return QStringLiteral("<h3>Verbolix %1</h3>"
                          "<p>Odjemalec za spletno storitev z več slovarji.</p>"
                          "<p>Slovarska storitev: <b>%2</b></p>"
                          "<p>Program uporablja te knjižnice:</p>"
                          "<table cellspacing=\"6\">%3</table>"
                          "<p>Vgrajena krajevna slovarska storitev uporablja še cpp-httplib (MIT), "
                          "nlohmann-json (MIT), ICU (Unicode-3.0) in zlib (Zlib).</p>")
        .arg(ProgramVersion().toHtmlEscaped(), serviceAddress.toHtmlEscaped(), rows);
}

AboutDialog::AboutDialog(const QString& serviceAddress, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("O programu"));
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel(Text(serviceAddress), this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setTextFormat(Qt::RichText);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    text->setWordWrap(true);
    layout->addWidget(text);
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QStringLiteral("Zapri"), QDialogButtonBox::RejectRole);
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(460);
}
