// "Echogram filter": the echogram's filter switches and their sizes. The
// second stage filter cannot be changed here; it only carries the
// document's value through. The two lists accept any typed text.
#pragma once

#include "display/EchogramDoc.h"

#include <QDialog>

class QCheckBox;
class QComboBox;

class CEchogramFilterDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 291;

    explicit CEchogramFilterDialog(const CEchogramDoc::FilterDialogValues& values, QWidget* parent = nullptr);
    CEchogramDoc::FilterDialogValues Values() const;

private:
    QCheckBox* m_echoAmplifier;
    QCheckBox* m_medianFilter;
    QCheckBox* m_secondStage;
    QCheckBox* m_pingToPing;
    QComboBox* m_size;
    QComboBox* m_factor;
};
