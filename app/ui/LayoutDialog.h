// The layout dialog (150): which channels to show and how to arrange them.
#pragma once

#include "app/Skjerm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>

#include <array>

namespace app {

class CLayoutDialog : public QDialog
{
    Q_OBJECT
public:
    CLayoutDialog(const ChannelDisplayTable& displays, int arrangement, QWidget* parent = nullptr);
    int Arrangement() const;
    // Whether each channel's box is checked.
    std::array<bool, 8> Checked() const;
    QCheckBox* ChannelBox(int index) const { return m_boxes[static_cast<std::size_t>(index)]; }

private:
    QButtonGroup* m_group;
    std::array<QCheckBox*, 8> m_boxes{};
};

}  // namespace app
