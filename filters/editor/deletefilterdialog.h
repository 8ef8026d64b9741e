#pragma once

#include <QDialog>

// Asks before a filter is deleted: "Zbriši" accepts, "Ne" rejects.
class DeleteFilterDialog : public QDialog
{
    Q_OBJECT

public:
    explicit DeleteFilterDialog(QWidget* parent = nullptr);
};
