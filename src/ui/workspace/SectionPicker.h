#pragma once

#include "ui/workspace/Navigation.h"

#include <QWidget>

class QAbstractButton;
class QButtonGroup;

// The segmented picker between the sidebar's two lists: one segment per Section, labelled
// with its raw value. Each segment is a real button, so the keyboard and screen readers reach it.
class SectionPicker : public QWidget
{
    Q_OBJECT
public:
    explicit SectionPicker(QWidget *parent = nullptr);

    Section section() const { return m_section; }
    void setSection(Section section);
    QAbstractButton *segment(Section section) const;

signals:
    // The user picked a segment.
    void picked(Section section);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QButtonGroup *m_group;
    Section m_section = Section::chats;
};
