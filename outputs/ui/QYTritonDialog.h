// "Raw Data Interface" (dialog 242): the raw-data output's destination and
// switch. It edits a copy of the output's dialog values and hands them back
// after OK, where the output takes them over (CQYTriton::ApplyDialogValues).
#pragma once

#include "outputs/QYTriton.h"

#include <QDialog>

class QCheckBox;

namespace outputsui {

class CDestinationFields;

class CQYTritonDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 242;
    CQYTritonDialog(const CQYTriton::DialogValues& values, QWidget* parent = nullptr);

    const CQYTriton::DialogValues& Values() const { return m_values; }
    void accept() override;

    // Runs the dialog on the output; OK applies it.
    static void Run(CQYTriton& output, QWidget* parent);

private:
    CQYTriton::DialogValues m_values;
    CDestinationFields* m_destination = nullptr;
    QCheckBox* m_enabled = nullptr;
};

}  // namespace outputsui
