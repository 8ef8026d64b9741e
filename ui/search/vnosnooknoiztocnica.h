#pragma once

#include <QLineEdit>

// The headword box. A search starts only when Enter is released; Ctrl+A and Ctrl+V act on
// their release too, so a held key acts once. The whole text is selected on gaining the focus
// and on the first click after that.
class VnosnoOknoIztocnica : public QLineEdit
{
    Q_OBJECT
public:
    explicit VnosnoOknoIztocnica(QWidget* parent = nullptr);

    // 0: the next left-button release selects all; 2 after that click; 3 when entered with Tab.
    int clickSelectState = 0;

    static bool IsVersionCommand(const QString& text);

signals:
    // Enter was released with this text (unchanged, not trimmed).
    void searchRequested(const QString& text);
    // Enter was released on the hidden version command.
    void versionPageRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void selectWhole();
};
