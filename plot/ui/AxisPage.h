// The axis page: caption, unit and decimals of both axes.
#pragma once

#include "plot/ui/GraphSheetPage.h"

class CGraphView;
class QLineEdit;

class CAxisPage : public CGraphSheetPage
{
public:
    CAxisPage(CGraphView& view, QWidget* parent);

    bool Validate() override;
    void Apply() override;

private:
    CGraphView& m_view;
    QLineEdit* m_xCaption;
    QLineEdit* m_xUnit;
    QLineEdit* m_xDecimals;
    QLineEdit* m_yDecimals;
    QLineEdit* m_yCaption;
    QLineEdit* m_yUnit;
    int m_xDecimalsValue = 0;
    int m_yDecimalsValue = 0;
};
