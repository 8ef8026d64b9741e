#pragma once

#include <QListWidget>

// A list whose rows each carry a check box. A tick or untick by the user is reported with the
// row it happened on; filling the list from code reports nothing.
class MyCCheckListBox : public QListWidget
{
    Q_OBJECT

public:
    explicit MyCCheckListBox(QWidget* parent = nullptr);

    void AddRow(const QString& text, bool checked);
    bool IsRowChecked(int row) const;
    // Ticks or unticks a row as the user would: checkChanged follows.
    void ToggleRow(int row);

signals:
    void checkChanged(int row);

private:
    bool m_filling = false;
};
