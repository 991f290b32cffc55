// "Echo Trace": what an echo trace pane shows (histogram, echo trace or
// both) and the scale of its histogram. On the scientific models it also
// opens the channel's single-target detection settings and starts the
// calibration link of the channel: the outside calibration component is
// made here, on the user-interface thread, and handed to the thread that
// requests the channel's single targets.
#pragma once

#include "base/ModelCodes.h"

#include <QDialog>

#include <vector>

class CChannel;
class QGroupBox;
class QPushButton;
class QRadioButton;

namespace displayui {
class IEchoTraceCalibration;
}

class CEchoTraceDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 136;
    enum ControlId : int {
        IDC_PRESENTATION_GROUP = 1040,
        IDC_HISTOGRAM = 1037,
        IDC_ECHO_TRACE = 1038,
        IDC_BOTH = 1039,
        IDC_SCALE_GROUP = 1043,
        IDC_LENGTH_CM = 1041,
        IDC_LENGTH_INCH = 1036,
        IDC_WEIGHT = 1042,
        IDC_TS = 1196,
        IDC_TS_DETECTION = 1277,
        IDC_CALIBRATION = 1271,
    };

    // The channel of the document, and the running sounder's calibration
    // (none: "Calibration..." does nothing).
    CEchoTraceDialog(SounderModel model, CChannel* channel, displayui::IEchoTraceCalibration* calibration,
                     QWidget* parent = nullptr);

    // The values shown; read back on OK.
    int m_presentation = -1;
    int m_sizeScale = -1;
    void ShowValues();
    void accept() override;

    void OnTsDetection();
    void OnCalibration();

    QPushButton* TsDetectionButton() const { return m_tsDetection; }
    QPushButton* CalibrationButton() const { return m_calibration; }
    QGroupBox* ScaleGroup() const { return m_scaleGroup; }

private:
    SounderModel m_model;
    CChannel* m_channel;
    displayui::IEchoTraceCalibration* m_calibrationLink;
    std::vector<QRadioButton*> m_presentations;
    std::vector<QRadioButton*> m_scales;
    QGroupBox* m_scaleGroup = nullptr;
    QPushButton* m_tsDetection = nullptr;
    QPushButton* m_calibration = nullptr;
};
