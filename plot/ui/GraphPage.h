// The curve page: name, colour and visibility of each curve, edited on
// copies that reach the curves only with OK.
#pragma once

#include "plot/ui/GraphSheetPage.h"

#include <memory>
#include <vector>

class CGrPointsCombo;
class CGraphProp;
class CGraphView;
class QLineEdit;
class QPushButton;

class CGraphPage : public CGraphSheetPage
{
public:
    CGraphPage(CGraphView& view, QWidget* parent);
    ~CGraphPage() override;

    void Apply() override;

    // The copy shown in the combo, or none.
    CGraphProp* SelectedCopy() const;

private:
    void OnSelect();
    void OnTitle();
    void OnColour();
    void OnShow();
    void OnShowAll();
    void ShowButtonText();

    CGraphView& m_view;
    std::vector<std::unique_ptr<CGraphProp>> m_copies;
    CGrPointsCombo* m_combo;
    QLineEdit* m_name;
    QPushButton* m_title;
    QPushButton* m_colour;
    QPushButton* m_show;
    QPushButton* m_showAll;
};
