#include "app/ui/LayoutDialog.h"

#include "base/EchosounderError.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace app {

CLayoutDialog::CLayoutDialog(const ChannelDisplayTable& displays, int arrangement, QWidget* parent)
    : QDialog(parent), m_group(new QButtonGroup(this))
{
    setObjectName("dialog_150");
    setWindowTitle("Layout");
    auto* layout = new QVBoxLayout(this);
    auto* box = new QGroupBox("Arrangement", this);
    auto* radios = new QVBoxLayout(box);
    const char* names[3] = {"Horizontal", "Vertical", "Automatic"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(names[i], box);
        radio->setObjectName(QString("arrangement_%1").arg(i));
        m_group->addButton(radio, i);
        radios->addWidget(radio);
    }
    if (auto* b = m_group->button(arrangement))
        b->setChecked(true);
    layout->addWidget(box);
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        auto* check = new QCheckBox(QString("Channel %1").arg(i + 1), this);
        check->setObjectName(QString("IDC_CHECK_CHANNEL%1").arg(i + 1));
        layout->addWidget(check);
    }
    for (std::size_t i = 0; i < m_boxes.size(); ++i) {
        const QString name = QString("IDC_CHECK_CHANNEL%1").arg(i + 1);
        m_boxes[i] = findChild<QCheckBox*>(name);
        if (!m_boxes[i])
            EchosounderFatalError("LayoutDialog", __LINE__, "Control '%s' not found", name.toUtf8().constData());
        const ChannelDisplay& d = displays[i];
        if (!d.exists) {
            m_boxes[i]->setEnabled(false);
            m_boxes[i]->hide();
        } else {
            m_boxes[i]->setText(QString::fromStdString(d.longId));
            m_boxes[i]->setChecked(d.shown);
        }
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

int CLayoutDialog::Arrangement() const
{
    const int id = m_group->checkedId();
    return id < 0 ? 0 : id;
}

std::array<bool, 8> CLayoutDialog::Checked() const
{
    std::array<bool, 8> out{};
    for (std::size_t i = 0; i < m_boxes.size(); ++i)
        out[i] = m_boxes[i]->isChecked();
    return out;
}

}  // namespace app
