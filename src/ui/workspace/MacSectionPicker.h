#pragma once

#include "ui/workspace/MacNavigation.h"

#include <QWidget>

class QAbstractButton;
class QButtonGroup;

// The segmented picker between the sidebar's two lists: one segment per MacSection, labelled
// with its raw value. Each segment is a real button, so the keyboard and screen readers reach it.
class MacSectionPicker : public QWidget
{
    Q_OBJECT
public:
    explicit MacSectionPicker(QWidget *parent = nullptr);

    MacSection section() const { return m_section; }
    void setSection(MacSection section);
    QAbstractButton *segment(MacSection section) const;

signals:
    // The user picked a segment.
    void picked(MacSection section);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QButtonGroup *m_group;
    MacSection m_section = MacSection::chats;
};
