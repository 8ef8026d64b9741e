#pragma once

#include <QDialog>

// "O programu": the version, the dictionary service in use and the libraries the program is
// built on, with their licences.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    explicit AboutDialog(const QString& serviceAddress, QWidget* parent = nullptr);

    // The dialog's text as rich text (also what tests read).
    static QString Text(const QString& serviceAddress);
};
