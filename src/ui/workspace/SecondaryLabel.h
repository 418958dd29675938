#pragma once

#include <QLabel>

// A label in the secondary text colour, taken from the application palette again whenever that
// changes, so that it follows a switch between light and dark.
class SecondaryLabel : public QLabel
{
public:
    explicit SecondaryLabel(const QString &text = {}, QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    void recolour();
};
