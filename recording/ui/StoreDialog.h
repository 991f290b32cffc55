// "Store" (dialog 157): the recorder's settings. It edits a copy of the
// values and hands them back after OK; the recorder applies them.
#pragma once

#include "recording/StoreDialogValues.h"

#include <QDialog>

#include <array>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QSpinBox;

namespace zv::recording {

class CStoreDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 157;
    CStoreDialog(const SStoreDialogValues& values, QWidget* parent = nullptr);

    // The edited values; valid after OK.
    const SStoreDialogValues& Values() const { return m_values; }
    void accept() override;

private:
    QLineEdit* EditWithSpin(int editId, int spinId, int lo, int hi, unsigned value, QWidget*& row);
    void OnSlider(int position);
    void OnBrowse();
    void OnSurfaceRange();
    void OnBottomRange();

    SStoreDialogValues m_values;
    QCheckBox* m_saveRaw = nullptr;
    QCheckBox* m_localTime = nullptr;
    QLineEdit* m_line = nullptr;
    QLineEdit* m_folder = nullptr;
    QLineEdit* m_mb = nullptr;
    QSlider* m_slider = nullptr;
    QLineEdit* m_surfaceCount = nullptr;
    QLineEdit* m_bottomCount = nullptr;
    std::array<QCheckBox*, 4> m_echogram{}, m_out{}, m_xyz{};
    QCheckBox* m_txt = nullptr;
    QCheckBox* m_geo = nullptr;
    QCheckBox* m_xtf = nullptr;
    QCheckBox* m_nmeaDepth = nullptr;
    std::vector<QRadioButton*> m_tvg, m_lineDirection, m_nmeaChannel;
};

}  // namespace zv::recording
