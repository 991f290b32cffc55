#include "app/ui/DebugTraceDlg.h"

#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace app {

CDebugTraceDlg::CDebugTraceDlg(QWidget* parent) : QDialog(parent)
{
    setObjectName("dialog_211");
    setWindowTitle("Debug Trace");
    auto* layout = new QVBoxLayout(this);
    static const char* const kNames[7] = {"Single Echo Data", "Bottom Detector Data", "Angle Data", "Power Data",
                                          "Echogram Data",    "Depth Line",           "Tracking"};
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        m_boxes[i] = new QCheckBox(kNames[i], this);
        m_boxes[i]->setObjectName(QString("switch_%1").arg(i));
        layout->addWidget(m_boxes[i]);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void CDebugTraceDlg::SetSwitches(const std::array<int, 7>& switches)
{
    for (std::size_t i = 0; i < m_boxes.size(); ++i)
        m_boxes[i]->setChecked(switches[i] != 0);
}

std::array<int, 7> CDebugTraceDlg::Switches() const
{
    std::array<int, 7> out{};
    for (std::size_t i = 0; i < m_boxes.size(); ++i)
        out[i] = m_boxes[i]->isChecked() ? 1 : 0;
    return out;
}

}  // namespace app
