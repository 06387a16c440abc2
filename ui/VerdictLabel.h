#pragma once

#include <QLabel>

// The verdict of an update. It reaches a screen reader as a notification: it appears anew with
// every verdict, and screen readers speak a notification as it appears, whatever has the focus.
// An alarming verdict is bold, in a red that stays legible on the palette, light or dark; its
// words say on their own what the colour underlines.
class VerdictLabel : public QLabel
{
    Q_OBJECT

public:
    explicit VerdictLabel(QWidget *parent = nullptr);

    void announce(const QString &text, bool alarming);
    void withdraw();

private:
    void colour();

    bool alarming = false;
};
