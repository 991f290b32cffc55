// The family of range dialogs: each column is a vertical slider over a list
// of preset values, an edit with the value, an up-down control that steps
// the edit and a unit label. A slider move puts its preset into the edit;
// an up-down press moves the slider to the nearest preset; OK takes what
// the edits show, checked against the first and last preset.
#pragma once

#include "app/widgets/DialogExchange.h"

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QSlider;
namespace app {
class CSpinButtonDoubleCtrl;
}

class CRangeDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kHelpId = widgets::kDialogHelpId;

    // One column's presets: preset(i) for i in 0..last, and the index of the
    // preset nearest a value (the larger of two equally near ones).
    struct Presets
    {
        std::function<double(int)> preset;
        int last = 0;
        std::function<int(double)> nearest;
    };
    struct ColumnIds
    {
        int slider, edit, spin, unit, minLabel, maxLabel;
    };

    // Reads and checks every column's edit; false (message shown, focus on
    // the field) when one is not a number within its presets.
    bool TakeValues();
    double Value(int column) const;
    int ColumnCount() const { return static_cast<int>(m_columns.size()); }
    QSlider* Slider(int column) const;
    QLineEdit* Edit(int column) const;
    app::CSpinButtonDoubleCtrl* Spin(int column) const;

    void accept() override;

protected:
    CRangeDialog(int templateId, const QString& title, QWidget* parent);
    // Adds a column showing value; decimals of its edit and labels.
    void AddColumn(const QString& heading, const ColumnIds& ids, const Presets& presets, double value, int decimals,
                   const QString& unit);
    // Ends the building: the buttons below the columns.
    void Finish();
    void SetColumnEnabled(int column, bool enabled);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Column
    {
        QSlider* slider = nullptr;
        QLineEdit* edit = nullptr;
        app::CSpinButtonDoubleCtrl* spin = nullptr;
        Presets presets;
        int decimals = 0;
        double value = 0.0;
    };
    void OnSlider(int column, int position);
    void OnSpin(int column, double value);

    std::vector<Column> m_columns;
    class QHBoxLayout* m_row = nullptr;
    bool m_moving = false;
};
