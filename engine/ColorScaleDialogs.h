// The colour scale dialogs, which the user interface provides: one per group
// of models, each showing some of the channel's start levels as whole
// decibels from 0 to 100. The program hands one to its channels through
// their links; a channel given none shows no dialog.
#pragma once

#include "base/ModalSession.h"
#include "base/ModelCodes.h"

#include <array>

// The dialog of a model group: the general one (TQ30, TOTAL), the QY
// models' one (QY210, QY310, QYNVU) and the RM30's.
enum class ColorScaleDialogKind : int { General = 0, QY210 = 1, RM30 = 2 };

constexpr ColorScaleDialogKind ColorScaleDialogOf(SounderModel model)
{
    switch (model) {
    case SounderModel::QY210:
    case SounderModel::QY310:
    case SounderModel::QYNVU:
        return ColorScaleDialogKind::QY210;
    case SounderModel::RM30:
        return ColorScaleDialogKind::RM30;
    default:
        return ColorScaleDialogKind::General;
    }
}

// What a dialog shows and hands back: its rows' values from the top, and
// the RM30's "Limit Regulation Range" box.
struct ColorScaleDialogValues
{
    static constexpr int kRows = 4;
    ColorScaleDialogKind kind = ColorScaleDialogKind::General;
    std::array<int, kRows> values{};
    bool limitRegulation = false;
};

class IColorScaleDialogs
{
public:
    using DialogOpened = CModalSession::DialogOpened;
    virtual ~IColorScaleDialogs() = default;
    // Runs the dialog of the values' kind modally, registered through
    // `opened` so that the record it edits can end it when it goes. IDOK with
    // the values edited, IDCANCEL, or -1 when the dialog could not be made or
    // was ended so: then nothing it was given may be touched any more.
    virtual int RunColorScale(ColorScaleDialogValues& values, const DialogOpened& opened) = 0;
};
