#pragma once

#include <QComboBox>

class QStandardItemModel;

// A drop-down list whose items carry check marks. Clicking an item or pressing Space on it
// toggles its mark and leaves the list open, so several items can be checked in one go. The
// closed combo shows the checked texts joined by " in ". Every user toggle is reported with
// itemToggled(); the owner usually acts once the list has closed (popupClosed()).
class CCheckComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit CCheckComboBox(QWidget* parent = nullptr);

    // Sorted combos insert each new item at its place in Slovenian alphabetical order.
    void setSorted(bool sorted);
    bool isSorted() const { return m_sorted; }
    // Adds an unchecked item; answers its index.
    int AddString(const QString& text);

    bool IsItemChecked(int index) const;
    // False for an index outside the list, which then changes nothing.
    bool SetItemChecked(int index, bool checked);

    // The checked texts in index order, joined by " in ". This is the combo's text.
    QString SummaryText() const;

    void hidePopup() override;

signals:
    void itemToggled(int index);
    void popupClosed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void toggleByUser(int index);
    void invalidateSummary();

    QStandardItemModel* m_model;
    bool m_sorted = false;
    mutable QString m_summaryText;
    mutable bool m_summaryValid = false;
};
