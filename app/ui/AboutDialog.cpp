#include "app/ui/AboutDialog.h"

#include "base/StringTable.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace app {

CAboutDialog::CAboutDialog(const std::string& sounderName, SounderModel model, const std::string& version,
                           QWidget* parent)
    : QDialog(parent)
{
    setObjectName("dialog_100");
    setWindowTitle(QString::fromStdString(Strings().Load(ids::ABOUT) + " " + sounderName));
    auto* layout = new QVBoxLayout(this);
    auto* name = new QLabel(QString::fromStdString(sounderName), this);
    QFont big = name->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    name->setFont(big);
    layout->addWidget(name);
    auto* label = new QLabel(QString::fromStdString(Strings().Load(ids::PROGRAM_VERSION)), this);
    label->setObjectName("label");
    auto* versionField =
        new QLabel(version.empty() ? QString("255.255.255.255") : QString::fromStdString(version), this);
    versionField->setObjectName("version");
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(versionField);
    row->addStretch();
    layout->addLayout(row);
    const bool qy = model == SounderModel::QY210 || model == SounderModel::QY310 || model == SounderModel::QYNVU;
    auto* maker =
        new QLabel(qy ? "Zelvar hydrographic survey echo sounders" : "Zelvar fishery research echo sounders", this);
    maker->setObjectName("maker");
    layout->addWidget(maker);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace app
