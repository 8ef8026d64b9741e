#include "filters/editor/izberiimedialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

IzberiImeDialog::IzberiImeDialog(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_edit(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Izberite ime filtra"));
    auto* label = new QLabel(QStringLiteral("Ime:"), this);
    label->setBuddy(m_edit);
    m_edit->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    // The texts Slovenian standard buttons have, whether or not Qt's translations are there.
    auto* ok = new QPushButton(QStringLiteral("V redu"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Prekliči"), this);
    connect(ok, &QPushButton::clicked, this, &IzberiImeDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &IzberiImeDialog::reject);

    auto* row = new QHBoxLayout(this);
    row->addWidget(label);
    row->addWidget(m_edit, 1);
    row->addSpacing(6);
    row->addWidget(ok);
    row->addWidget(cancel);
    setFixedHeight(sizeHint().height());
    m_edit->setFocus();
}

void IzberiImeDialog::accept()
{
    m_ime = m_edit->text();
    QDialog::accept();
}

#include "moc_izberiimedialog.cpp"
