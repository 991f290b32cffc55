// "Store Echogram" (dialog 239): the recorder's echogram storage. It edits a
// copy of the values and hands them back after OK; the recorder applies them.
#pragma once

#include "recording/StoreEchogramValues.h"

#include <QDialog>

#include <array>
#include <vector>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace zv::recording {

class CStoreEchogram : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 239;
    CStoreEchogram(const SStoreEchogramValues& values, QWidget* parent = nullptr);

    // The edited values; valid after OK.
    const SStoreEchogramValues& Values() const { return m_values; }
    void accept() override;

private:
    SStoreEchogramValues m_values;
    std::array<QCheckBox*, 4> m_echogram{};
    QLineEdit* m_surfaceCount = nullptr;
    QLineEdit* m_bottomCount = nullptr;
    std::vector<QRadioButton*> m_tvg;
};

}  // namespace zv::recording
