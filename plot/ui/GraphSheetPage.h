// A page of the plot's property sheets: it checks its fields when OK is
// pressed and then hands what it holds to the plot, without redrawing.
#pragma once

#include <QWidget>

class CGraphSheetPage : public QWidget
{
public:
    using QWidget::QWidget;

    // False, with the message shown and the field at fault focused, when a
    // field holds what it may not.
    virtual bool Validate() { return true; }
    virtual void Apply() = 0;
};
