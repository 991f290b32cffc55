// The colour scale dialog ("Colour Scale") of the models without one of
// their own: a row per TVG curve with its start level as whole decibels
// from 0 to 100, typed in the edit, stepped with the up-down control on its
// left or set with the slider, whose left end is 100 and right end 0. The
// QY models' and the RM30's dialogs are this one with their own rows.
#pragma once

#include "app/widgets/DialogExchange.h"
#include "engine/ColorScaleDialogs.h"

#include <QDialog>

#include <vector>

class QGridLayout;
class QLineEdit;
class QSlider;
class CUpDownCtrl;

class CColorScaleDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 134;
    static constexpr int kHelpId = widgets::kDialogHelpId;
    static constexpr int kMinimum = 0;
    static constexpr int kMaximum = 100;
    // A row's label and its controls' ids.
    struct Row
    {
        const char* label;
        int edit;
        int upDown;
        int slider;
    };

    explicit CColorScaleDialog(const ColorScaleDialogValues& values, QWidget* parent = nullptr);

    // The values the caller set, and after OK the ones the edits held.
    const ColorScaleDialogValues& Values() const { return m_values; }
    // Takes every row's edit in the dialog's exchange order, each a whole
    // number 0..100; at the first that is not, the message, the focus on that
    // edit and false, with the values as they were.
    virtual bool DoDataExchange();
    void accept() override;

protected:
    CColorScaleDialog(const ColorScaleDialogValues& values, int templateId, QWidget* parent);
    // Label, up-down control, edit and slider of value `index` on a line of
    // the grid.
    void AddRow(QGridLayout* grid, int line, int index, const Row& row);
    // OK, Cancel and Help under the rows.
    void AddButtons(QGridLayout* grid, int line);
    // The edits take the values; sliders and up-down controls 0..100, the
    // sliders with a tick every 10 and at 100 minus their row's value.
    void OnInitDialog();
    // The edit of value `index` into `value`, checked to 0..100.
    bool ExchangeRow(int index, int& value);

    ColorScaleDialogValues m_values;

private:
    struct Controls
    {
        QLineEdit* edit = nullptr;
        CUpDownCtrl* upDown = nullptr;
        QSlider* slider = nullptr;
    };
    // A slider moved: its value is 100 minus its position, shown in the edit.
    void OnHScroll(int index);
    // An up-down control stepped its edit: the slider follows.
    void OnVScroll(int index, int delta);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::vector<Controls> m_rows;
};
