// "LX750" (dialog 219): the post-processing output's settings. It edits a
// copy of the output's dialog values and hands them back after OK, where
// the output takes them over (CLX750::ApplyDialogValues). The ranges are
// shown in the depth unit and kept in metres.
#pragma once

#include "outputs/LX750.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLineEdit;

namespace outputsui {

class CDestinationFields;

class CLX750Dialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 219;
    CLX750Dialog(const CLX750::DialogValues& values, QWidget* parent = nullptr);

    // The edited values; valid after OK.
    const CLX750::DialogValues& Values() const { return m_values; }
    void accept() override;

    // Runs the dialog on the output; OK applies it.
    static void Run(CLX750& output, QWidget* parent);

private:
    void OnSurfaceRange();
    void OnBottomRange();

    CLX750::DialogValues m_values;
    CDestinationFields* m_destination = nullptr;
    QLineEdit* m_distance = nullptr;
    QLineEdit* m_surfaceCount = nullptr;
    QLineEdit* m_bottomCount = nullptr;
    QCheckBox* m_echoTrace = nullptr;
    QCheckBox* m_echogram = nullptr;
    QCheckBox* m_navigation = nullptr;
    QCheckBox* m_vesselLog = nullptr;
    QCheckBox* m_parameter = nullptr;
};

}  // namespace outputsui
