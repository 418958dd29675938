#pragma once

#include <QLabel>

// A label in the secondary text colour, which follows a switch between light and dark.
class SecondaryLabel : public QLabel
{
public:
    explicit SecondaryLabel(const QString &text = {}, QWidget *parent = nullptr);
};
