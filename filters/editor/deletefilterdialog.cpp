#include "filters/editor/deletefilterdialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

DeleteFilterDialog::DeleteFilterDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("Briši filter"));
    auto* question = new QLabel(QStringLiteral("Ali naj izbrišem filter?"), this);
    question->setAlignment(Qt::AlignCenter);
    auto* yes = new QPushButton(QStringLiteral("Zbriši"), this);
    yes->setObjectName(QStringLiteral("yes"));
    yes->setDefault(true);
    auto* no = new QPushButton(QStringLiteral("Ne"), this);
    no->setObjectName(QStringLiteral("no"));
    connect(yes, &QPushButton::clicked, this, &DeleteFilterDialog::accept);
    connect(no, &QPushButton::clicked, this, &DeleteFilterDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(yes);
    buttons->addWidget(no);
    buttons->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addWidget(question);
    column->addSpacing(8);
    column->addLayout(buttons);
    setFixedSize(sizeHint());
    yes->setFocus();
}

#include "moc_deletefilterdialog.cpp"
